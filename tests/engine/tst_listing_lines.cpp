// The listing parser reads a long listing line by line from its bytes and lets
// records with equal permissions, owner and group share those texts.

#include "ListingParser.h"

#include <QtTest>

class TstListingLines : public QObject {
    Q_OBJECT
private slots:
    void linesDecodeAsOneText_data();
    void linesDecodeAsOneText();
    void equalColumnsShareOneString();
};

void TstListingLines::linesDecodeAsOneText_data() {
    QTest::addColumn<QByteArray>("listing");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("permissions");

    const QByteArray entry = "-rw-r--r-- 1 a b 1 Jan 1 2020 ";
    QTest::newRow("characters at both ends of lines")
        << entry + "\xc3\xa9t\xc3\xa9\r\n" + entry + "\xe2\x82\xac\n" + entry + "x\xc3\xa9"
        << QStringList{QStringLiteral("\u00e9t\u00e9"), QStringLiteral("\u20ac"),
                       QStringLiteral("x\u00e9")}
        << QStringList{"-rw-r--r--", "-rw-r--r--", "-rw-r--r--"};
    // Only the text's first mark is dropped by the decoder; a later one is
    // part of its line, which then no longer reads as a Unix entry.
    QTest::newRow("byte-order marks")
        << "\xef\xbb\xbf" + entry + "one\n\xef\xbb\xbf" + entry + "two"
        << QStringList{QStringLiteral("one"), QStringLiteral("two")}
        << QStringList{"-rw-r--r--", ""};
    QTest::newRow("cut character before a line end")
        << entry + "a\xc3\n" + entry + "b"
        << QStringList{QStringLiteral("a\ufffd"), QStringLiteral("b")}
        << QStringList{"-rw-r--r--", "-rw-r--r--"};
}

void TstListingLines::linesDecodeAsOneText() {
    QFETCH(QByteArray, listing);
    QFETCH(QStringList, names);
    QFETCH(QStringList, permissions);

    const auto files = ParseListing(listing);
    QCOMPARE(files->Count(), names.size());
    for (int i = 0; i < names.size(); ++i) {
        QVERIFY(files->Item(i + 1)->FileName.endsWith(names[i]));
        QCOMPARE(files->Item(i + 1)->Permissions, permissions[i]);
    }
}

void TstListingLines::equalColumnsShareOneString() {
    QByteArray listing;
    for (int i = 0; i < 1000; ++i) {
        listing += i % 100 == 99 ? "drwxr-xr-x 2 root wheel " : "-rw-r--r-- 1 ftp ftp ";
        listing += QByteArray::number(i) + " Mar 14 09:30 file-" + QByteArray::number(i) + "\r\n";
    }
    const auto files = ParseListing(listing);
    QCOMPARE(files->Count(), 1000);

    int shared = 0;
    for (int i = 2; i <= files->Count(); ++i) {
        const CFtpFile& previous = *files->Item(i - 1);
        const CFtpFile& file = *files->Item(i);
        QCOMPARE(file.FileName, QStringLiteral("file-%1").arg(i - 1));
        QCOMPARE(file.FileSize, qint64(i - 1));
        QCOMPARE(file.IsDirectory, i % 100 == 0);
        QCOMPARE(file.Owner, file.IsDirectory ? QStringLiteral("root") : QStringLiteral("ftp"));
        QCOMPARE(file.Group, file.IsDirectory ? QStringLiteral("wheel") : QStringLiteral("ftp"));
        if (file.Permissions == previous.Permissions) {
            QVERIFY(file.Permissions.isSharedWith(previous.Permissions));
            QVERIFY(file.Owner.isSharedWith(previous.Owner));
            QVERIFY(file.Group.isSharedWith(previous.Group));
            ++shared;
        }
    }
    QCOMPARE(shared, 999 - 2 * 10 + 1);
}

QTEST_GUILESS_MAIN(TstListingLines)

#include "tst_listing_lines.moc"
