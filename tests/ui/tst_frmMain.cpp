#include "CFtpConnection.h"
#include "FileListView.h"
#include "HelpViewer.h"
#include "ScriptedPrompts.h"
#include "about.h"
#include "frmConnect.h"
#include "frmMain.h"
#include "frmWelcomeMessage.h"

#include <QCheckBox>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTreeWidget>

class tst_frmMain : public QObject {
    Q_OBJECT

    QTemporaryDir m_SettingsDir;

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
        QVERIFY(store().fileName().startsWith(m_SettingsDir.path()));
    }

    void init() { writePlacement({}, {}, {}, {}); }

    // ------------------------------------------------------- placement

    void placementFromSettings_data() {
        QTest::addColumn<QVariant>("left");
        QTest::addColumn<QVariant>("width");
        QTest::addColumn<int>("expectedLeft");
        QTest::addColumn<int>("expectedWidth");
        QTest::newRow("missing") << QVariant() << QVariant() << 1000 << 6500;
        QTest::newRow("not numbers") << QVariant("abc") << QVariant("12px") << 1000 << 6500;
        QTest::newRow("empty text") << QVariant("") << QVariant(" ") << 1000 << 6500;
        QTest::newRow("numbers") << QVariant("1500") << QVariant("9000") << 1500 << 9000;
        QTest::newRow("negative left") << QVariant("-300") << QVariant("4500") << -300 << 4500;
    }
    void placementFromSettings() {
        QFETCH(QVariant, left);
        QFETCH(QVariant, width);
        QFETCH(int, expectedLeft);
        QFETCH(int, expectedWidth);
        writePlacement(left, QVariant(), width, QVariant());
        ScriptedPrompts prompts;
        frmMain window(prompts);
        QCOMPARE(window.geometry().x(), window.toPixels(expectedLeft));
        QCOMPARE(window.geometry().y(), window.toPixels(1000));
        QCOMPARE(window.width(), window.toPixels(expectedWidth));
        QCOMPARE(window.height(), window.toPixels(6500));
        QCOMPARE(window.placementTwips(), QRect(expectedLeft, 1000, expectedWidth, 6500));
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
            window.setGeometry(window.toPixels(3000), window.toPixels(2250), window.toPixels(8400),
                               window.toPixels(6000));
            QTRY_COMPARE(window.width(), window.toPixels(8400));
            window.mnuFileClose_Click();
            QVERIFY(!window.isVisible());
        }
        QCOMPARE(storedPlacement(), (QList<int>{3000, 2250, 8400, 6000}));
    }

    void minimisedKeepsStoredPlacement() {
        writePlacement(QStringLiteral("1500"), QStringLiteral("1500"), QStringLiteral("7500"),
                       QStringLiteral("6000"));
        ScriptedPrompts prompts;
        frmMain window(prompts);
        showWindow(window);
        window.setGeometry(window.toPixels(4500), window.toPixels(4500), window.width(),
                           window.height());
        window.showMinimized();
        QTRY_VERIFY(window.isMinimized());
        window.close();
        QCOMPARE(storedPlacement(), (QList<int>{1500, 1500, 7500, 6000}));
    }

    // ----------------------------------------------------------- layout

    void defaultLayout() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        showWindow(window);
        QCOMPARE(window.splitterLeft(), 1965);
        QCOMPARE(window.twipsGeometry(window.tvTreeView).width(), 1965);
        QCOMPARE(window.twipsGeometry(window.lvListView).left(), 2005);
        QCOMPARE(window.twipsGeometry(window.lvListView).width(), 4395);
        QCOMPARE(window.twipsGeometry(window.picTitle).left(), 2005);
        QCOMPARE(window.lvListView->x(), window.toPixels(2005));
        // The legend floats over the right end of the log.
        const QRect log = window.twipsGeometry(window.txtMessages);
        const QRect legend = window.twipsGeometry(window.picLegend);
        QCOMPARE(legend.top(), log.top() + 150);
        QCOMPARE(legend.left() + legend.width() + 300, log.width());
    }

    void minimumWidth() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        showWindow(window);
        window.resize(window.toPixels(1200), window.toPixels(2400));
        QTRY_COMPARE(window.width(), window.toPixels(3000));
        QCOMPARE(window.height(), window.toPixels(2400)); // any height is accepted
        window.resize(window.toPixels(3000), window.toPixels(9000));
        QTRY_COMPARE(window.twipsGeometry(window.txtMessages).height(), 1375);
        // At the narrowest the splitter sits at W - 1500 = 1500.
        QCOMPARE(window.twipsGeometry(window.tvTreeView).width(), 1500);
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
        QCOMPARE(window.twipsGeometry(window.tvTreeView).width(), 1965);
        window.imgSplitter_MouseUp();
        QVERIFY(!window.isMovingSplitter());
        QVERIFY(window.picSplitter->isHidden());
        QVERIFY(window.tvTreeView->updatesEnabled());
        QCOMPARE(window.twipsGeometry(window.tvTreeView).width(), 1500);

        window.imgSplitter_MouseDown(0);
        window.imgSplitter_MouseMove(window.toPixels(50000));
        QCOMPARE(window.ghostLeft(), 6500 - 500);
        window.imgSplitter_MouseUp();
        QCOMPARE(window.twipsGeometry(window.tvTreeView).width(), 6500 - 1500);
        QCOMPARE(window.twipsGeometry(window.lvListView).width(), 6500 - (5000 + 140));

        // A move without a press does nothing.
        window.imgSplitter_MouseMove(window.toPixels(100));
        QCOMPARE(window.twipsGeometry(window.tvTreeView).width(), 5000);
    }

    // A layout that stops early (window too low) still lets the panes draw.
    void lowWindowKeepsDrawing() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        showWindow(window);
        const QRect log = window.twipsGeometry(window.txtMessages);
        window.imgSplitter_MouseDown(0);
        window.resize(window.width(), window.toPixels(1500));
        QTRY_VERIFY(window.client->height() < window.toPixels(2000));
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
        QVERIFY(!window.Check1->isChecked());
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
        QVERIFY(!window.connection()->PassiveMode());
        window.Check1->click();
        QVERIFY(window.connection()->PassiveMode());
        window.Check1->click();
        QVERIFY(!window.connection()->PassiveMode());
        // The transfer options change nothing in the engine.
        window.Option1[0]->click();
        QVERIFY(window.Option1[0]->isChecked());
        QVERIFY(!window.Option1[1]->isChecked());
    }

    // ---------------------------------------------------- log and status

    void logColours() {
        ScriptedPrompts prompts;
        frmMain window(prompts);
        const QColor windowText = window.txtMessages->palette().color(QPalette::Text);
        window.m_FtpConnection_SessionProtocolMessage(QStringLiteral("USER bob"), 0);
        window.m_FtpConnection_SessionProtocolMessage(QStringLiteral("331 Password"), 1);
        window.m_FtpConnection_SessionProtocolMessage(QStringLiteral("530 Denied"), 2);
        window.m_FtpConnection_SessionProtocolMessage(QStringLiteral("a note"), 3);
        window.m_FtpConnection_SessionProtocolMessage(QStringLiteral("kind seven"), 7);
        window.m_FtpConnection_SessionProtocolMessage(QStringLiteral("bad again"), 2);
        window.m_FtpConnection_SessionProtocolMessage(QStringLiteral("kind minus one"), -1);
        QCOMPARE(colourOfLine(window.txtMessages, "USER bob"), QColor(0, 0, 64));
        QCOMPARE(colourOfLine(window.txtMessages, "331 Password"), QColor(0, 64, 0));
        QCOMPARE(colourOfLine(window.txtMessages, "530 Denied"), QColor(255, 0, 0));
        QCOMPARE(colourOfLine(window.txtMessages, "a note"), windowText);
        QCOMPARE(colourOfLine(window.txtMessages, "kind seven"), windowText);
        QCOMPARE(colourOfLine(window.txtMessages, "kind minus one"), QColor(255, 0, 0));
        // The caret follows the newest line.
        QVERIFY(window.txtMessages->textCursor().atEnd());
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
        window.m_strTransferFileName = QStringLiteral("big.iso");
        window.m_lTransferFileSize = 2048;
        window.m_FtpConnection_DownloadProgress(512);
        QCOMPARE(window.statusText(), QStringLiteral("Downloading big.iso (512 bytes)"));
        QCOMPARE(window.progressValue(), 25.0);
        QCOMPARE(window.ProgressBar1->value(), 2500);

        // Later reports show once the progress interval has passed.
        // 0 bytes and an overshoot keep the bar; the text still moves on.
        window.m_FtpConnection_DownloadProgress(0);
        QTRY_COMPARE(window.statusText(), QStringLiteral("Downloading big.iso (0 bytes)"));
        QCOMPARE(window.progressValue(), 25.0);
        window.m_FtpConnection_UploadProgress(2048);
        QTRY_COMPARE(window.statusText(), QStringLiteral("Uploading big.iso (2048 bytes)"));
        QCOMPARE(window.progressValue(), 100.0);
        window.m_FtpConnection_UploadProgress(4096);
        QTRY_COMPARE(window.statusText(), QStringLiteral("Uploading big.iso (4096 bytes)"));
        QCOMPARE(window.progressValue(), 100.0);

        // Sizes past 2 GiB.
        window.m_lTransferFileSize = Q_INT64_C(8) * 1024 * 1024 * 1024;
        window.m_FtpConnection_DownloadProgress(Q_INT64_C(6) * 1024 * 1024 * 1024);
        QTRY_COMPARE(window.progressValue(), 75.0);

        window.m_FtpConnection_StateChanged(10);
        QCOMPARE(window.progressValue(), 0.01);
        QCOMPARE(window.m_lTransferFileSize, qint64(0));
        // No size known: the bar stays where it is.
        window.m_FtpConnection_DownloadProgress(100);
        QCOMPARE(window.progressValue(), 0.01);
        QCOMPARE(window.statusText(), QStringLiteral("Downloading big.iso (100 bytes)"));
    }

    // A transfer reports every block; the widgets get the first report at
    // once, then the latest one per interval, and never a stale one after the
    // transfer has ended.
    void progressBursts_data() {
        QTest::addColumn<bool>("upload");
        QTest::addColumn<int>("ending");
        QTest::newRow("download, completed") << false << int(CFtpConnection::TransferCompleted);
        QTest::newRow("upload, completed") << true << int(CFtpConnection::TransferCompleted);
        QTest::newRow("download, display reset") << false << -1;
    }
    void progressBursts() {
        QFETCH(bool, upload);
        QFETCH(int, ending);
        ScriptedPrompts prompts;
        frmMain window(prompts);
        window.m_strTransferFileName = QStringLiteral("big.iso");
        window.m_lTransferFileSize = 10000;
        const QString verb = upload ? QStringLiteral("Uploading") : QStringLiteral("Downloading");
        auto report = [&](qint64 bytes) {
            if (upload)
                window.m_FtpConnection_UploadProgress(bytes);
            else
                window.m_FtpConnection_DownloadProgress(bytes);
        };
        auto shown = [&](qint64 bytes) {
            return verb + QStringLiteral(" big.iso (%1 bytes)").arg(bytes);
        };

        report(100);
        QCOMPARE(window.statusText(), shown(100));
        QCOMPARE(window.progressValue(), 1.0);
        for (qint64 bytes = 101; bytes <= 5000; ++bytes)
            report(bytes);
        QTRY_COMPARE(window.statusText(), shown(5000));
        QCOMPARE(window.progressValue(), 50.0);
        QVERIFY(!window.transferProgressPending());

        for (qint64 bytes = 5001; bytes <= 6000; ++bytes)
            report(bytes);
        if (ending >= 0) {
            window.m_FtpConnection_StateChanged(ending);
            QCOMPARE(window.statusText(), QStringLiteral("Transfer completed."));
        } else {
            window.ResetTransferDisplay();
            QCOMPARE(window.statusText(), QString());
        }
        QVERIFY(!window.transferProgressPending());

        // The next transfer's first report shows at once.
        window.m_lTransferFileSize = 10000;
        report(9000);
        QCOMPARE(window.statusText(), shown(9000));
        QCOMPARE(window.progressValue(), 90.0);
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
};

QTEST_MAIN(tst_frmMain)
#include "tst_frmMain.moc"
