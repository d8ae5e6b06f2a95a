// A listing read as it arrives gives the records the whole text gives, however
// TCP cut it: every cut point and byte by byte, for LIST and MLSD.

#include "ListingParser.h"
#include "ListingStream.h"
#include "MlsdParser.h"

#include <QtTest>

Q_DECLARE_METATYPE(ListingStream::Kind)

namespace {

QStringList describe(const CFtpFile& f) {
    return {f.FileName,
            f.FilePath,
            QString::number(f.FileSize),
            QString::number(f.LastWriteTime, 'f', 8),
            f.IsDirectory ? QStringLiteral("dir") : QStringLiteral("file"),
            f.Permissions,
            f.Owner,
            f.Group};
}

QList<QStringList> whole(const QByteArray& text, ListingStream::Kind kind) {
    const auto files =
        kind == ListingStream::Kind::List ? ParseListing(text) : MlsdParser::ParseListing(text);
    QList<QStringList> out;
    for (const auto& file : *files)
        out << describe(*file);
    return out;
}

// The text fed in pieces at the given cut points, then finished.
QList<QStringList> streamed(const QByteArray& text, ListingStream::Kind kind,
                            const QList<qsizetype>& cuts) {
    ListingStream stream(kind);
    QList<QStringList> out;
    const auto sink = [&out](const CFtpFile& file) { out << describe(file); };
    qsizetype from = 0;
    for (const qsizetype cut : cuts) {
        stream.Feed(QByteArrayView(text).sliced(from, cut - from), sink);
        from = cut;
    }
    stream.Feed(QByteArrayView(text).sliced(from), sink);
    stream.Finish(sink);
    if (stream.Entries() != out.size())
        out << QStringList{QStringLiteral("entry count %1").arg(stream.Entries())};
    return out;
}

} // namespace

class TstListingStream : public QObject {
    Q_OBJECT
private slots:
    void sameRecordsAtEveryCut_data();
    void sameRecordsAtEveryCut();
    void keepsOnlyTheUnfinishedLine();
};

void TstListingStream::sameRecordsAtEveryCut_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<ListingStream::Kind>("kind");
    const auto list = ListingStream::Kind::List;
    const auto mlsd = ListingStream::Kind::Mlsd;
    QTest::newRow("vsftpd")
        << QByteArray("drwxr-xr-x    2 0        0            4096 Dec 08 08:30 incoming\r\n"
                      "-rw-r--r--    1 0        0        16777216 Jan 01  2025 big.bin\r\n"
                      "lrwxrwxrwx    1 0        0               4 Mar 02 10:00 last -> big.bin\r\n")
        << list;
    QTest::newRow("total, dots, blank lines, no last line end")
        << QByteArray("total 8\n"
                      "drwxr-xr-x 2 u g 4096 Aug 10 14:05 .\n"
                      "drwxr-xr-x 2 u g 4096 Aug 10 14:05 ..\n"
                      "\n\r\n"
                      "-rw-r--r-- 1 u g 7 Aug 10 14:05 two  blanks .txt\n"
                      "-rw-r--r-- 1 u g 9 Aug 10 2019 tail")
        << list;
    QTest::newRow("DOS style")
        << QByteArray("05-12-02  10:30AM       <DIR>          folder\r\n"
                      "05-12-02  11:45PM              1024 file.txt\r\n")
        << list;
    // Multi-byte characters cut between their bytes, and a mark that only
    // the first line may lose.
    QTest::newRow("UTF-8 and byte-order marks")
        << QByteArray("\xef\xbb\xbf-rw-r--r-- 1 u g 1 Jan 1 2020 \xc3\xa9t\xc3\xa9\n"
                      "\xef\xbb\xbf-rw-r--r-- 1 u g 1 Jan 1 2020 \xe2\x82\xac\n"
                      "-rw-r--r-- 1 u g 1 Jan 1 2020 cut\xc3\n")
        << list;
    QTest::newRow("MLSD")
        << QByteArray("type=cdir;modify=20250101120000; .\r\n"
                      "type=pdir;modify=20250101120000; ..\r\n"
                      "type=file;size=42;modify=20250102030405;UNIX.mode=0644; a b.txt\r\n"
                      "type=dir;modify=20250102030405; sub\r\n"
                      "type=OS.unix=slink:/usr/bin;modify=20250102030405; link\r\n"
                      "garbage without facts\r\n"
                      "type=file;size=1; \xc3\xa9\xc3\xa9")
        << mlsd;
}

void TstListingStream::sameRecordsAtEveryCut() {
    QFETCH(QByteArray, text);
    QFETCH(ListingStream::Kind, kind);
    const QList<QStringList> expected = whole(text, kind);
    QVERIFY(!expected.isEmpty());

    QCOMPARE(streamed(text, kind, {}), expected);
    for (qsizetype cut = 1; cut < text.size(); ++cut)
        QCOMPARE(streamed(text, kind, {cut}), expected);
    QList<qsizetype> everyByte;
    for (qsizetype cut = 1; cut < text.size(); ++cut)
        everyByte << cut;
    QCOMPARE(streamed(text, kind, everyByte), expected);
}

// A long listing costs the unfinished line, not what came before it.
void TstListingStream::keepsOnlyTheUnfinishedLine() {
    ListingStream stream(ListingStream::Kind::List);
    qint64 seen = 0;
    const auto sink = [&seen](const CFtpFile&) { ++seen; };
    const QByteArray line = "-rw-r--r-- 1 u g 1 Jan 1 2020 report.dat\n";
    for (int i = 0; i < 10000; ++i)
        stream.Feed(line, sink);
    QCOMPARE(seen, 10000);
    QCOMPARE(stream.Pending(), 0);
    stream.Feed("-rw-r--r-- 1 u g 1 Jan 1 2020 half", sink);
    QCOMPARE(stream.Pending(), qsizetype(34));
    QCOMPARE(seen, 10000);
    stream.Finish(sink);
    QCOMPARE(seen, 10001);
    QCOMPARE(stream.Pending(), 0);
}

QTEST_GUILESS_MAIN(TstListingStream)
#include "tst_listing_stream.moc"
