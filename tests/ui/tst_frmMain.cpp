#include "CFtpConnection.h"
#include "FileListView.h"
#include "FtpErrors.h"
#include "HelpViewer.h"
#include "LogColours.h"
#include "ScriptedPrompts.h"
#include "Translations.h"
#include "about.h"
#include "frmConnect.h"
#include "frmMain.h"
#include "frmWelcomeMessage.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTranslator>
#include <QTreeView>
#include <QTreeWidget>

class tst_frmMain : public QObject {
    Q_OBJECT

    QTemporaryDir m_SettingsDir;
    // A placement row's "the window's own choice".
    static constexpr int Default = -99999;

    static QSettings store() {
        return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Krellin"),
                         QStringLiteral("Krellin"));
    }
    static void writePlacement(const QVariant& left, const QVariant& top, const QVariant& width,
                               const QVariant& height) {
        QSettings s = store();
        s.clear();
        if (left.isValid())
            s.setValue(QStringLiteral("Settings/MainLeft"), left);
        if (top.isValid())
            s.setValue(QStringLiteral("Settings/MainTop"), top);
        if (width.isValid())
            s.setValue(QStringLiteral("Settings/MainWidth"), width);
        if (height.isValid())
            s.setValue(QStringLiteral("Settings/MainHeight"), height);
    }
    static QList<int> storedPlacement() {
        QSettings s = store();
        QList<int> out;
        for (const char* key : {"MainLeft", "MainTop", "MainWidth", "MainHeight"})
            out << s.value(QStringLiteral("Settings/") + QLatin1String(key), -1).toInt();
        return out;
    }
    // A shown window with the given placement (twips), laid out.
    static void showWindow(frmMain& window) {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(window.twipsGeometry(window.txtMessages).height() == 1375);
    }
    // Installs the program's translation into language (nothing for
    // English) until the returned guard goes.
    static auto translatedInto(const QString& language) {
        Translations::install(*QCoreApplication::instance(), QLocale(language),
                              QCoreApplication::applicationDirPath());
        return qScopeGuard([] {
            for (QTranslator* translator :
                 QCoreApplication::instance()->findChildren<QTranslator*>()) {
                QCoreApplication::removeTranslator(translator);
                delete translator;
            }
        });
    }
    static QColor colourOfLine(QTextEdit* log, const QString& text) {
        for (QTextBlock block = log->document()->begin(); block.isValid(); block = block.next()) {
            if (block.text() == text)
                return block.begin().fragment().charFormat().foreground().color();
        }
        return {};
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_SettingsDir.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_SettingsDir.path());
        frmMain::setQueueStorePath(m_SettingsDir.filePath(QStringLiteral("queue.sqlite")));
        QVERIFY(store().fileName().startsWith(m_SettingsDir.path()));
    }

    void init() { writePlacement({}, {}, {}, {}); }

    // ------------------------------------------------------- placement

    // Stored values are used as they are; a missing or unreadable size gives
    // the default size and a missing position centres the window; a size
    // below the minimum grows to it.
    void placementFromSettings_data() {
        QTest::addColumn<QVariant>("left");
        QTest::addColumn<QVariant>("width");
        QTest::addColumn<int>("expectedLeft");
        QTest::addColumn<int>("expectedWidth");
        QTest::newRow("missing") << QVariant() << QVariant() << Default << Default;
        QTest::newRow("not numbers") << QVariant("abc") << QVariant("12px") << Default << Default;
        QTest::newRow("empty text") << QVariant("") << QVariant(" ") << Default << Default;
        QTest::newRow("numbers") << QVariant("1500") << QVariant("9300") << 1500 << 9300;
        QTest::newRow("negative left") << QVariant("-300") << QVariant("9600") << -300 << 9600;
        QTest::newRow("below the minimum")
            << QVariant("1500") << QVariant("4500") << 1500 << MainLayout::MinimumWindowWidth;
    }
    void placementFromSettings() {
        QFETCH(QVariant, left);
        QFETCH(QVariant, width);
        QFETCH(int, expectedLeft);
        QFETCH(int, expectedWidth);
        writePlacement(left, QVariant(), width, QVariant());
        ScriptedPrompts prompts;
        frmMain window(prompts);
        const QRect area = window.screen()->availableGeometry();
        int defaultWidth = 0;
        int defaultHeight = 0;
        MainLayout::defaultSize(area.width(), area.height(), defaultWidth, defaultHeight);
        // At least 900 x 600 where the screen has room, never beyond it.
        QVERIFY(defaultWidth >= std::min(900, area.width()));
        QVERIFY(defaultHeight >= std::min(600, area.height()));
        QCOMPARE(window.height(), std::max(defaultHeight, window.toPixels(6300)));
        if (expectedWidth == Default)
            QCOMPARE(window.width(), std::max(defaultWidth, window.toPixels(9000)));
        else
            QCOMPARE(window.width(), window.toPixels(expectedWidth));
        if (expectedLeft == Default)
            QVERIFY(qAbs(window.geometry().center().x() - area.center().x()) <= 1);
        else
            QCOMPARE(window.geometry().x(), window.toPixels(expectedLeft));
        QVERIFY(qAbs(window.geometry().center().y() - area.center().y()) <= 1 ||
                window.geometry().y() == area.y());
        QCOMPARE(window.placementTwips().width(),
                 expectedWidth == Default ? window.toTwips(window.width()) : expectedWidth);
    }

    void placementRoundTrip() {
        writePlacement(QStringLiteral("1510"), QStringLiteral("1200"), QStringLiteral("9007"),
                       QStringLiteral("7500"));
        {
            ScriptedPrompts prompts;
            frmMain window(prompts);
            showWindow(window);
            window.close();
        }
        // Values that are not whole pixels come back unchanged.
        QCOMPARE(storedPlacement(), (QList<int>{1510, 1200, 9007, 7500}));
        {
            ScriptedPrompts prompts;
            frmMain window(prompts);
            showWindow(window);
            window.setGeometry(window.toPixels(3000), window.toPixels(2250), window.toPixels(9600),
                               window.toPixels(6600));
            QTRY_COMPARE(window.width(), window.toPixels(9600));
            window.mnuFileClose_Click();
            QVERIFY(!window.isVisible());
        }
        QCOMPARE(storedPlacement(), (QList<int>{3000, 2250, 9600, 6600}));
    }

    void minimisedKeepsStoredPlacement() {
        writePlacement(QStringLiteral("1500"), QStringLiteral("1500"), QStringLiteral("9500"),
                       QStringLiteral("6500"));
        ScriptedPrompts prompts;
        frmMain window(prompts);
        showWindow(window);
        window.setGeometry(window.toPixels(4500), window.toPixels(4500), window.width(),
                           window.height());
        window.showMinimized();
        QTRY_VERIFY(window.isMinimized());
        window.close();
        QCOMPARE(storedPlacement(), (QList<int>{1500, 1500, 9500, 6500}));
    }

    // ----------------------------------------------------------- layout

    void defaultLayout() {
        writePlacement(QStringLiteral("1000"), QStringLiteral("1000"), QStringLiteral("12000"),
                       QStringLiteral("6500"));
        ScriptedPrompts prompts;
        frmMain window(prompts);
        showWindow(window);
        // A quarter of the width goes to the tree.
        QCOMPARE(window.splitterLeft(), 3000);
        QCOMPARE(window.twipsGeometry(window.tvTreeView).width(), 3000);
        QCOMPARE(window.twipsGeometry(window.lvListView).left(), 3040);
        QCOMPARE(window.twipsGeometry(window.lvListView).width(), 12000 - (3000 + 140));
        QCOMPARE(window.twipsGeometry(window.picTitle).left(), 3040);
        QCOMPARE(window.lvListView->x(), window.toPixels(3040));
        // The legend floats over the right end of the log.
        const QRect log = window.twipsGeometry(window.txtMessages);
        const QRect legend = window.twipsGeometry(window.picLegend);
        QCOMPARE(legend.top(), log.top() + 150);
        QCOMPARE(legend.left() + legend.width() + 300, log.width());
    }

    // Below its minimum size the window springs back, so the panes never
    // collapse into each other.
    void minimumSize() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        showWindow(window);
        window.resize(window.toPixels(1200), window.toPixels(2400));
        QTRY_COMPARE(window.width(), window.toPixels(MainLayout::MinimumWindowWidth));
        QCOMPARE(window.height(), window.toPixels(MainLayout::MinimumWindowHeight));
        const QRect tree = window.twipsGeometry(window.tvTreeView);
        const QRect list = window.twipsGeometry(window.lvListView);
        const QRect log = window.twipsGeometry(window.txtMessages);
        QVERIFY(list.height() >= MainLayout::MinimumListHeight);
        QVERIFY(log.height() >= MainLayout::MinimumLogHeight);
        QVERIFY(log.top() > tree.bottom());
        QVERIFY(log.bottom() < window.twipsGeometry(window.sbStatusBar).top());
        // At the narrowest the splitter still leaves both panes their room,
        // and the list pane keeps the title pane's options in view.
        window.imgSplitter_MouseDown(0);
        window.imgSplitter_MouseMove(window.toPixels(50000));
        window.imgSplitter_MouseUp();
        QCOMPARE(window.twipsGeometry(window.tvTreeView).width(),
                 MainLayout::MinimumWindowWidth - listMargin(window));
        QVERIFY(optionsInView(window));
    }

    // The right margin the splitter keeps: the list's least width and gaps.
    static int listMargin(const frmMain& window) {
        return std::max(1500, window.layoutInput(0).minimumListWidth + 140);
    }
    // Passive Mode, ASCII and Image lie whole inside the title pane, apart.
    static bool optionsInView(const frmMain& window) {
        const QRect holder = window.Picture1->geometry();
        const QRect check = window.Check1->geometry();
        const QRect ascii = window.Option1[0]->geometry();
        const QRect image = window.Option1[1]->geometry();
        return holder.left() >= 0 && holder.right() < window.imgIcon->x() &&
               holder.bottom() < window.ProgressBar1->y() && check.right() < ascii.left() &&
               ascii.right() < image.left() && image.right() < holder.width() &&
               check.width() >= window.Check1->sizeHint().width();
    }

    // The log's grip sets the log's height within bounds; the height outlives
    // the window.
    void logPaneResizes() {
        writePlacement(QStringLiteral("1000"), QStringLiteral("1000"), QStringLiteral("9000"),
                       QStringLiteral("9000"));
        {
            ScriptedPrompts prompts;
            frmMain window(prompts);
            showWindow(window);
            const QRect log = window.twipsGeometry(window.txtMessages);
            const QRect tree = window.twipsGeometry(window.tvTreeView);
            // Dragged 1000 twips up: the log grows by as much as the tree shrinks.
            window.imgLogSplitter_Drag(window.imgLogSplitter->y() - window.toPixels(1000));
            const QRect taller = window.twipsGeometry(window.txtMessages);
            QVERIFY2(qAbs(taller.height() - (log.height() + 1000)) <= 30,
                     qPrintable(QString::number(taller.height())));
            QCOMPARE(window.twipsGeometry(window.tvTreeView).height(),
                     tree.height() - (taller.height() - log.height()));
            QCOMPARE(taller.bottom(), log.bottom());
            // Far down: the log keeps its least height, the legend's; far up:
            // the list keeps its own.
            window.imgLogSplitter_Drag(window.toPixels(50000));
            QCOMPARE(window.twipsGeometry(window.txtMessages).height(),
                     std::max(MainLayout::MinimumLogHeight,
                              window.twipsGeometry(window.picLegend).height()));
            QVERIFY(window.picLegend->isVisible());
            window.imgLogSplitter_Drag(-window.toPixels(50000));
            QCOMPARE(window.twipsGeometry(window.lvListView).height(),
                     MainLayout::MinimumListHeight);
            window.imgLogSplitter_Drag(window.imgLogSplitter->y() + window.toPixels(3000));
            window.close();
        }
        QSettings s = store();
        const int stored = s.value(QStringLiteral("Settings/LogHeight")).toInt();
        QVERIFY(stored >= MainLayout::MinimumLogHeight);
        ScriptedPrompts prompts;
        frmMain again(prompts);
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QTRY_COMPARE(again.twipsGeometry(again.txtMessages).height(), stored);
    }

    void hidingBars() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        showWindow(window);
        const QRect tree = window.twipsGeometry(window.tvTreeView);
        const QRect log = window.twipsGeometry(window.txtMessages);
        const int band = window.twipsGeometry(window.CoolBar1).height();
        const int status = window.twipsGeometry(window.sbStatusBar).height();
        QVERIFY(band >= 390);
        QCOMPARE(tree.top(), band + 40);

        window.mnuViewToolbar_Click();
        QVERIFY(!window.mnuViewToolbar->isChecked());
        QVERIFY(window.CoolBar1->isHidden());
        QCOMPARE(window.twipsGeometry(window.tvTreeView).top(), 0);
        QCOMPARE(window.twipsGeometry(window.picTitle).top(), 0);
        QCOMPARE(window.twipsGeometry(window.tvTreeView).height(), tree.height() + band);
        QCOMPARE(window.twipsGeometry(window.txtMessages).top(), log.top() - 40);

        window.mnuViewStatusBar_Click();
        QVERIFY(!window.mnuViewStatusBar->isChecked());
        QVERIFY(window.sbStatusBar->isHidden());
        QCOMPARE(window.twipsGeometry(window.tvTreeView).height(), tree.height() + band + status);
        const QRect lowLog = window.twipsGeometry(window.txtMessages);
        QCOMPARE(lowLog.height(), 1375);
        QCOMPARE(lowLog.top(), window.twipsGeometry(window.tvTreeView).height() + 40);

        window.mnuViewToolbar_Click();
        window.mnuViewStatusBar_Click();
        QCOMPARE(window.twipsGeometry(window.tvTreeView), tree);
        QCOMPARE(window.twipsGeometry(window.txtMessages), log);
    }

    void splitterDrag() {
        writePlacement(QStringLiteral("1000"), QStringLiteral("1000"), QStringLiteral("9000"),
                       QStringLiteral("6500"));
        ScriptedPrompts prompts;
        frmMain window(prompts);
        showWindow(window);
        window.imgSplitter_MouseDown(0);
        QVERIFY(window.isMovingSplitter());
        QVERIFY(window.picSplitter->isVisible());
        QCOMPARE(window.twipsGeometry(window.picSplitter).width(), 75);
        QCOMPARE(window.twipsGeometry(window.picSplitter).height(),
                 window.twipsGeometry(window.tvTreeView).height() - 20);
        QVERIFY(!window.tvTreeView->updatesEnabled());

        window.imgSplitter_MouseMove(window.toPixels(-5000));
        QCOMPARE(window.ghostLeft(), 500);
        // Only the ghost moves while dragging.
        QCOMPARE(window.twipsGeometry(window.tvTreeView).width(), 2250); // a quarter of 9000
        window.imgSplitter_MouseUp();
        QVERIFY(!window.isMovingSplitter());
        QVERIFY(window.picSplitter->isHidden());
        QVERIFY(window.tvTreeView->updatesEnabled());
        QCOMPARE(window.twipsGeometry(window.tvTreeView).width(), 1500);

        window.imgSplitter_MouseDown(0);
        window.imgSplitter_MouseMove(window.toPixels(50000));
        QCOMPARE(window.ghostLeft(), 9000 - 500);
        window.imgSplitter_MouseUp();
        const int right = 9000 - listMargin(window);
        QCOMPARE(window.twipsGeometry(window.tvTreeView).width(), right);
        QCOMPARE(window.twipsGeometry(window.lvListView).width(), 9000 - (right + 140));
        QVERIFY(optionsInView(window));

        // A move without a press does nothing.
        window.imgSplitter_MouseMove(window.toPixels(100));
        QCOMPARE(window.twipsGeometry(window.tvTreeView).width(), right);
    }

    // A window asked to become too low for its panes keeps its minimum
    // height, and the panes draw again after the drag that was under way.
    void lowWindowKeepsDrawing() {
        writePlacement(QStringLiteral("1000"), QStringLiteral("1000"), QStringLiteral("9000"),
                       QStringLiteral("6300"));
        ScriptedPrompts prompts;
        frmMain window(prompts);
        showWindow(window);
        const QRect log = window.twipsGeometry(window.txtMessages);
        window.imgSplitter_MouseDown(0);
        window.resize(window.width(), window.toPixels(1500));
        QTRY_COMPARE(window.height(), window.toPixels(MainLayout::MinimumWindowHeight));
        window.imgSplitter_MouseUp();
        QVERIFY(window.tvTreeView->updatesEnabled());
        QVERIFY(window.txtMessages->updatesEnabled());
        QCOMPARE(window.twipsGeometry(window.txtMessages), log);
    }

    // ------------------------------------------------------- controls

    void menusAndToolbar() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        QCOMPARE(window.windowTitle(), QStringLiteral("Krellin"));
        QCOMPARE(window.mnuFile->title(), QStringLiteral("&File"));
        QCOMPARE(window.mnuConnect->text(), QStringLiteral("&Connect to ..."));
        QCOMPARE(window.mnuHelpAbout->text(), QStringLiteral("&About "));
        QVERIFY(!window.mnuOptions->isVisible());
        QVERIFY(!window.sep5->isVisible());
        QVERIFY(window.mnuViewToolbar->isChecked());
        QVERIFY(window.mnuViewStatusBar->isChecked());
        for (QAction* item : window.mnuListViewMode)
            QVERIFY(!item->isCheckable());

        const QStringList keys = {
            "Connect",          "",          "UpLevel",     "",       "Stop",
            "Refresh",          "",          "Download",    "Upload", "",
            "CreateDirectory",  "Delete",    "Rename",      "",       "View Large Icons",
            "View Small Icons", "View List", "View Details"};
        for (int i = 0; i < keys.size(); ++i) {
            QAction* button = window.toolbarButton(i + 1);
            QVERIFY(button);
            QCOMPARE(button->isSeparator(), keys[i].isEmpty());
            if (!keys[i].isEmpty())
                QCOMPARE(button->data().toString(), keys[i]);
        }
        QVERIFY(!window.toolbarButton(19));
        QCOMPARE(window.toolbarButton(QStringLiteral("Refresh"))->toolTip(),
                 QStringLiteral("Refresh contents of current directory"));
        QVERIFY(window.toolbarButton(18)->isChecked());
        QVERIFY(window.Option1[1]->isChecked());
        QVERIFY(!window.Option1[0]->isChecked());
        QVERIFY(window.Check1->isChecked());
        QCOMPARE(window.lvListView->viewMode(), int(FileListView::Details));
    }

    void viewModesInStep() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        window.mnuListViewMode_Click(0);
        QCOMPARE(window.lvListView->viewMode(), 0);
        QVERIFY(window.toolbarButton(15)->isChecked());
        QVERIFY(!window.toolbarButton(18)->isChecked());

        window.toolbarButton(QStringLiteral("View List"))->trigger();
        QCOMPARE(window.lvListView->viewMode(), 2);
        QVERIFY(window.toolbarButton(17)->isChecked());
        QVERIFY(!window.toolbarButton(15)->isChecked());

        window.mnuListViewMode[3]->trigger();
        QCOMPARE(window.lvListView->viewMode(), 3);
        QVERIFY(window.toolbarButton(18)->isChecked());
        QCOMPARE(window.lvListView->currentView(), window.lvListView->detailsView());

        window.tbToolBar_ButtonClick(QStringLiteral("View Small Icons"));
        QCOMPARE(window.lvListView->viewMode(), 1);
        QVERIFY(window.toolbarButton(16)->isChecked());
        // An unknown key does nothing.
        window.tbToolBar_ButtonClick(QStringLiteral("view list"));
        QCOMPARE(window.lvListView->viewMode(), 1);
    }

    void passiveModeGoesToEngine() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        QVERIFY(window.connection());
        QCOMPARE(window.connection()->Timeout(), qint16(60));
        // Passive from the start: active mode fails behind address translation.
        QVERIFY(window.Check1->isChecked());
        QVERIFY(window.connection()->PassiveMode());
        window.Check1->click();
        QVERIFY(!window.connection()->PassiveMode());
        window.Check1->click();
        QVERIFY(window.connection()->PassiveMode());
        // The transfer options change nothing in the engine.
        window.Option1[0]->click();
        QVERIFY(window.Option1[0]->isChecked());
        QVERIFY(!window.Option1[1]->isChecked());
    }

    // ---------------------------------------------------- log and status

    // Each kind has its colour, readable on the log's background in a light
    // and in a dark palette: the design's dark blue and dark green where they
    // stand out (a light palette), lifted where they would vanish (a dark
    // one), the hue kept. A message of an unknown kind keeps the colour
    // before it.
    void logColours_data() {
        QTest::addColumn<QColor>("base");
        QTest::addColumn<QColor>("text");
        QTest::addColumn<bool>("design"); // the design's blue and green stand
        QTest::newRow("light") << QColor(Qt::white) << QColor(Qt::black) << true;
        QTest::newRow("dark") << QColor(30, 30, 30) << QColor(230, 230, 230) << false;
        QTest::newRow("dark grey") << QColor(66, 66, 66) << QColor(Qt::white) << false;
    }
    void logColours() {
        QFETCH(QColor, base);
        QFETCH(QColor, text);
        QFETCH(bool, design);
        QPalette palette = QApplication::palette();
        palette.setColor(QPalette::Base, base);
        palette.setColor(QPalette::Text, text);
        palette.setColor(QPalette::Window, base);
        palette.setColor(QPalette::WindowText, text);
        const QPalette before = QApplication::palette();
        const auto restore = qScopeGuard([&before] { QApplication::setPalette(before); });
        QApplication::setPalette(palette);
        ScriptedPrompts prompts;
        frmMain window(prompts);
        window.m_FtpConnection_SessionProtocolMessage(QStringLiteral("USER bob"), 0);
        window.m_FtpConnection_SessionProtocolMessage(QStringLiteral("331 Password"), 1);
        window.m_FtpConnection_SessionProtocolMessage(QStringLiteral("530 Denied"), 2);
        window.m_FtpConnection_SessionProtocolMessage(QStringLiteral("a note"), 3);
        window.m_FtpConnection_SessionProtocolMessage(QStringLiteral("kind seven"), 7);
        window.m_FtpConnection_SessionProtocolMessage(QStringLiteral("bad again"), 2);
        window.m_FtpConnection_SessionProtocolMessage(QStringLiteral("kind minus one"), -1);
        const QColor user = colourOfLine(window.txtMessages, "USER bob");
        const QColor reply = colourOfLine(window.txtMessages, "331 Password");
        const QColor bad = colourOfLine(window.txtMessages, "530 Denied");
        for (const QColor& colour : {user, reply, bad})
            QVERIFY2(LogColours::contrast(colour, base) >= LogColours::TextContrast,
                     qPrintable(colour.name()));
        QCOMPARE(user == QColor(0, 0, 64), design);
        QCOMPARE(reply == QColor(0, 64, 0), design);
        // The hue says the kind: blue, green, red.
        QVERIFY(user.blue() > user.red() && user.blue() > user.green());
        QVERIFY(reply.green() > reply.red() && reply.green() > reply.blue());
        QVERIFY(bad.red() > bad.green() && bad.red() > bad.blue());
        QCOMPARE(colourOfLine(window.txtMessages, "a note"), text);
        QCOMPARE(colourOfLine(window.txtMessages, "kind seven"), text);
        QCOMPARE(colourOfLine(window.txtMessages, "kind minus one"), bad);
        // The legend's squares stand out from its background too.
        for (QFrame* square : {window.Shape1, window.Shape2, window.Shape3, window.Shape4})
            QVERIFY(LogColours::contrast(square->palette().color(QPalette::Window), base) >=
                    LogColours::MarkContrast);
        QCOMPARE(window.picLegend->palette().color(QPalette::Window), base);
        // The caret follows the newest line.
        QVERIFY(window.txtMessages->textCursor().atEnd());
        // A theme switched meanwhile: the lines written take the new colours.
        QApplication::setPalette(before);
        const QPalette now = window.txtMessages->palette();
        QCOMPARE(colourOfLine(window.txtMessages, "USER bob"), LogColours::forMessage(0, now));
        QCOMPARE(colourOfLine(window.txtMessages, "kind seven"), LogColours::forMessage(3, now));
    }

    void logLines() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        window.m_FtpConnection_SessionProtocolMessage(QStringLiteral("220 Hello\r\n"), 1);
        window.m_FtpConnection_SessionProtocolMessage(QStringLiteral("USER x"), 0);
        window.m_FtpConnection_SessionProtocolMessage(QStringLiteral("230-a\r\n230 b"), 1);
        QCOMPARE(window.logText(), QStringLiteral("220 Hello\n\nUSER x\n230-a\n230 b\n"));
    }

    void statusTexts_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "Resolving host...";
        QTest::newRow("1") << 1 << "Host resolved";
        QTest::newRow("2") << 2 << "Connected";
        QTest::newRow("3") << 3 << "Authentication...";
        QTest::newRow("4") << 4 << "You are logged in. Connection ready.";
        QTest::newRow("5") << 5 << "Establishing data connection...";
        QTest::newRow("6") << 6 << "Data connection established.";
        QTest::newRow("7") << 7 << "Retrieving directory info...";
        QTest::newRow("8") << 8 << "Directory listing completed.";
        QTest::newRow("9") << 9 << "Transfer in progress...";
        QTest::newRow("10") << 10 << "Transfer completed.";
        QTest::newRow("11 empties") << 11 << "";
        QTest::newRow("-1 empties") << -1 << "";
    }
    void statusTexts() {
        QFETCH(int, state);
        QFETCH(QString, text);
        ScriptedPrompts prompts;
        frmMain window(prompts);
        window.setStatusText(QStringLiteral("before"));
        window.m_FtpConnection_StateChanged(state);
        QCOMPARE(window.statusText(), text);
    }

    void progress() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        window.setProgressInterval(0);
        window.m_strTransferFileName = QStringLiteral("big.iso");
        window.m_lTransferFileSize = 2048;
        window.m_FtpConnection_DownloadProgress(512);
        QVERIFY2(window.statusText().startsWith(QStringLiteral("Downloading big.iso: ")),
                 qPrintable(window.statusText()));
        QVERIFY(window.statusText().contains(QStringLiteral("(25 %)")));
        QCOMPARE(window.progressValue(), 25.0);
        QCOMPARE(window.ProgressBar1->value(), 2500);

        // 0 bytes and an overshoot keep the bar; the text still moves on.
        window.m_FtpConnection_DownloadProgress(0);
        QVERIFY(window.statusText().contains(QStringLiteral("(0 %)")));
        QCOMPARE(window.progressValue(), 25.0);
        window.m_FtpConnection_UploadProgress(2048);
        QVERIFY(window.statusText().startsWith(QStringLiteral("Uploading big.iso: ")));
        QVERIFY(window.statusText().contains(QStringLiteral("(100 %)")));
        QCOMPARE(window.progressValue(), 100.0);
        window.m_FtpConnection_UploadProgress(4096);
        QVERIFY(!window.statusText().contains(QLatin1Char('%')));
        QCOMPARE(window.progressValue(), 100.0);

        // Sizes past 2 GiB.
        window.m_lTransferFileSize = Q_INT64_C(8) * 1024 * 1024 * 1024;
        window.m_FtpConnection_DownloadProgress(Q_INT64_C(6) * 1024 * 1024 * 1024);
        QCOMPARE(window.progressValue(), 75.0);
        QVERIFY(window.statusText().contains(QStringLiteral("(75 %)")));

        window.m_FtpConnection_StateChanged(10);
        QCOMPARE(window.progressValue(), 0.01);
        QCOMPARE(window.m_lTransferFileSize, qint64(0));
        // No size known: the bar stays where it is, the count still shows.
        window.m_FtpConnection_DownloadProgress(100);
        QCOMPARE(window.progressValue(), 0.01);
        QVERIFY(window.statusText().startsWith(QStringLiteral("Downloading big.iso: ")));
        QVERIFY(!window.statusText().contains(QLatin1Char('%')));
    }

    // Once the transfer has run a moment the status shows its speed and the
    // time left, which shrinks as the bytes come in.
    void progressSpeedAndTimeLeft() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        window.setProgressInterval(0);
        window.m_strTransferFileName = QStringLiteral("big.iso");
        window.m_lTransferFileSize = Q_INT64_C(1) << 40;
        qint64 bytes = 0;
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     window.m_FtpConnection_DownloadProgress(bytes += 1 << 20);
                                     return window.statusText().contains(QStringLiteral(" left"));
                                 }()),
                                 5000);
        QVERIFY2(window.statusText().contains(QStringLiteral("/s, ")),
                 qPrintable(window.statusText()));
        window.m_FtpConnection_StateChanged(10);
        QCOMPARE(window.statusText(), QStringLiteral("Transfer completed."));
    }

    // Progress comes with every block; the status changes a few times a
    // second at most, so a fast transfer is not held up by drawing.
    void progressIsThrottled() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        window.m_strTransferFileName = QStringLiteral("big.iso");
        window.m_lTransferFileSize = Q_INT64_C(1) << 40;
        QElapsedTimer clock;
        clock.start();
        for (int i = 1; i <= 20000; ++i)
            window.m_FtpConnection_DownloadProgress(qint64(i) * 4096);
        const qint64 elapsed = clock.elapsed();
        QVERIFY(window.progressUpdates() >= 1);
        QVERIFY2(window.progressUpdates() <= 1 + elapsed / frmMain::ProgressIntervalMs,
                 qPrintable(QString::number(window.progressUpdates())));
    }

    void listingProgress_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("seven digits") << qint64(1234567) << "1 234 567";
        QTest::newRow("three") << qint64(999) << "999";
        QTest::newRow("four") << qint64(1000) << "1 000";
        QTest::newRow("zero") << qint64(0) << "0";
        QTest::newRow("ten digits") << qint64(1234567890) << "1 234 567 890";
    }
    void listingProgress() {
        QFETCH(qint64, bytes);
        QFETCH(QString, shown);
        ScriptedPrompts prompts;
        frmMain window(prompts);
        window.m_FtpConnection_ListingDataArrived(bytes);
        QCOMPARE(window.statusText(), QStringLiteral("Retrieving the current directory listing (") +
                                          shown + QStringLiteral(" bytes ) ..."));
    }

    void titleAfterListing() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        window.connection()->setFtpServer(QStringLiteral("srv"));
        window.Label1->setText(QStringLiteral("unchanged"));
        window.m_FtpConnection_StateChanged(8);
        QCOMPARE(window.Label1->text(), QStringLiteral("unchanged")); // no node selected
        QCOMPARE(window.statusText(), QStringLiteral("Directory listing completed."));

        QTreeWidgetItem* root =
            window.addNode(nullptr, QStringLiteral("/"), QStringLiteral("/"), 1);
        QTreeWidgetItem* pub =
            window.addNode(root, QStringLiteral("/pub/"), QStringLiteral("pub"), 2, 3);
        QTreeWidgetItem* in =
            window.addNode(pub, QStringLiteral("/pub/in/"), QStringLiteral("in"), 2, 3);
        QVERIFY(!window.addNode(root, QStringLiteral("/pub/"), QStringLiteral("pub"), 2, 3));
        QCOMPARE(window.findNode(QStringLiteral("/pub/in/")), in);
        QCOMPARE(frmMain::nodeFullPath(pub), QStringLiteral("//pub"));

        window.tvTreeView->setCurrentItem(pub);
        window.m_FtpConnection_StateChanged(8);
        QCOMPARE(window.Label1->text(), QStringLiteral("srv/pub"));
        window.tvTreeView->setCurrentItem(in);
        window.m_FtpConnection_StateChanged(8);
        QCOMPARE(window.Label1->text(), QStringLiteral("srv/pub/in"));
        window.tvTreeView->setCurrentItem(root);
        window.m_FtpConnection_StateChanged(8);
        QCOMPARE(window.Label1->text(), QStringLiteral("srv/"));
    }

    // --------------------------------------------- dialogs, help, unload

    void connectDialogThroughPrompts() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        window.setInitialHost(QStringLiteral("Named.Host"));
        QString seenHost;
        prompts.dialogs << [&seenHost](QDialog& dialog) {
            auto& connect = static_cast<frmConnect&>(dialog);
            seenHost = connect.txtURL->text();
            connect.cmdOK_Click();
        };
        const auto dialog = window.showConnectDialog();
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked[0].title, QStringLiteral("Connect to..."));
        QCOMPARE(seenHost, QStringLiteral("Named.Host"));
        QCOMPARE(dialog->Action(), 0);
        QCOMPARE(dialog->URL(), QStringLiteral("named.host"));
    }

    void aboutShowsTheSameWindow() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        for (int i = 0; i < 2; ++i)
            prompts.dialogs <<
                [](QDialog& dialog) { static_cast<about&>(dialog).Command1_Click(); };
        window.mnuHelpAbout_Click();
        about* first = window.aboutWindow();
        QVERIFY(first);
        QCOMPARE(first->Label4->text(), about::LegalNotice);
        QVERIFY(!first->isVisible());
        window.mnuHelpAbout_Click();
        QCOMPARE(window.aboutWindow(), first);
        QCOMPARE(first->Label4->text(), about::LegalNotice);
        QCOMPARE(prompts.asked.size(), 2);
        QCOMPARE(prompts.asked[1].title, QStringLiteral("About Krellin"));
        QCOMPARE(prompts.unanswered, 0);
    }

    void helpTopics() {
        QTemporaryDir programDir;
        ScriptedPrompts prompts;
        frmMain window(prompts);
        window.setProgramDirectory(programDir.path());
        QCOMPARE(window.helpFilePath(), programDir.path() + QStringLiteral("/Krellin.Hlp"));
        QStringList opened;
        bool shellWorks = false;
        window.setShellOpenDocument([&](const QString& path) {
            opened << path;
            return shellWorks;
        });

        // Missing file: nothing at all.
        window.help_Click();
        QVERIFY(opened.isEmpty());
        QVERIFY(!window.helpViewer());

        QVERIFY(QFile::copy(QStringLiteral(KRELLIN_SOURCE_DIR "/ui/help/Krellin.Hlp"),
                            window.helpFilePath()));
        // A desktop that opens it: the shell does the work.
        shellWorks = true;
        window.help_Click();
        QCOMPARE(opened, QStringList{window.helpFilePath()});
        QVERIFY(!window.helpViewer());

        // No handler: our own viewer shows the file.
        shellWorks = false;
        window.help_Click();
        QVERIFY(window.helpViewer());
        QVERIFY(window.helpViewer()->isVisible());
        QVERIFY(
            window.helpViewer()->documentText().contains(QStringLiteral("Connecting to a server")));
        QVERIFY(prompts.asked.isEmpty());
        // Unload closes it with the other windows.
        QPointer<HelpViewer> viewer = window.helpViewer();
        window.close();
        QTRY_VERIFY(!viewer);
    }

    // Installed from the package the help lives in share/krellin beside bin;
    // a file beside the program still wins.
    void helpInTheSharedFolder() {
        QTemporaryDir prefix;
        QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
        QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("share/krellin")));
        const QString shared = prefix.path() + QStringLiteral("/share/krellin/Krellin.Hlp");
        QVERIFY(QFile::copy(QStringLiteral(KRELLIN_SOURCE_DIR "/ui/help/Krellin.Hlp"), shared));
        ScriptedPrompts prompts;
        frmMain window(prompts);
        window.setProgramDirectory(prefix.path() + QStringLiteral("/bin"));
        QCOMPARE(window.helpFilePath(), shared);
        const QString beside = prefix.path() + QStringLiteral("/bin/Krellin.Hlp");
        QVERIFY(QFile::copy(shared, beside));
        QCOMPARE(window.helpFilePath(), beside);
    }

    // No two items of one menu share an access letter, nor do the menu bar
    // and the title pane's controls.
    void distinctAccessLetters_data() {
        QTest::addColumn<QString>("language");
        QTest::newRow("English") << "en";
        QTest::newRow("German") << "de_DE";
    }
    void distinctAccessLetters() {
        QFETCH(QString, language);
        const auto translated = translatedInto(language);
        ScriptedPrompts prompts;
        frmMain window(prompts);
        QCOMPARE(window.mnuFile->title() == QLatin1String("&File"), language == "en");
        auto letter = [](const QString& text) {
            const int amp = text.indexOf(QLatin1Char('&'));
            return amp >= 0 && amp + 1 < text.size() ? text.at(amp + 1).toLower() : QChar();
        };
        for (QMenu* menu : {window.mnuFile, window.mnuEdit, window.mnuView, window.mnuHelp}) {
            QSet<QChar> seen;
            for (const QAction* item : menu->actions()) {
                if (item->isSeparator() || !item->isVisible())
                    continue;
                const QChar c = letter(item->text());
                QVERIFY2(!c.isNull(), qPrintable(item->text()));
                QVERIFY2(!seen.contains(c),
                         qPrintable(menu->title() + QLatin1Char(' ') + item->text()));
                seen.insert(c);
            }
        }
        QSet<QChar> top;
        const QStringList texts = {window.mnuFile->title(),  window.mnuEdit->title(),
                                   window.mnuView->title(),  window.mnuHelp->title(),
                                   window.Check1->text(),    window.Option1[0]->text(),
                                   window.Option1[1]->text()};
        for (const QString& text : texts) {
            QVERIFY2(!top.contains(letter(text)), qPrintable(text));
            top.insert(letter(text));
        }
    }

    // The passive mode chosen is the one the next start opens with, active
    // as well as passive.
    void passiveModeIsKept() {
        for (const bool passive : {false, true}) {
            {
                ScriptedPrompts prompts;
                frmMain window(prompts);
                window.Check1->setChecked(passive);
                window.close();
            }
            ScriptedPrompts prompts;
            frmMain window(prompts);
            QCOMPARE(window.Check1->isChecked(), passive);
            QCOMPARE(window.connection()->PassiveMode(), passive);
        }
    }

    void productPage() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        QStringList opened;
        window.setShellOpenUrl([&](const QString& url) {
            opened << url;
            return false;
        });
        window.Download_Click();
        QCOMPARE(opened, QStringList{frmMain::ProductPage});
        QVERIFY(prompts.asked.isEmpty()); // failure is silent
    }

    // Closing the window while an engine call waits (here for a greeting
    // that never comes) ends that call with "cancelled"; the engine goes
    // only once the call has returned.
    void unloadDuringEngineWait() {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        ScriptedPrompts prompts;
        frmMain window(prompts);
        showWindow(window);
        QPointer<CFtpConnection> engine = window.connection();
        engine->setPort(silent.serverPort());
        engine->setFtpServer(QStringLiteral("127.0.0.1"));
        engine->setUserName(QStringLiteral("anonymous"));
        connect(&silent, &QTcpServer::newConnection, &window, [&window] { window.close(); });
        QVERIFY(!engine->Connect());
        QVERIFY(engine); // still alive while its caller reads the outcome
        QCOMPARE(engine->FtpGetLastError(), qint32(CFtpConnection::ErrCancelled));
        QVERIFY(!window.isVisible());
        QTRY_VERIFY(!engine);
    }

    // The message and About windows open in the middle of the screen, not over
    // the main window (which stands off centre at its stored placement).
    void smallWindowsCentredOnScreen() {
        writePlacement(QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("9000"),
                       QStringLiteral("6300"));
        ScriptedPrompts prompts;
        frmMain window(prompts);
        showWindow(window);
        const QPoint screenCentre = window.screen()->availableGeometry().center();
        QVERIFY((window.geometry().center() - screenCentre).manhattanLength() > 40);
        auto nearCentre = [screenCentre](const QWidget* w) {
            return (w->geometry().center() - screenCentre).manhattanLength() <= 4;
        };

        frmWelcomeMessage* welcome =
            window.showMessageWindow(QStringLiteral("Message from srv"), QStringLiteral("Hi"));
        QTRY_VERIFY(welcome->isVisible());
        QVERIFY(nearCentre(welcome));

        QRect aboutGeometry;
        prompts.dialogs << [&aboutGeometry](QDialog& dialog) {
            dialog.show();
            aboutGeometry = dialog.geometry();
            static_cast<about&>(dialog).Command1_Click();
        };
        window.mnuHelpAbout_Click();
        QVERIFY(!aboutGeometry.isEmpty());
        QVERIFY((aboutGeometry.center() - screenCentre).manhattanLength() <= 4);
    }

    void unloadReleasesEngineAndWindows() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        showWindow(window);
        frmWelcomeMessage* welcome = window.showMessageWindow(
            QStringLiteral("Welcome message from srv"), QStringLiteral("Hello\r\nthere"));
        QCOMPARE(welcome->windowTitle(), QStringLiteral("Welcome message from srv"));
        QCOMPARE(welcome->Text1->toPlainText(), QStringLiteral("Hello\nthere"));
        QVERIFY(welcome->isVisible());
        QVERIFY(!welcome->isModal());
        QPointer<frmWelcomeMessage> welcomeAlive = welcome;
        QPointer<CFtpConnection> engine = window.connection();

        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(engine->FtpGetLastError(), qint32(CFtpConnection::ErrCancelled));
        QTRY_VERIFY(!welcomeAlive); // closed, and it deletes itself on close
        QTRY_VERIFY(!engine);
        QVERIFY(!window.connection());
    }

    // The list and the splits come back as the user left them: view, sort,
    // column widths, sizes in bytes and the tree's width. Ctrl+Q quits from
    // the list.
    void windowStateIsKept() {
        int treeWidth = 0;
        {
            ScriptedPrompts prompts;
            frmMain window(prompts);
            showWindow(window);
            window.mnuListViewMode_Click(FileListView::List);
            window.lvListView->ColumnClick(FileListView::FileSize);
            window.lvListView->ColumnClick(FileListView::FileSize);
            window.lvListView->detailsView()->header()->resizeSection(FileListView::Owner, 211);
            window.mnuExactSizes->setChecked(true);
            const int initial = window.twipsGeometry(window.tvTreeView).width();
            window.imgSplitter_MouseDown(0);
            window.imgSplitter_MouseMove(window.toPixels(700));
            window.imgSplitter_MouseUp();
            treeWidth = window.twipsGeometry(window.tvTreeView).width();
            QVERIFY(treeWidth > initial);
            window.lvListView->iconView()->setFocus();
            QTest::keyClick(window.lvListView->iconView(), Qt::Key_Q, Qt::ControlModifier);
            QVERIFY(!window.isVisible());
        }
        ScriptedPrompts prompts;
        frmMain window(prompts);
        showWindow(window);
        QCOMPARE(window.lvListView->viewMode(), int(FileListView::List));
        QVERIFY(window.toolbarButton(17)->isChecked());
        QCOMPARE(window.lvListView->sortKey(), int(FileListView::FileSize));
        QCOMPARE(window.lvListView->sortOrder(), Qt::DescendingOrder);
        QCOMPARE(window.lvListView->detailsView()->header()->sectionSize(FileListView::Owner), 211);
        QVERIFY(window.lvListView->exactSizes());
        QVERIFY(window.mnuExactSizes->isChecked());
        QCOMPARE(window.twipsGeometry(window.tvTreeView).width(), treeWidth);
    }

    // A larger desktop font grows the title pane and the legend instead of
    // cutting their texts or laying one over the other.
    void largerFontGrows() {
        const QFont before = QApplication::font();
        const auto restore = qScopeGuard([&before] { QApplication::setFont(before); });
        QFont large = before;
        large.setPointSizeF(before.pointSizeF() * 1.8);
        QApplication::setFont(large);
        ScriptedPrompts prompts;
        frmMain window(prompts);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(optionsInView(window));
        QVERIFY(window.picTitle->height() > window.toPixels(660));
        QVERIFY(window.Picture1->geometry().bottom() < window.ProgressBar1->y());
        QRect previous;
        for (QLabel* label : {window.Label2, window.Label3, window.Label4, window.Label5}) {
            QVERIFY(label->width() >= label->sizeHint().width());
            QVERIFY(label->geometry().right() < window.picLegend->width());
            QVERIFY(label->geometry().bottom() < window.picLegend->height());
            QVERIFY(!label->geometry().intersects(previous));
            previous = label->geometry();
        }
        // The log is at least as tall as the legend, which stays inside it.
        QVERIFY(window.picLegend->isVisible());
        QVERIFY(window.twipsGeometry(window.picLegend).bottom() <=
                window.twipsGeometry(window.txtMessages).bottom());
        // The About window grows to show its whole notice and its title.
        about box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QVERIFY(box.Label4->height() >= box.Label4->heightForWidth(box.Label4->width()));
        QVERIFY(box.Label1->width() >= box.Label1->sizeHint().width());
        QVERIFY(box.Command1->geometry().top() > box.Label4->geometry().bottom());
        QVERIFY(box.rect().contains(box.Command1->geometry()));
    }

    // The window in German: menus, title pane, list header and a message
    // box's text with its argument in place; back in English afterwards.
    void germanWindow() {
        const auto translated = translatedInto(QStringLiteral("de_DE"));
        ScriptedPrompts prompts;
        frmMain window(prompts);
        QCOMPARE(window.Check1->text(), QStringLiteral("&Passiver Modus"));
        QCOMPARE(window.toolbarButton(QStringLiteral("Refresh"))->toolTip(),
                 QStringLiteral("Inhalt des aktuellen Ordners aktualisieren"));
        QCOMPARE(window.lvListView->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole),
                 QStringLiteral("Dateiname"));
        window.m_FtpConnection_ListingDataArrived(1234567);
        QCOMPARE(window.statusText(),
                 QStringLiteral("Aktuelle Verzeichnisliste wird abgerufen (1 234 567 Bytes) ..."));
        // Every description of the engine's error table reads in German in
        // the window's boxes.
        for (qint32 code = 100; code < 600; ++code) {
            const auto error = FtpErrors::replyError(code);
            if (error && error->description)
                QVERIFY2(QCoreApplication::translate("FtpErrors", error->description) !=
                             QLatin1String(error->description),
                         error->description);
        }
        for (qint32 code = 58; code <= 61; ++code) {
            const QString own = FtpErrors::ownErrorText(code);
            QVERIFY(QCoreApplication::translate("FtpErrors", own.toUtf8().constData()) != own);
        }
    }
};

QTEST_MAIN(tst_frmMain)
#include "tst_frmMain.moc"
