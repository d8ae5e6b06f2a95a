#include "FileListView.h"
#include "frmMain.h"

#include <QHeaderView>
#include <QTest>
#include <QTreeView>

// The file list: icons by file type, keys, sorting by a clicked column.
class tst_FileListView : public QObject {
    Q_OBJECT

    static FileListView::Item item(const QString& name, qint64 size, double date,
                                   const QString& perms = QStringLiteral("-rw-r--r--"),
                                   const QString& owner = QStringLiteral("ftp")) {
        FileListView::Item i;
        i.name = name;
        i.icon = frmMain::GetImageNumber(name);
        i.size = size;
        i.lastWrite = date;
        i.permissions = perms;
        i.owner = owner;
        i.group = QStringLiteral("users");
        return i;
    }

    static QStringList names(const FileListView& list) {
        QStringList out;
        for (int row = 0; row < list.count(); ++row)
            out << list.text(row);
        return out;
    }

    static void fill(FileListView& list) {
        QVERIFY(list.addItem(item(QStringLiteral("b.txt"), 9, 45000.5)));
        QVERIFY(list.addItem(item(QStringLiteral("a.bin"), 10, 44000.25,
                                  QStringLiteral("-rwx------"), QStringLiteral("zed"))));
        QVERIFY(list.addItem(item(QStringLiteral("C.log"), 1000000, 9000.0,
                                  QStringLiteral("drwxr-xr-x"), QStringLiteral("adam"))));
    }

private slots:
    void imageNumbers_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("image");
        QTest::newRow("upper-case html") << "index.HTML" << 1;
        QTest::newRow("only the last extension") << "archive.tar.gz" << 2;
        QTest::newRow("no dot") << "readme" << 2;
        QTest::newRow("whole name as extension") << "log" << 1;
        QTest::newRow("ends in a dot") << "notes." << 1;
        QTest::newRow("HTM") << "PAGE.HTM" << 1;
        QTest::newRow("htmlx") << "x.htmlx" << 2;
        QTest::newRow("tx") << "x.tx" << 2;
        QTest::newRow("shtml") << "a.b.shtml" << 1;
        QTest::newRow("hidden ini") << ".ini" << 1;
        QTest::newRow("empty name") << "" << 1;
    }
    void imageNumbers() {
        QFETCH(QString, name);
        QFETCH(int, image);
        QCOMPARE(int(frmMain::GetImageNumber(name)), image);
    }

    void sortByEachColumn_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("ascending");
        QTest::newRow("name, ignoring case") << 0 << QStringList{"a.bin", "b.txt", "C.log"};
        QTest::newRow("size by number") << 1 << QStringList{"b.txt", "a.bin", "C.log"};
        QTest::newRow("date by value") << 2 << QStringList{"C.log", "a.bin", "b.txt"};
        QTest::newRow("permissions") << 3 << QStringList{"b.txt", "a.bin", "C.log"};
        QTest::newRow("owner") << 4 << QStringList{"C.log", "b.txt", "a.bin"};
    }
    void sortByEachColumn() {
        QFETCH(int, column);
        QFETCH(QStringList, ascending);
        FileListView list;
        fill(list);
        // Start from another column so the click is a fresh, ascending one.
        list.ColumnClick(column == 5 ? 0 : 5);
        list.ColumnClick(column);
        QCOMPARE(list.sortKey(), column);
        QCOMPARE(list.sortOrder(), Qt::AscendingOrder);
        QCOMPARE(names(list), ascending);
        list.ColumnClick(column);
        QCOMPARE(list.sortOrder(), Qt::DescendingOrder);
        QStringList descending = ascending;
        std::reverse(descending.begin(), descending.end());
        QCOMPARE(names(list), descending);
        // Items added later take their sorted place.
        QVERIFY(list.addItem(
            item(QStringLiteral("0first"), 0, 1.0, QStringLiteral("-"), QStringLiteral("0"))));
        QCOMPARE(list.text(list.count() - 1), QStringLiteral("0first"));
    }

    void headerClickSorts() {
        FileListView list;
        fill(list);
        QHeaderView* header = list.detailsView()->header();
        emit header->sectionClicked(FileListView::FileSize);
        QCOMPARE(list.sortKey(), 1);
        QCOMPARE(names(list), (QStringList{"b.txt", "a.bin", "C.log"}));
        QCOMPARE(header->sortIndicatorSection(), 1);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    }

    void keysAndSelection() {
        FileListView list;
        fill(list);
        QCOMPARE(list.count(), 3);
        // A second entry of the same name is refused; names differing in case are not.
        QVERIFY(!list.addItem(item(QStringLiteral("b.txt"), 1, 1)));
        QVERIFY(list.addItem(item(QStringLiteral("B.txt"), 1, 1)));
        QCOMPARE(list.count(), 4);
        QCOMPARE(list.selectedRow(), -1);
        QVERIFY(list.selectKey(QStringLiteral("Fa.bin")));
        const int row = list.selectedRow();
        QCOMPARE(list.text(row), QStringLiteral("a.bin"));
        QCOMPARE(list.icon(row), 2);
        QCOMPARE(list.text(row, FileListView::FileSize), QStringLiteral("10"));
        QVERIFY(!list.selectKey(QStringLiteral("Fmissing")));
        list.clear();
        QCOMPARE(list.count(), 0);
        QVERIFY(!list.containsKey(QStringLiteral("Fa.bin")));
    }
};

QTEST_MAIN(tst_FileListView)
#include "tst_FileListView.moc"
