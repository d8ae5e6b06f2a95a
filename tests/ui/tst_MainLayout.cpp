#include "MainLayout.h"

#include <QTest>

// The pane layout with plain numbers (twips).
class tst_MainLayout : public QObject {
    Q_OBJECT

    static MainLayout::Input standard() {
        MainLayout::Input in;
        in.windowWidth = 6500;
        in.clientWidth = 6380;
        in.clientHeight = 6000;
        in.bandHeight = 420;
        in.statusHeight = 300;
        in.titleHeight = 660;
        in.holderWidth = 3300;
        return in;
    }

private slots:
    void defaultPlacement() {
        const auto r = MainLayout::compute(standard());
        QVERIFY(r.complete());
        QCOMPARE(r.splitterLeft, 1965);
        QCOMPARE(*r.treeWidth, 1965);
        QCOMPARE(*r.gripLeft, 1965);
        QCOMPARE(*r.listLeft, 2005);
        QCOMPARE(*r.titleLeft, 2005);
        QCOMPARE(*r.listWidth, 4395);
        QCOMPARE(*r.titleWidth, 4375);
        QCOMPARE(*r.iconLeft, 4375 - 480 - 40);
        QCOMPARE(*r.progressWidth, 4375 - 120 - 480 - 120);
        // The options end where the progress bar ends.
        QCOMPARE(*r.holderLeft + 3300, 120 + *r.progressWidth);
        QCOMPARE(*r.treeTop, 460);
        QCOMPARE(*r.titleTop, 460);
        QCOMPARE(*r.listTop, 460 + 660);
        QCOMPARE(*r.treeHeight, 6000 - 420 - 300 - 80 - 1375);
        QCOMPARE(*r.listHeight, *r.treeHeight - 660);
        QCOMPARE(*r.gripTop, 460);
        QCOMPARE(*r.gripHeight, *r.treeHeight);
        QCOMPARE(*r.logTop, 460 + *r.treeHeight + 40);
        QCOMPARE(*r.logHeight, 1375);
        QCOMPARE(*r.logWidth, 6380);
        QCOMPARE(*r.legendTop, *r.logTop + 150);
        QCOMPARE(*r.legendLeft, 6380 - 1935 - 300);
    }

    // The queue pane takes the log's right end (at most half the window),
    // and the legend moves with the log's end.
    void queueBesideLog() {
        MainLayout::Input in = standard();
        for (const auto& [wanted, queue] : {std::pair{2000, 2000}, std::pair{5000, 3190}}) {
            in.queueWidth = wanted;
            const auto r = MainLayout::compute(in);
            QCOMPARE(*r.logWidth, 6380 - queue);
            QCOMPARE(*r.queueLeft, *r.logWidth + 40);
            QCOMPARE(*r.queueWidth, queue - 40);
            QCOMPARE(*r.legendLeft, *r.logWidth - 1935 - 300);
        }
    }

    void splitterClamp_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("minimumList"); // the list pane's least width
        QTest::newRow("far left") << 0 << 6500 << 1500 << 0;
        QTest::newRow("negative") << -400 << 6500 << 1500 << 0;
        QTest::newRow("just inside") << 1500 << 6500 << 1500 << 0;
        QTest::newRow("middle") << 3000 << 6500 << 3000 << 0;
        QTest::newRow("far right") << 9000 << 6500 << 5000 << 0;
        QTest::newRow("narrowest window") << 2000 << 3000 << 1500 << 0;
        QTest::newRow("wide window") << 9000 << 12000 << 9000 << 0;
        QTest::newRow("options need the room") << 9000 << 9000 << 4000 << 4860;
        QTest::newRow("options fit the margin") << 9000 << 9000 << 7500 << 1000;
    }
    void splitterClamp() {
        QFETCH(int, x);
        QFETCH(int, width);
        QFETCH(int, expected);
        QFETCH(int, minimumList);
        MainLayout::Input in = standard();
        in.windowWidth = width;
        in.splitterLeft = x;
        in.minimumListWidth = minimumList;
        const auto r = MainLayout::compute(in);
        QCOMPARE(r.splitterLeft, expected);
        QCOMPARE(*r.treeWidth, expected);
        QCOMPARE(*r.listWidth, width - (expected + 140));
    }

    // The legend floats 150 below the log's top; a shorter log moves it up,
    // and a log that has no room to be as tall as the legend hides it rather
    // than let it cover the status bar.
    void legendFitsTheLog_data() {
        QTest::addColumn<int>("log");
        QTest::addColumn<int>("legend");
        QTest::addColumn<int>("offset"); // below the log's top
        QTest::addColumn<bool>("shown");
        QTest::newRow("design height") << 1375 << 1095 << 150 << true;
        QTest::newRow("a little shorter") << 1200 << 1095 << 105 << true;
        QTest::newRow("the least height") << MainLayout::MinimumLogHeight << 1095 << 0 << true;
        QTest::newRow("a legend taller than the room") << 1375 << 4000 << 0 << false;
    }
    void legendFitsTheLog() {
        QFETCH(int, log);
        QFETCH(int, legend);
        QFETCH(int, offset);
        QFETCH(bool, shown);
        MainLayout::Input in = standard();
        in.logHeight = log;
        in.legendHeight = legend;
        const auto r = MainLayout::compute(in);
        QVERIFY(r.complete());
        QCOMPARE(*r.logHeight, std::min(std::max(log, legend), 6000 - 2360));
        QCOMPARE(*r.legendTop - *r.logTop, offset);
        QCOMPARE(r.legendShown, shown);
    }

    void ghostClamp_data() {
        QTest::addColumn<int>("gripLeft");
        QTest::addColumn<int>("mouseX");
        QTest::addColumn<int>("expected");
        QTest::newRow("inside") << 1965 << 300 << 2265;
        QTest::newRow("dragged far left") << 1965 << -3000 << 500;
        QTest::newRow("dragged far right") << 1965 << 9000 << 6000;
        QTest::newRow("on the left limit") << 400 << 100 << 500;
    }
    void ghostClamp() {
        QFETCH(int, gripLeft);
        QFETCH(int, mouseX);
        QFETCH(int, expected);
        QCOMPARE(MainLayout::ghostLeft(gripLeft, mouseX, 6500), expected);
    }

    // A ghost dropped past the layout's limits still gives a tree of at
    // least 1500 and a list of at least 1360.
    void ghostDropUsesLayoutClamp() {
        MainLayout::Input in = standard();
        in.splitterLeft = MainLayout::ghostLeft(1965, -5000, in.windowWidth);
        QCOMPARE(*MainLayout::compute(in).treeWidth, 1500);
        in.splitterLeft = MainLayout::ghostLeft(1965, 50000, in.windowWidth);
        QCOMPARE(*MainLayout::compute(in).treeWidth, 6500 - 1500);
    }

    void hiddenBars_data() {
        QTest::addColumn<bool>("band");
        QTest::addColumn<bool>("status");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("height");
        const int all = 6000 - 420 - 300 - 80 - 1375;
        QTest::newRow("both shown") << true << true << 460 << all;
        QTest::newRow("no toolbar") << false << true << 0 << all + 420;
        QTest::newRow("no status bar") << true << false << 460 << all + 300;
        QTest::newRow("neither") << false << false << 0 << all + 720;
    }
    void hiddenBars() {
        QFETCH(bool, band);
        QFETCH(bool, status);
        QFETCH(int, top);
        QFETCH(int, height);
        MainLayout::Input in = standard();
        in.bandVisible = band;
        in.statusVisible = status;
        const auto r = MainLayout::compute(in);
        QVERIFY(r.complete());
        QCOMPARE(*r.treeTop, top);
        QCOMPARE(*r.titleTop, top);
        QCOMPARE(*r.listTop, top + 660);
        QCOMPARE(*r.treeHeight, height);
        QCOMPARE(*r.listHeight, height - 660);
        // The log keeps its height directly below the tree.
        QCOMPARE(*r.logHeight, 1375);
        QCOMPARE(*r.logTop, top + height + 40);
    }

    // A window too low for the panes: the layout stops at the tree height and
    // leaves the rest alone (the window's minimum size keeps it from coming
    // to that).
    void tooSmallStopsLayout() {
        MainLayout::Input in = standard();
        in.clientHeight = 1000;
        const auto r = MainLayout::compute(in);
        QVERIFY(!r.complete());
        QVERIFY(r.treeTop.has_value());
        QVERIFY(r.listWidth.has_value());
        QVERIFY(!r.treeHeight.has_value());
        QVERIFY(!r.logTop.has_value());
        QVERIFY(!r.legendLeft.has_value());

        in.clientHeight = 2000; // the tree fits, the list under the title does not
        const auto partial = MainLayout::compute(in);
        QVERIFY(partial.treeHeight.has_value());
        QVERIFY(!partial.listHeight.has_value());
        QVERIFY(!partial.logTop.has_value());
    }

    // The log's height as dragged, kept between its own least height and the
    // height that leaves the list its least height below the title.
    void logHeightBounds_data() {
        QTest::addColumn<int>("wanted");
        QTest::addColumn<int>("clientHeight");
        QTest::addColumn<int>("expected");
        // room = clientHeight - 420 - 300 - 80 - 660 - 900; the legend is 1095 high
        QTest::newRow("as wanted") << 2500 << 6000 << 2500;
        QTest::newRow("below the legend") << 100 << 6000 << 1095;
        QTest::newRow("negative") << -5000 << 6000 << 1095;
        QTest::newRow("taller than the room") << 5000 << 6000 << 6000 - 2360;
        QTest::newRow("room for less than the legend") << 600 << 3200 << 3200 - 2360;
        QTest::newRow("no room at all") << 2000 << 2000 << 600;
    }
    void logHeightBounds() {
        QFETCH(int, wanted);
        QFETCH(int, clientHeight);
        QFETCH(int, expected);
        MainLayout::Input in = standard();
        in.logHeight = wanted;
        in.clientHeight = clientHeight;
        QCOMPARE(MainLayout::logHeight(in), expected);
        const auto r = MainLayout::compute(in);
        if (r.complete()) {
            QCOMPARE(*r.logHeight, expected);
            // The log ends where the status bar begins.
            QCOMPARE(*r.logTop + *r.logHeight, clientHeight - 300);
            QVERIFY(*r.listHeight >= MainLayout::MinimumListHeight);
        }
    }

    void initialSplitter_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("splitter");
        QTest::newRow("narrowest") << 9000 << 2250;
        QTest::newRow("default on a laptop") << 15120 << 3780;
        QTest::newRow("narrower than the design") << 6500 << 1965;
        QTest::newRow("very wide") << 40000 << 4500;
    }
    void initialSplitter() {
        QFETCH(int, width);
        QFETCH(int, splitter);
        QCOMPARE(MainLayout::initialSplitterLeft(width), splitter);
    }

    void defaultSize_data() {
        QTest::addColumn<int>("areaWidth");
        QTest::addColumn<int>("areaHeight");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("full hd") << 1920 << 1050 << 1344 << 735;
        QTest::newRow("small laptop") << 1366 << 738 << 956 << 600;
        QTest::newRow("old screen") << 1024 << 740 << 900 << 600;
        QTest::newRow("smaller than the least") << 800 << 560 << 800 << 560;
        QTest::newRow("4k") << 3840 << 2100 << 2688 << 1470;
    }
    void defaultSize() {
        QFETCH(int, areaWidth);
        QFETCH(int, areaHeight);
        QFETCH(int, width);
        QFETCH(int, height);
        int w = 0;
        int h = 0;
        MainLayout::defaultSize(areaWidth, areaHeight, w, h);
        QCOMPARE(w, width);
        QCOMPARE(h, height);
    }
};

QTEST_APPLESS_MAIN(tst_MainLayout)
#include "tst_MainLayout.moc"
