#include "FileListView.h"
#include "FtpDate.h"
#include "frmMain.h"

#include <QHeaderView>
#include <QListView>
#include <QScopeGuard>
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
        QVERIFY(!list.selectKey(QStringLiteral("Fmissing")));
        list.clear();
        QCOMPARE(list.count(), 0);
        QVERIFY(!list.containsKey(QStringLiteral("Fa.bin")));
    }

    // Sizes at a glance with the exact bytes in the tooltip, or exact in
    // the column; dates with seconds only where the listing gave them, and
    // a date column wide enough for the longest date of the locale.
    void sizeAndDateTexts_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("glance");
        QTest::addColumn<QString>("exact");
        QTest::addColumn<bool>("seconds");
        QTest::addColumn<QString>("date"); // of 2025-08-18 02:53:07, or midnight
        QTest::newRow("C, minutes") << "C" << qint64(10) << "10 bytes"
                                    << "10" << false << "18 Aug 2025 02:53";
        QTest::newRow("C, seconds") << "C" << qint64(1536) << "1.5 KiB"
                                    << "1,536" << true << "18 Aug 2025 02:53:07";
        QTest::newRow("C, midnight") << "C" << qint64(3 << 20) << "3.0 MiB"
                                     << "3,145,728" << false << "18 Aug 2025";
        QTest::newRow("German, minutes") << "de_DE" << qint64(1536) << "1,5 KiB"
                                         << "1.536" << false << "18.08.25 02:53";
        QTest::newRow("German, seconds") << "de_DE" << qint64(0) << "0 Bytes"
                                         << "0" << true << "18.08.25 02:53:07";
        QTest::newRow("US, seconds") << "en_US" << qint64(999) << "999 bytes"
                                     << "999" << true << "8/18/25 2:53:07 AM";
    }
    void sizeAndDateTexts() {
        QFETCH(QString, locale);
        QFETCH(qint64, size);
        QFETCH(QString, glance);
        QFETCH(QString, exact);
        QFETCH(bool, seconds);
        QFETCH(QString, date);
        QLocale::setDefault(QLocale(locale));
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        const QTime time = date.contains(QLatin1Char(':')) ? QTime(2, 53, 7) : QTime(0, 0);
        FileListView list;
        FileListView::Item file = item(QStringLiteral("f.bin"), size,
                                       FtpDate::FromDateTime(QDateTime(QDate(2025, 8, 18), time)));
        file.secondsKnown = seconds;
        QVERIFY(list.addItem(file));
        FileListView::Item folder = item(QStringLiteral("dir"), 4096, 1);
        folder.icon = 3;
        QVERIFY(list.addItem(folder));
        const int row = list.rowOfName(QStringLiteral("f.bin"));
        const QAbstractItemModel* model = list.detailsView()->model();
        QCOMPARE(list.text(row, FileListView::FileSize), glance);
        QCOMPARE(model->index(row, FileListView::FileSize).data(Qt::ToolTipRole).toString(),
                 exact + QStringLiteral(" bytes"));
        QCOMPARE(list.text(list.rowOfName(QStringLiteral("dir")), FileListView::FileSize),
                 QString());
        QCOMPARE(model->headerData(FileListView::FileSize, Qt::Horizontal).toString(),
                 QStringLiteral("File Size"));
        list.setExactSizes(true);
        QCOMPARE(list.text(row, FileListView::FileSize), exact);
        QCOMPARE(model->headerData(FileListView::FileSize, Qt::Horizontal).toString(),
                 QStringLiteral("File Size (Bytes)"));
        QCOMPARE(list.text(row, FileListView::LastWriteDate), date);
        const QHeaderView* header = list.detailsView()->header();
        QVERIFY(header->sectionSize(FileListView::LastWriteDate) >
                list.detailsView()->fontMetrics().horizontalAdvance(date));
    }

    // A whole listing in one step: the first of two entries with one name
    // stays, and the rows come sorted by the column chosen before.
    void setItemsInOneStep() {
        FileListView list;
        list.ColumnClick(FileListView::FileSize);
        std::vector<FileListView::Item> items;
        items.push_back(item(QStringLiteral("big"), 300, 1));
        items.push_back(item(QStringLiteral("small"), 1, 1));
        items.push_back(item(QStringLiteral("big"), 5, 1)); // a second "big": left out
        items.push_back(item(QStringLiteral("mid"), 20, 1));
        list.setItems(std::move(items));
        QCOMPARE(names(list), (QStringList{"small", "mid", "big"}));
        QCOMPARE(list.size(2), qint64(300));
        QCOMPARE(list.rowOfName(QStringLiteral("mid")), 1);
        QCOMPARE(list.rowOfName(QStringLiteral("gone")), -1);
        list.setItems({});
        QCOMPARE(list.count(), 0);
        QVERIFY(!list.containsKey(QStringLiteral("Fbig")));
    }

    // Several items may be selected; a sort keeps them selected, and the
    // item acted on is the current one.
    void selectionSurvivesSorting() {
        FileListView list;
        fill(list);
        QVERIFY(list.selectKey(QStringLiteral("FC.log")));
        QVERIFY(list.selectKey(QStringLiteral("Fa.bin"), true));
        QCOMPARE(list.selectedRows().size(), 2);
        QCOMPARE(list.text(list.selectedRow()), QStringLiteral("a.bin"));
        list.ColumnClick(FileListView::FileSize);
        list.ColumnClick(FileListView::FileSize);
        QStringList selected;
        for (int row : list.selectedRows())
            selected << list.text(row);
        QCOMPARE(selected, (QStringList{"C.log", "a.bin"})); // by size, largest first
        QCOMPARE(list.text(list.selectedRow()), QStringLiteral("a.bin"));
    }

    // The icon views show whole names of a usual length: no name is cut
    // to "..." in small icons or list, and large icons have room to wrap one.
    void iconViewsShowNames_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("name");
        for (int mode : {FileListView::SmallIcons, FileListView::List}) {
            const QByteArray tag = mode == FileListView::List ? "list, " : "small icons, ";
            QTest::newRow(tag + "short") << mode << QStringLiteral("a.txt");
            QTest::newRow(tag + "blanks") << mode << QStringLiteral("annual report 2026.txt");
            QTest::newRow(tag + "accents")
                << mode << QStringLiteral("Gr\u00fc\u00dfe aus K\u00f6ln.txt");
            QTest::newRow(tag + "long") << mode << QStringLiteral("rescue-disk-2026-01.img");
        }
        QTest::newRow("large icons, long")
            << int(FileListView::LargeIcons) << QStringLiteral("annual report 2026.txt");
    }
    void iconViewsShowNames() {
        QFETCH(int, mode);
        QFETCH(QString, name);
        FileListView list;
        list.resize(800, 500);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QVERIFY(list.addItem(item(name, 10, 1)));
        list.setViewMode(mode);
        QListView* view = list.iconView();
        QCOMPARE(list.currentView(), static_cast<QWidget*>(view));
        const QModelIndex index = view->model()->index(0, 0);
        const int text = view->fontMetrics().horizontalAdvance(name);
        QTRY_VERIFY(view->visualRect(index).isValid());
        const QRect cell = view->visualRect(index);
        if (mode == FileListView::LargeIcons) {
            // The name wraps under the icon into as many lines as it needs,
            // and a cell has room for three.
            const int line = view->fontMetrics().height();
            QVERIFY(3 * (cell.width() - 8) >= text);
            QVERIFY(view->gridSize().height() >= 32 + 3 * line);
            QVERIFY(cell.height() >= 32 + line * ((text + cell.width() - 1) / cell.width()));
        } else {
            QVERIFY2(cell.width() >= text + view->iconSize().width() + 8,
                     qPrintable(QStringLiteral("%1 < %2").arg(cell.width()).arg(text)));
        }
    }
};

QTEST_MAIN(tst_FileListView)
#include "tst_FileListView.moc"
