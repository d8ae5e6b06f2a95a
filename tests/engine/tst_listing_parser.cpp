#include "FtpDate.h"
#include "ListingParser.h"

#include <QDate>
#include <QtTest>

namespace {

// "Y" in an expected date stands for the year a listing with a time of day
// means: this year, or last year for a date after tomorrow.
QString expectedIso(QString text) {
    if (!text.startsWith(QLatin1Char('Y')))
        return text;
    const QDate today = QDate::currentDate();
    const QDate date(today.year(), text.mid(2, 2).toInt(), text.mid(5, 2).toInt());
    const int year = date > today.addDays(1) ? today.year() - 1 : today.year();
    return text.replace(0, 1, QString::number(year));
}

std::shared_ptr<CFtpFile> only(const QByteArray& listing) {
    auto files = ParseListing(listing);
    if (files->Count() != 1)
        return {};
    return files->Item(1);
}

} // namespace

class TestListingParser : public QObject {
    Q_OBJECT
private slots:
    void unixLines_data();
    void unixLines();
    void dosLines_data();
    void dosLines();
    void skippedLines_data();
    void skippedLines();
    void oddLines_data();
    void oddLines();
    void lineEnds();
    void neighbouringDates();
    void badBytes();
    void splitListingLine_data();
    void splitListingLine();
    void buildListingDate_data();
    void buildListingDate();
    void dosDateForms_data();
    void dosDateForms();
    void dateHelpers();
};

void TestListingParser::unixLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("isDir");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("perms");
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("target");

    QTest::newRow("vsftpd directory, time of day")
        << QByteArray("drwxr-xr-x    2 ftp      ftp          4096 Mar 14 09:30 pub") << true
        << qint64(4096) << "Y-03-14T09:30:00"
        << "drwxr-xr-x"
        << "ftp"
        << "ftp"
        << "pub"
        << "";
    QTest::newRow("vsftpd 3 GiB file with year")
        << QByteArray("-rw-r--r--    1 1000     1000     3221225472 Jan 02  2021 big.iso") << false
        << qint64(3221225472LL) << "2021-01-02T00:00:00"
        << "-rw-r--r--"
        << "1000"
        << "1000"
        << "big.iso"
        << "";
    QTest::newRow("ProFTPD name with one blank")
        << QByteArray("-rw-r--r--   1 ftpuser  ftpusers     1024 Jan  2  2019 my file.txt") << false
        << qint64(1024) << "2019-01-02T00:00:00"
        << "-rw-r--r--"
        << "ftpuser"
        << "ftpusers"
        << "my file.txt"
        << "";
    QTest::newRow("name with two blanks in a row stays as on the server")
        << QByteArray("-rw-r--r--   1 ftpuser  ftpusers     1024 Jan  2  2019 my  file.txt")
        << false << qint64(1024) << "2019-01-02T00:00:00"
        << "-rw-r--r--"
        << "ftpuser"
        << "ftpusers"
        << "my  file.txt"
        << "";
    // A leading blank cannot be told from column padding; a trailing one can.
    QTest::newRow("blanks at both ends of the name column")
        << QByteArray("-rw-r--r--   1 u  g   7 Jan  2  2019   pad  ") << false << qint64(7)
        << "2019-01-02T00:00:00"
        << "-rw-r--r--"
        << "u"
        << "g"
        << "pad  "
        << "";
    QTest::newRow("ProFTPD link to a directory")
        << QByteArray("lrwxrwxrwx   1 root     root            7 Feb  3 12:00 bin -> usr/bin")
        << true << qint64(7) << "Y-02-03T12:00:00"
        << "lrwxrwxrwx"
        << "root"
        << "root"
        << "bin"
        << "usr/bin";
    QTest::newRow("link to a file")
        << QByteArray("lrwxrwxrwx   1 root     root            9 Feb  3  2020 libc.so -> libc.so.6")
        << false << qint64(9) << "2020-02-03T00:00:00"
        << "lrwxrwxrwx"
        << "root"
        << "root"
        << "libc.so"
        << "libc.so.6";
    QTest::newRow("link names keep their blanks")
        << QByteArray("lrwxrwxrwx 1 a b 9 Feb 3 2020 my  link -> a dir/the  target") << true
        << qint64(9) << "2020-02-03T00:00:00"
        << "lrwxrwxrwx"
        << "a"
        << "b"
        << "my  link"
        << "a dir/the  target";
    QTest::newRow("link to a dotted directory path ending in a plain name")
        << QByteArray("lrwxrwxrwx 1 a b 9 Feb 3 2020 up -> ../x.d/lib") << true << qint64(9)
        << "2020-02-03T00:00:00"
        << "lrwxrwxrwx"
        << "a"
        << "b"
        << "up"
        << "../x.d/lib";
    QTest::newRow("pure-ftpd")
        << QByteArray("-rw-r--r--    1 1001       1001            12345 Dec 24  2022 notes.txt")
        << false << qint64(12345) << "2022-12-24T00:00:00"
        << "-rw-r--r--"
        << "1001"
        << "1001"
        << "notes.txt"
        << "";
    QTest::newRow("pyftpdlib")
        << QByteArray("-rw-r--r--   1 user     user          100 Jan 09 10:15 file.bin\r") << false
        << qint64(100) << "Y-01-09T10:15:00"
        << "-rw-r--r--"
        << "user"
        << "user"
        << "file.bin"
        << "";
    QTest::newRow("eight columns: size lands in the group")
        << QByteArray("-rw-r--r-- 1 owner 10 Jan 1 2020 name") << false << qint64(0)
        << "1899-12-30T00:00:00"
        << "-rw-r--r--"
        << "owner"
        << "10"
        << "name"
        << "";
    QTest::newRow("size beyond 64 bits")
        << QByteArray("-rw-r--r-- 1 a b 99999999999999999999 Jan 1 2020 huge") << false << qint64(0)
        << "2020-01-01T00:00:00"
        << "-rw-r--r--"
        << "a"
        << "b"
        << "huge"
        << "";
    QTest::newRow("negative size") << QByteArray("-rw-r--r-- 1 a b -5 Jan 1 2020 neg") << false
                                   << qint64(0) << "2020-01-01T00:00:00"
                                   << "-rw-r--r--"
                                   << "a"
                                   << "b"
                                   << "neg"
                                   << "";
    QTest::newRow("lower-case month is not a month")
        << QByteArray("-rw-r--r-- 1 a b 5 jan 1 2020 lc") << false << qint64(5)
        << "1899-12-30T00:00:00"
        << "-rw-r--r--"
        << "a"
        << "b"
        << "lc"
        << "";
    QTest::newRow("UTF-8 name")
        << QByteArray("-rw-r--r-- 1 a b 5 Jan 1 2020 \xc3\xa9t\xc3\xa9 \xe2\x82\xac.txt") << false
        << qint64(5) << "2020-01-01T00:00:00"
        << "-rw-r--r--"
        << "a"
        << "b" << QString::fromUtf8("\xc3\xa9t\xc3\xa9 \xe2\x82\xac.txt") << "";
    QTest::newRow("tab inside the name is kept") << QByteArray("-rw-r--r-- 1 a b 5 Jan 1 2020 a\tb")
                                                 << false << qint64(5) << "2020-01-01T00:00:00"
                                                 << "-rw-r--r--"
                                                 << "a"
                                                 << "b"
                                                 << "a\tb"
                                                 << "";
}

void TestListingParser::unixLines() {
    QFETCH(QByteArray, line);
    QFETCH(QString, date);
    const auto file = only(line);
    QVERIFY(file);
    QTEST(file->IsDirectory, "isDir");
    QTEST(file->FileSize, "size");
    QCOMPARE(FtpDate::ToIso(file->LastWriteTime), expectedIso(date));
    QTEST(file->Permissions, "perms");
    QTEST(file->Owner, "owner");
    QTEST(file->Group, "group");
    QTEST(file->FileName, "name");
    QTEST(file->FilePath, "target");
}

void TestListingParser::dosLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("isDir");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("name");

    // Dates that are valid in one order only read the same in every locale.
    QTest::newRow("IIS directory") << QByteArray("11-20-19  10:30AM       <DIR>          Docs")
                                   << true << qint64(0) << "2019-11-20T10:30:00"
                                   << "Docs";
    QTest::newRow("IIS file with blanks, four-digit year, PM")
        << QByteArray("11-20-2019  03:14PM             1024 read me.txt") << false << qint64(1024)
        << "2019-11-20T15:14:00"
        << "read  me.txt";
    QTest::newRow("24-hour time and a 3 GiB size")
        << QByteArray("01-15-21  14:05           3221225472 data.csv\r") << false
        << qint64(3221225472LL) << "2021-01-15T14:05:00"
        << "data.csv";
    QTest::newRow("midnight and noon") << QByteArray("12-31-99  12:00AM                    1 y2k")
                                       << false << qint64(1) << "1999-12-31T00:00:00"
                                       << "y2k";
    QTest::newRow("unreadable date keeps the zero date")
        << QByteArray("someday  10:30AM  17 x.txt") << false << qint64(17) << "1899-12-30T00:00:00"
        << "x.txt";
    QTest::newRow("dot entries are kept in DOS style")
        << QByteArray("11-20-19  10:30AM       <DIR>          ..") << true << qint64(0)
        << "2019-11-20T10:30:00"
        << "..";
}

void TestListingParser::dosLines() {
    QFETCH(QByteArray, line);
    QFETCH(QString, name);
    // The raw line of the blanks row carries two blanks inside the name.
    line.replace("read me", "read  me");
    const auto file = only(line);
    QVERIFY(file);
    QTEST(file->IsDirectory, "isDir");
    QTEST(file->FileSize, "size");
    QTEST(FtpDate::ToIso(file->LastWriteTime), "date");
    QCOMPARE(file->FileName, name);
    QVERIFY(file->Permissions.isEmpty() && file->Owner.isEmpty() && file->Group.isEmpty());
    QVERIFY(file->FilePath.isEmpty());
}

void TestListingParser::skippedLines_data() {
    QTest::addColumn<QByteArray>("listing");
    QTest::newRow("total") << QByteArray("total 12\r\n");
    QTest::newRow("TOTAL") << QByteArray("TOTAL 12\n");
    QTest::newRow("Total, no number") << QByteArray("Total\n");
    QTest::newRow("empty lines") << QByteArray("\n\r\n\n");
    QTest::newRow("empty text") << QByteArray();
    QTest::newRow("dot entries") << QByteArray(
        "drwxr-xr-x    4 1001       1001             4096 Aug 10 14:05 .\r\n"
        "drwxr-xr-x    4 1001       1001             4096 Aug 10 14:05 ..\r\n");
    QTest::newRow("dot entries as links")
        << QByteArray("lrwxrwxrwx 1 u g 1 Jan 1 2020 . -> /x\n"
                      "lrwxrwxrwx 1 u g 1 Jan 1 2020 ..->/y\n");
    QTest::newRow("CR inside total") << QByteArray("tot\ral 12\r\n");
    QTest::newRow("CR inside a dot entry")
        << QByteArray("drwxr-xr-x 4 u g 4096 Aug 10 14:05 .\r.\r\n");
    QTest::newRow("lone CRs") << QByteArray("\r\r\n\r\n");
}

// Each skipped line is tried first and after an entry: the listing's first
// line and the others are read by different paths.
void TestListingParser::skippedLines() {
    QFETCH(QByteArray, listing);
    const auto files = ParseListing(listing);
    QVERIFY(files);
    QCOMPARE(files->Count(), 0);

    const auto after = ParseListing("-rw-r--r-- 1 u g 5 Jan 1 2020 kept .dat\n" + listing +
                                    "-rw-r--r-- 1 u g 5 Jan 1 2020 kept.dat\n");
    QVERIFY(after);
    QCOMPARE(after->Count(), 2);
    QCOMPARE(after->Item(1)->FileName, QStringLiteral("kept .dat"));
    QCOMPARE(after->Item(2)->FileName, QStringLiteral("kept.dat"));
}

void TestListingParser::oddLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("isDir");
    QTest::newRow("banner read as DOS")
        << QByteArray("Welcome to the archive") << "archive" << false;
    QTest::newRow("two words") << QByteArray("hello world") << "world" << false;
    QTest::newRow("blanks only") << QByteArray("     ") << "" << false;
    QTest::newRow("lone d") << QByteArray("d") << "d" << false;
    QTest::newRow("link without arrow")
        << QByteArray("lrwxrwxrwx 1 a b x Jan 1 2020 dangling") << "" << true;
}

void TestListingParser::oddLines() {
    QFETCH(QByteArray, line);
    const auto file = only(line);
    QVERIFY(file);
    QTEST(file->FileName, "name");
    QTEST(file->IsDirectory, "isDir");
    QCOMPARE(file->FileSize, qint64(0));
}

// Lines read one after another each keep their own date, whether it repeats
// the previous line's or differs from it in one column only.
void TestListingParser::neighbouringDates() {
    const auto files = ParseListing("-rw-r--r-- 1 u g 1 Jan 1 2020 a\n"
                                    "-rw-r--r-- 1 u g 1 Jan 1 2020 b\n"
                                    "-rw-r--r-- 1 u g 1 Jan 2 2020 c\n"
                                    "-rw-r--r-- 1 u g 1 Feb 2 2020 d\n"
                                    "-rw-r--r-- 1 u g 1 Feb 2 2021 e\n"
                                    "-rw-r--r-- 1 u g 1 Feb 2 2021 f\n");
    QVERIFY(files);
    QCOMPARE(files->Count(), 6);
    QList<double> dates;
    for (int i = 1; i <= 6; ++i)
        dates << files->Item(i)->LastWriteTime;
    QCOMPARE(dates[0], BuildListingDate("1", "Jan", "2020"));
    QCOMPARE(dates[1], dates[0]);
    QCOMPARE(dates[2], BuildListingDate("2", "Jan", "2020"));
    QCOMPARE(dates[3], BuildListingDate("2", "Feb", "2020"));
    QCOMPARE(dates[4], BuildListingDate("2", "Feb", "2021"));
    QCOMPARE(dates[5], dates[4]);
}

void TestListingParser::lineEnds() {
    const QByteArray a = "-rw-r--r-- 1 u g 1 Jan 1 2020 a";
    const QByteArray b = "-rw-r--r-- 1 u g 2 Jan 1 2020 b";
    auto files = ParseListing("total 2\r\n" + a + "\r\n" + b + "\n");
    QCOMPARE(files->Count(), 2);
    QCOMPARE(files->Item(1)->FileName, QStringLiteral("a"));
    QCOMPARE(files->Item(2)->FileName, QStringLiteral("b"));
    QCOMPARE(files->Item(2)->FileSize, qint64(2));

    // Without a final line end the last line still counts.
    QCOMPARE(ParseListing(a + "\n" + b)->Count(), 2);

    // "\r" alone does not end a line: everything is one entry.
    files = ParseListing(a + "\r" + b + "\r");
    QCOMPARE(files->Count(), 1);
    QCOMPARE(files->Item(1)->FileSize, qint64(1));
}

void TestListingParser::badBytes() {
    // Invalid UTF-8 becomes replacement characters; the rest of the entry is intact.
    auto file = only("-rw-r--r-- 1 a b 5 Jan 1 2020 caf\xe9\xff.txt\r\n");
    QVERIFY(file);
    QVERIFY(file->FileName.startsWith(QStringLiteral("caf")));
    QVERIFY(file->FileName.endsWith(QStringLiteral(".txt")));
    QVERIFY(file->FileName.contains(QChar::ReplacementCharacter));
    QCOMPARE(file->FileSize, qint64(5));

    // A NUL does not end the text.
    static const char raw[] =
        "-rw-r--r-- 1 a b 5 Jan 1 2020 na\0me\n-rw-r--r-- 1 a b 6 Jan 1 2020 z";
    const QByteArray withNul(raw, sizeof raw - 1);
    auto files = ParseListing(withNul);
    QCOMPARE(files->Count(), 2);
    QCOMPARE(files->Item(1)->FileName, QString(QStringLiteral("na")) + QChar(0) + "me");
    QCOMPARE(files->Item(2)->FileName, QStringLiteral("z"));

    // A multi-byte character cut off at the end of the text.
    file = only("-rw-r--r-- 1 a b 5 Jan 1 2020 x\xe2\x82");
    QVERIFY(file);
    QVERIFY(file->FileName.startsWith(QLatin1Char('x')));

    // Arbitrary bytes never crash and give at most one entry per line.
    QByteArray noise;
    for (int i = 0; i < 4096; ++i)
        noise.append(static_cast<char>((i * 7919) % 256));
    QVERIFY(ParseListing(noise)->Count() <= noise.count('\n') + 1);
}

void TestListingParser::splitListingLine_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("unix") << "drwxr-xr-x 2 ftp ftp 4096 Mar 14 09:30 pub dir"
                          << QStringList{"drwxr-xr-x", "2",  "ftp",   "ftp",    "4096",
                                         "Mar",        "14", "09:30", "pub dir"};
    QTest::newRow("unix, short") << "-rw 1 a"
                                 << QStringList{"-rw", "1", "", "", "", "", "", "", "a"};
    QTest::newRow("dos") << "05-12-02 10:30AM <DIR> My Docs"
                         << QStringList{"05-12-02", "10:30AM", "<DIR>", "My Docs"};
    QTest::newRow("leading blank") << " x y" << QStringList{"", "x", "", "y"};
    QTest::newRow("no blank") << "word" << QStringList{"", "", "", "word"};
}

void TestListingParser::splitListingLine() {
    QFETCH(QString, line);
    QTEST(SplitListingLine(line), "fields");
}

void TestListingParser::buildListingDate_data() {
    QTest::addColumn<QString>("day");
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("yearOrTime");
    QTest::addColumn<QString>("expected");
    QTest::newRow("year") << "2"
                          << "Jan"
                          << "2021"
                          << "2021-01-02";
    QTest::newRow("time of day in the last six months") << "14"
                                                        << "Mar"
                                                        << "09:30"
                                                        << "Y-03-14T09:30:00";
    const QDate ahead = QDate::currentDate().addDays(30);
    QTest::newRow("a month ahead is last year")
        << QString::number(ahead.day()) << QString::number(ahead.month()) << "23:59"
        << QStringLiteral("Y-%1-%2T23:59:00")
               .arg(ahead.month(), 2, 10, QLatin1Char('0'))
               .arg(ahead.day(), 2, 10, QLatin1Char('0'));
    QTest::newRow("hour out of range") << "14"
                                       << "Mar"
                                       << "24:00"
                                       << "1899-12-30";
    QTest::newRow("minute not a number") << "14"
                                         << "Mar"
                                         << "09:3x"
                                         << "1899-12-30";
    QTest::newRow("month number") << "5"
                                  << "7"
                                  << "2000"
                                  << "2000-07-05";
    QTest::newRow("day 31 of April is 1 May") << "31"
                                              << "Apr"
                                              << "2020"
                                              << "2020-05-01";
    QTest::newRow("30 February") << "30"
                                 << "Feb"
                                 << "2021"
                                 << "2021-03-02";
    QTest::newRow("month 13 is next January") << "3"
                                              << "13"
                                              << "2020"
                                              << "2021-01-03";
    QTest::newRow("day 0 is the end of the previous month") << "0"
                                                            << "Mar"
                                                            << "2020"
                                                            << "2020-02-29";
    QTest::newRow("unknown month") << "1"
                                   << "Foo"
                                   << "2020"
                                   << "1899-12-30";
    QTest::newRow("day not a number") << "x"
                                      << "Jan"
                                      << "2020"
                                      << "1899-12-30";
    QTest::newRow("day beyond 16 bits") << "40000"
                                        << "Jan"
                                        << "2020"
                                        << "1899-12-30";
    QTest::newRow("year beyond the calendar") << "1"
                                              << "Jan"
                                              << "10000"
                                              << "1899-12-30";
}

void TestListingParser::buildListingDate() {
    QFETCH(QString, day);
    QFETCH(QString, month);
    QFETCH(QString, yearOrTime);
    QFETCH(QString, expected);
    const double value = BuildListingDate(day, month, yearOrTime);
    const QString iso = expectedIso(expected);
    QCOMPARE(FtpDate::ToIso(value), iso.contains(u'T') ? iso : iso + QStringLiteral("T00:00:00"));
}

void TestListingParser::dosDateForms_data() {
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<bool>("dayFirst");
    QTest::addColumn<QString>("expected");
    QTest::newRow("month first") << "05-12-02"
                                 << "10:30AM" << false << "2002-05-12T10:30:00";
    QTest::newRow("day first") << "05-12-02"
                               << "10:30AM" << true << "2002-12-05T10:30:00";
    QTest::newRow("impossible in the preferred order")
        << "25-12-02"
        << "10:30PM" << false << "2002-12-25T22:30:00";
    QTest::newRow("slashes, 4-digit year") << "12/24/2022"
                                           << "23:59" << false << "2022-12-24T23:59:00";
    QTest::newRow("ISO date, seconds") << "2021-03-04"
                                       << "05:06:07" << true << "2021-03-04T05:06:07";
    QTest::newRow("12PM is noon") << "01-02-03"
                                  << "12:15pm" << false << "2003-01-02T12:15:00";
    QTest::newRow("bad time keeps the date") << "01-02-03"
                                             << "25:00" << false << "2003-01-02T00:00:00";
    QTest::newRow("bad date") << "13-13-03"
                              << "10:00AM" << false << "1899-12-30T00:00:00";
    QTest::newRow("garbage") << "<DIR>"
                             << "" << false << "1899-12-30T00:00:00";
}

void TestListingParser::dosDateForms() {
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(bool, dayFirst);
    QTEST(FtpDate::ToIso(ListingParser::ParseDosDateTime(date, time, dayFirst)), "expected");
}

void TestListingParser::dateHelpers() {
    QCOMPARE(FtpDate::FromCalendar(1899, 12, 30).value(), 0.0);
    QCOMPARE(FtpDate::FromCalendar(1900, 1, 1).value(), 2.0);
    QCOMPARE(FtpDate::FromCalendar(2000, 1, 1, 12, 0).value(), 36526.5);
    QCOMPARE(FtpDate::FromCalendar(1899, 12, 29, 6, 0).value(), -1.25);
    QVERIFY(!FtpDate::FromCalendar(99, 12, 31));
    QVERIFY(!FtpDate::FromCalendar(2000, 1, 1, 24, 0));

    // Round trips through QDateTime, on both sides of the epoch.
    for (const double value : {36526.5, -1.25, 45000.75, 0.0}) {
        const QDateTime dt = FtpDate::ToDateTime(value);
        QVERIFY(dt.isValid());
        QCOMPARE(FtpDate::FromDateTime(dt), value);
    }
    QCOMPARE(FtpDate::ToIso(-1.25), QStringLiteral("1899-12-29T06:00:00"));
    QVERIFY(FtpDate::ToIso(std::numeric_limits<double>::quiet_NaN()).isEmpty());
    QVERIFY(FtpDate::ToIso(1e300).isEmpty());

    const QLocale c = QLocale::c();
    QVERIFY(!FtpDate::ToText(45000.0, c).contains(QLatin1Char(':')));
    QVERIFY(FtpDate::ToText(45000.75, c).contains(QStringLiteral("18:00")));
}

QTEST_GUILESS_MAIN(TestListingParser)
#include "tst_listing_parser.moc"
