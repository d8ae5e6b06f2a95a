#include "CFtpFiles.h"
#include "Fault.h"
#include "ListingParser.h"

#include <QtTest>

namespace {

CFtpFiles::Entry entry(const QString& name) {
    auto file = std::make_shared<CFtpFile>();
    file->FileName = name;
    return file;
}

QStringList names(const CFtpFiles& files) {
    QStringList out;
    for (const auto& file : files)
        out << file->FileName;
    return out;
}

// Five entries among lines that are none ("total", "." and "..", blank).
const QByteArray Listing = "total 5\r\n"
                           "drwxr-xr-x 2 o g 4096 Jan 02  2021 .\r\n"
                           "drwxr-xr-x 2 o g 4096 Jan 02  2021 ..\r\n"
                           "-rw-r--r-- 1 o g 1 Jan 02  2021 a\r\n"
                           "\r\n"
                           "-rw-r--r-- 1 o g 2 Jan 02  2021 b\r\n"
                           "lrwxrwxrwx 1 o g 3 Jan 02  2021 c -> a\r\n"
                           "-rw-r--r-- 1 o g 4 Jan 02  2021 d\r\n"
                           "-rw-r--r-- 1 o g 5 Jan 02  2021 e";

} // namespace

class TestFtpFiles : public QObject {
    Q_OBJECT
private slots:
    void newRecordIsEmpty();
    void orderAndDuplicates();
    void removeShiftsDown();
    void positionsOutOfRange_data();
    void positionsOutOfRange();
    void entryOutlivesCollection();
    void parsedEntriesAreShared();
    void parsedListingEdits_data();
    void parsedListingEdits();
    void takingOffTheFrontLetsGo();
};

void TestFtpFiles::newRecordIsEmpty() {
    const CFtpFile file;
    QCOMPARE(file.IsDirectory, false);
    QCOMPARE(file.FileSize, qint64(0));
    QCOMPARE(file.LastWriteTime, 0.0);
    QVERIFY(file.FileName.isEmpty() && file.FilePath.isEmpty() && file.Permissions.isEmpty() &&
            file.Owner.isEmpty() && file.Group.isEmpty());

    const CFtpFiles files;
    QCOMPARE(files.Count(), 0);
    QVERIFY(files.begin() == files.end());
}

void TestFtpFiles::orderAndDuplicates() {
    CFtpFiles files;
    const auto a = entry("same");
    const auto b = entry("same");
    QCOMPARE(files.Add(a, "same"), a);
    QCOMPARE(files.Add(b, "same"), b);
    // The very same object twice is allowed too.
    files.Add(a, "same");
    QCOMPARE(files.Count(), 3);
    QCOMPARE(files.Item(1), a);
    QCOMPARE(files.Item(2), b);
    QCOMPARE(files.Item(3), a);

    // Entries are shared, not copied.
    files.Item(1)->FileSize = 42;
    QCOMPARE(files.Item(3)->FileSize, qint64(42));
}

void TestFtpFiles::removeShiftsDown() {
    CFtpFiles files;
    for (const char* name : {"one", "two", "three"})
        files.Add(entry(name));
    files.Remove(1);
    QCOMPARE(files.Count(), 2);
    QCOMPARE(names(files), (QStringList{"two", "three"}));
    files.Remove(2);
    QCOMPARE(names(files), QStringList{"two"});
}

void TestFtpFiles::positionsOutOfRange_data() {
    QTest::addColumn<int>("position");
    QTest::newRow("zero") << 0;
    QTest::newRow("negative") << -1;
    QTest::newRow("one past the end") << 3;
    QTest::newRow("far past") << std::numeric_limits<int>::max();
}

void TestFtpFiles::positionsOutOfRange() {
    QFETCH(int, position);
    CFtpFiles files;
    files.Add(entry("a"));
    files.Add(entry("b"));
    try {
        files.Item(position);
        QFAIL("Item accepted a bad position");
    } catch (const platform::Fault& fault) {
        QCOMPARE(fault.number(), 9);
    }
    QVERIFY_THROWS_EXCEPTION(platform::Fault, files.Remove(position));
    QCOMPARE(names(files), (QStringList{"a", "b"}));
}

void TestFtpFiles::entryOutlivesCollection() {
    CFtpFiles::Entry kept;
    {
        auto files = std::make_shared<CFtpFiles>();
        files->Add(entry("kept"));
        kept = files->Item(1);
    }
    QCOMPARE(kept.use_count(), 1);
    QCOMPARE(kept->FileName, QStringLiteral("kept"));
}

// A parsed listing reads its entries when asked for; callers must not see
// the difference: one object per entry, edits kept, same order.
void TestFtpFiles::parsedEntriesAreShared() {
    const auto files = ParseListing(Listing);
    QCOMPARE(files->Count(), 5);
    const CFtpFiles::Entry third = files->Item(3);
    QCOMPARE(files->Item(3), third);
    third->FileSize = 42;
    QList<CFtpFiles::Entry> walked;
    for (const CFtpFiles::Entry& file : *files)
        walked << file;
    QCOMPARE(walked.size(), 5);
    QCOMPARE(walked[2], third);
    QCOMPARE(walked[2]->FileSize, qint64(42));
    QCOMPARE(walked[0], files->Item(1));
    QCOMPARE(names(*files), (QStringList{"a", "b", "c", "d", "e"}));
    QCOMPARE(third->FilePath, QStringLiteral("a"));

    // A copy reads for itself; both give the same values.
    const auto fresh = ParseListing(Listing);
    const CFtpFiles copy = *fresh;
    QCOMPARE(names(copy), names(*fresh));
    QVERIFY(copy.Item(1) != fresh->Item(1));
    QCOMPARE(copy.Item(5)->FileSize, qint64(5));
}

void TestFtpFiles::parsedListingEdits_data() {
    QTest::addColumn<QList<int>>("read");    // positions asked for first
    QTest::addColumn<QList<int>>("removed"); // then removed, in this order
    QTest::addColumn<QStringList>("added");  // then added at the end
    QTest::addColumn<QStringList>("names");
    QTest::newRow("remove unread first")
        << QList<int>{} << QList<int>{1} << QStringList{} << QStringList{"b", "c", "d", "e"};
    QTest::newRow("remove unread middle and last")
        << QList<int>{} << QList<int>{3, 4} << QStringList{} << QStringList{"a", "b", "d"};
    QTest::newRow("remove read and unread")
        << QList<int>{2, 5} << QList<int>{2, 1, 3} << QStringList{} << QStringList{"c", "d"};
    QTest::newRow("remove all, then add")
        << QList<int>{4} << QList<int>{1, 1, 1, 1, 1} << QStringList{"x"} << QStringList{"x"};
    QTest::newRow("added after unread lines")
        << QList<int>{} << QList<int>{} << QStringList{"x", "y"}
        << QStringList{"a", "b", "c", "d", "e", "x", "y"};
}

void TestFtpFiles::parsedListingEdits() {
    QFETCH(QList<int>, read);
    QFETCH(QList<int>, removed);
    QFETCH(QStringList, added);
    const auto files = ParseListing(Listing);
    for (const int position : read)
        QVERIFY(files->Item(position));
    for (const int position : removed)
        files->Remove(position);
    for (const QString& name : added)
        files->Add(entry(name));
    QTEST(names(*files), "names");
    QVERIFY_THROWS_EXCEPTION(platform::Fault, files->Item(files->Count() + 1));
}

// Taking entries off the front as they are used (how krellin-cli prints a
// listing) keeps none of them, and the listing lets go of the server's
// bytes once every line has been read.
void TestFtpFiles::takingOffTheFrontLetsGo() {
    QByteArray bytes = Listing;
    bytes.detach();
    const auto files = ParseListing(bytes);
    QVERIFY(!bytes.isDetached()); // shared with the listing, not copied
    QList<std::weak_ptr<CFtpFile>> used;
    while (files->Count() > 0) {
        used << files->Item(1);
        files->Remove(1);
    }
    QCOMPARE(used.size(), 5);
    for (const auto& entry : used)
        QVERIFY(entry.expired());
    QVERIFY(bytes.isDetached());

    // Reading every entry lets go of the bytes too; the entries stay.
    const auto whole = ParseListing(bytes);
    QVERIFY(!bytes.isDetached());
    QCOMPARE(names(*whole).size(), 5);
    QVERIFY(bytes.isDetached());
    QCOMPARE(whole->Item(5)->FileName, QStringLiteral("e"));
}

QTEST_GUILESS_MAIN(TestFtpFiles)
#include "tst_ftpfiles.moc"
