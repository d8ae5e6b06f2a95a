#include "CFtpFiles.h"
#include "Fault.h"

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

QTEST_GUILESS_MAIN(TestFtpFiles)
#include "tst_ftpfiles.moc"
