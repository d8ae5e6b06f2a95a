// The MLSD parser on real lines of proftpd, pure-ftpd and pyftpdlib and on
// hostile ones. Times are UTC on the wire and local on the record: the test
// runs in a fixed zone (UTC+1, summer UTC+2) so both offsets are checked.

#include "FtpDate.h"
#include "MlsdParser.h"

#include <QtTest>
#include <ctime>

class TstMlsdParser : public QObject {
    Q_OBJECT
private slots:
    void entries_data();
    void entries();
    void times_data();
    void times();
    void permissions_data();
    void permissions();
    void wholeListing();
};

namespace {

// Local day count of a wall-clock time in the test's zone.
double local(int y, int mo, int d, int h, int mi, int s) {
    return *FtpDate::FromCalendar(y, mo, d, h, mi, s);
}

} // namespace

void TstMlsdParser::entries_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("isEntry");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("isDirectory");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<double>("modified");
    QTest::addColumn<QString>("permissions");
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("target");

    // proftpd 1.3.8: names and numbers for owner and group, upper-case facts.
    QTest::newRow("proftpd file")
        << "modify=20240102030405;perm=adfrw;size=1234;type=file;unique=FD01U2C5A5;UNIX.group=1000;"
           "UNIX.groupname=ftp;UNIX.mode=0644;UNIX.owner=1000;UNIX.ownername=alice; report.txt"
        << true << "report.txt" << false << qint64(1234) << local(2024, 1, 2, 4, 4, 5)
        << "-rw-r--r--"
        << "alice"
        << "ftp"
        << "";
    QTest::newRow("proftpd directory")
        << "modify=20230419093442;perm=flcdmpe;type=dir;unique=FD01U2C5A6;UNIX.group=0;"
           "UNIX.groupname=root;UNIX.mode=0755;UNIX.owner=0;UNIX.ownername=root; pub"
        << true << "pub" << true << qint64(0) << local(2023, 4, 19, 11, 34, 42) << "drwxr-xr-x"
        << "root"
        << "root"
        << "";
    QTest::newRow("proftpd cdir") << "modify=20230419093442;perm=flcdmpe;type=cdir;unique=FD01;"
                                     "UNIX.mode=0755; /home/alice"
                                  << false << "" << false << qint64(0) << 0.0 << ""
                                  << ""
                                  << ""
                                  << "";
    QTest::newRow("proftpd pdir") << "modify=20230419093442;perm=flcdmpe;type=pdir;unique=FD02; .."
                                  << false << "" << false << qint64(0) << 0.0 << ""
                                  << ""
                                  << ""
                                  << "";
    // proftpd with "FactsOptions UseSlink": the target is part of the type.
    QTest::newRow("proftpd link to directory")
        << "modify=20240102030405;perm=adfr;size=7;type=OS.unix=slink:/usr/bin;unique=FD03;"
           "UNIX.mode=0777; bin"
        << true << "bin" << true << qint64(7) << local(2024, 1, 2, 4, 4, 5) << "lrwxrwxrwx"
        << ""
        << ""
        << "/usr/bin";
    QTest::newRow("proftpd link to file")
        << "modify=20240102030405;size=9;type=OS.unix=slink:libc.so.6;UNIX.mode=0777; libc.so"
        << true << "libc.so" << false << qint64(9) << local(2024, 1, 2, 4, 4, 5) << "lrwxrwxrwx"
        << ""
        << ""
        << "libc.so.6";
    // pure-ftpd 1.0.50: sizd for directories, numeric owner and group.
    QTest::newRow("pure-ftpd file")
        << "type=file;size=5242880;modify=20240701120000;UNIX.mode=0640;UNIX.uid=1000;"
           "UNIX.gid=100;unique=803g1a5; big file.iso"
        << true << "big file.iso" << false << qint64(5242880) << local(2024, 7, 1, 14, 0, 0)
        << "-rw-r-----"
        << "1000"
        << "100"
        << "";
    QTest::newRow("pure-ftpd directory")
        << "type=dir;sizd=4096;modify=20240701120000;UNIX.mode=0755;UNIX.uid=0;UNIX.gid=0;"
           "unique=803g1a3; incoming"
        << true << "incoming" << true << qint64(4096) << local(2024, 7, 1, 14, 0, 0) << "drwxr-xr-x"
        << "0"
        << "0"
        << "";
    QTest::newRow("pure-ftpd cdir")
        << "type=cdir;sizd=4096;modify=20240701120000;UNIX.mode=0755;UNIX.uid=0;UNIX.gid=0;"
           "unique=803g1a2; ."
        << false << "" << false << qint64(0) << 0.0 << ""
        << ""
        << ""
        << "";
    // pyftpdlib 1.5.7: Python's octal notation, a ";" inside the name.
    QTest::newRow("pyftpdlib file")
        << "modify=20261208052402;perm=radfwMT;size=3;type=file;unique=fe00ga72100;unix.gid=0;"
           "unix.mode=0o644;unix.uid=0; a file;x.txt"
        << true << "a file;x.txt" << false << qint64(3) << local(2026, 12, 8, 6, 24, 2)
        << "-rw-r--r--"
        << "0"
        << "0"
        << "";
    QTest::newRow("pyftpdlib directory")
        << "modify=20261208052402;perm=eldfmMTcp;size=4096;type=dir;unique=fe00ga720ff;"
           "unix.gid=0;unix.mode=0o755;unix.uid=0; sub"
        << true << "sub" << true << qint64(4096) << local(2026, 12, 8, 6, 24, 2) << "drwxr-xr-x"
        << "0"
        << "0"
        << "";
    // Size beyond 4 GiB, facts in mixed case, a name that starts with blanks.
    QTest::newRow("large file, mixed case facts")
        << "Type=File;Size=6442450944;Modify=20240102030405.123;  two  blanks" << true
        << " two  blanks" << false << qint64(6442450944)
        << FtpDate::FromDateTime(QDateTime(QDate(2024, 1, 2), QTime(4, 4, 5, 123))) << ""
        << ""
        << ""
        << "";
    QTest::newRow("no facts at all") << " bare" << true << "bare" << false << qint64(0) << 0.0 << ""
                                     << ""
                                     << ""
                                     << "";
    QTest::newRow("link without target") << "type=OS.unix=symlink;size=5; latest" << true
                                         << "latest" << false << qint64(5) << 0.0 << ""
                                         << ""
                                         << ""
                                         << "";
    QTest::newRow("unknown type is a file")
        << "type=OS.unix=chr-2/5;size=0; tty" << true << "tty" << false << qint64(0) << 0.0 << ""
        << ""
        << ""
        << "";
    QTest::newRow("line end kept")
        << "type=file;size=1; a\r" << true << "a" << false << qint64(1) << 0.0 << ""
        << ""
        << ""
        << "";

    // Hostile and broken lines: no entry, or an entry with the bad fact at its default.
    QTest::newRow("no blank before a name")
        << "type=file;size=1;name" << false << "" << false << qint64(0) << 0.0 << ""
        << ""
        << ""
        << "";
    QTest::newRow("empty name") << "type=file;size=1; " << false << "" << false << qint64(0) << 0.0
                                << ""
                                << ""
                                << ""
                                << "";
    QTest::newRow("empty line") << "" << false << "" << false << qint64(0) << 0.0 << ""
                                << ""
                                << ""
                                << "";
    QTest::newRow("LIST line") << "-rw-r--r-- 1 ftp ftp 12 Jan 1 2020 a" << false << "" << false
                               << qint64(0) << 0.0 << ""
                               << ""
                               << ""
                               << "";
    QTest::newRow("dot names without type")
        << "size=1; .." << false << "" << false << qint64(0) << 0.0 << ""
        << ""
        << ""
        << "";
    QTest::newRow("bad size, time and mode")
        << "type=file;size=-5;modify=20241399250000;UNIX.mode=0999; odd" << true << "odd" << false
        << qint64(0) << 0.0 << ""
        << ""
        << ""
        << "";
    QTest::newRow("size beyond 64 bits") << "type=file;size=99999999999999999999999; huge" << true
                                         << "huge" << false << qint64(0) << 0.0 << ""
                                         << ""
                                         << ""
                                         << "";
    QTest::newRow("fact without value")
        << "type=file;size;=5;modify=; x" << true << "x" << false << qint64(0) << 0.0 << ""
        << ""
        << ""
        << "";
    QTest::newRow("control characters stay in the name")
        << "type=file;size=1; a\x1b[2Jb" << true << "a\x1b[2Jb" << false << qint64(1) << 0.0 << ""
        << ""
        << ""
        << "";
}

void TstMlsdParser::entries() {
    QFETCH(QString, line);
    QFETCH(bool, isEntry);

    const std::optional<CFtpFile> file = MlsdParser::ParseEntry(line);
    QCOMPARE(file.has_value(), isEntry);
    if (!file)
        return;
    QFETCH(QString, name);
    QFETCH(bool, isDirectory);
    QFETCH(qint64, size);
    QFETCH(double, modified);
    QFETCH(QString, permissions);
    QFETCH(QString, owner);
    QFETCH(QString, group);
    QFETCH(QString, target);
    QCOMPARE(file->FileName, name);
    QCOMPARE(file->IsDirectory, isDirectory);
    QCOMPARE(file->FileSize, size);
    QVERIFY2(qAbs(file->LastWriteTime - modified) < 0.5 / 86400000.0,
             qPrintable(FtpDate::ToIso(file->LastWriteTime)));
    // A modify fact gives the time to the second; without one there is none.
    QCOMPARE(file->SecondsKnown, modified != 0);
    QCOMPARE(file->Permissions, permissions);
    QCOMPARE(file->Owner, owner);
    QCOMPARE(file->Group, group);
    QCOMPARE(file->FilePath, target);
}

void TstMlsdParser::times_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("localIso");

    QTest::newRow("winter, UTC+1") << "20240102030405" << true << "2024-01-02T04:04:05";
    QTest::newRow("summer, UTC+2") << "20240701235959" << true << "2024-07-02T01:59:59";
    QTest::newRow("new year moves back") << "19991231233000" << true << "2000-01-01T00:30:00";
    QTest::newRow("milliseconds") << "20240102030405.5" << true << "2024-01-02T04:04:05";
    QTest::newRow("leap day") << "20240229120000" << true << "2024-02-29T13:00:00";
    QTest::newRow("no leap day") << "20230229120000" << false << "";
    QTest::newRow("hour 24") << "20240102240000" << false << "";
    QTest::newRow("second 60") << "20240102235960" << false << "";
    QTest::newRow("short") << "202401020304" << false << "";
    QTest::newRow("letters") << "2024010203040x" << false << "";
    QTest::newRow("signs") << "+2024010203040" << false << "";
    QTest::newRow("empty fraction") << "20240102030405." << false << "";
    QTest::newRow("bad fraction") << "20240102030405.1a" << false << "";
    QTest::newRow("year 0") << "00000101000000" << false << "";
    QTest::newRow("empty") << "" << false << "";
}

void TstMlsdParser::times() {
    QFETCH(QString, value);
    QFETCH(bool, valid);
    QFETCH(QString, localIso);
    const std::optional<double> time = MlsdParser::ParseTime(value);
    QCOMPARE(time.has_value(), valid);
    if (time)
        QCOMPARE(FtpDate::ToIso(*time), localIso);
}

void TstMlsdParser::permissions_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");

    QTest::newRow("file") << "0644"
                          << "-"
                          << "-rw-r--r--";
    QTest::newRow("three digits") << "750"
                                  << "d"
                                  << "drwxr-x---";
    QTest::newRow("python octal") << "0o600"
                                  << "-"
                                  << "-rw-------";
    QTest::newRow("setuid") << "4755"
                            << "-"
                            << "-rwsr-xr-x";
    QTest::newRow("setgid without x") << "2644"
                                      << "-"
                                      << "-rw-r-Sr--";
    QTest::newRow("sticky") << "1777"
                            << "d"
                            << "drwxrwxrwt";
    QTest::newRow("not octal") << "0800"
                               << "-"
                               << "";
    QTest::newRow("too long") << "00644"
                              << "-"
                              << "";
    QTest::newRow("empty") << ""
                           << "-"
                           << "";
}

void TstMlsdParser::permissions() {
    QFETCH(QString, mode);
    QFETCH(QString, type);
    QFETCH(QString, text);
    QCOMPARE(MlsdParser::PermissionsText(mode, type.at(0)), text);
}

void TstMlsdParser::wholeListing() {
    // pure-ftpd's order: the directory itself, its parent, then the entries;
    // one line ends in "\n" only, the last has no line end, invalid UTF-8 inside.
    const QByteArray listing = "type=cdir;sizd=4096;modify=20240701120000; .\r\n"
                               "type=pdir;sizd=4096;modify=20240701120000; ..\r\n"
                               "type=file;size=10;modify=20240701120000; b\xc3\xa9.txt\n"
                               "garbage without facts\r\n"
                               "\r\n"
                               "type=dir;sizd=4096;modify=20240701120000; d\xff\r\n"
                               "type=file;size=3; last";
    const auto files = MlsdParser::ParseListing(listing);
    QCOMPARE(files->Count(), 3);
    QCOMPARE(files->Item(1)->FileName, QStringLiteral("b\u00e9.txt"));
    QCOMPARE(files->Item(1)->FileSize, qint64(10));
    QCOMPARE(files->Item(2)->FileName, QStringLiteral("d\ufffd"));
    QVERIFY(files->Item(2)->IsDirectory);
    QCOMPARE(files->Item(3)->FileName, QStringLiteral("last"));

    QCOMPARE(MlsdParser::ParseListing({})->Count(), 0);
}

int main(int argc, char** argv) {
    // Central European time without a zone database: UTC+1, summer UTC+2.
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    tzset();
    QCoreApplication app(argc, argv);
    TstMlsdParser test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mlsd_parser.moc"
