// The main window against the scripted server where a real server cannot be
// made to misbehave on cue: which replies open a message window, a download
// retried after a lost connection, "." and ".." in a listing, the status left
// after a cancel, a big folder filled in one step, hostile names, a
// truncated listing, and links.

#include "FakeFtpServer.h"
#include "MainWindowDriver.h"
#include "TestTls.h"
#include "TestUtil.h"

#include "frmWelcomeMessage.h"
#include <QDir>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QSettings>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString CrLf = QStringLiteral("\r\n");

QByteArray listingOf(const QStringList& lines) {
    return (lines.join(CrLf) + CrLf).toUtf8();
}

const QByteArray RootListing = listingOf({
    QStringLiteral("drwxr-xr-x 2 ftp ftp 0 Jan 01 2024 pub"),
    QStringLiteral("-rw-r--r-- 1 ftp ftp 4 Jan 01 2024 top.txt"),
});
const QByteArray PubListing =
    listingOf({QStringLiteral("-rw-r--r-- 1 ftp ftp 10 Jan 01 2024 a.bin")});

// pure-ftpd's way: a multi-line 226 after every listing.
const QString ChattyDone = QStringLiteral("226-Options: -a -l\n226 2 matches total");

void listing(FakeFtpServer& server, const QByteArray& bytes, const QString& done) {
    server.expect("PASV")
        .passive()
        .expect("LIST")
        .reply("150 Here")
        .dataSend(bytes)
        .dataClose()
        .reply(done);
}

QStringList messageWindows(const frmMain& window) {
    QStringList out;
    for (const frmWelcomeMessage* message : window.findChildren<frmWelcomeMessage*>())
        out << message->windowTitle() + QLatin1Char('|') + message->Text1->toPlainText();
    return out;
}

} // namespace

class tst_window_session : public QObject {
    Q_OBJECT

    QTemporaryDir m_Settings;
    QTemporaryDir m_Local;

    static QString hostOf(const FakeFtpServer& server) {
        return server.host() + QLatin1Char(':') + QString::number(server.port());
    }
    // Logged in, root listed, then /pub listed, in passive mode.
    static void openPub(MainWindowDriver& ui, FakeFtpServer& server) {
        server.expectLogin();
        listing(server, RootListing, QStringLiteral("226 Done"));
        server.expect("CWD /pub").reply("250 OK");
        listing(server, PubListing, QStringLiteral("226 Done"));
        ui.setPassive(true);
        ui.connectTo(hostOf(server));
        ui.clickNode(QStringLiteral("/pub/"));
        QCOMPARE(ui.listNames(), QStringList{QStringLiteral("a.bin")});
        QVERIFY(ui.selectItem(QStringLiteral("a.bin")));
        ui.takeQuestions();
    }

private slots:
    void initTestCase() {
        isolateWindowState(m_Settings.path());
        QVERIFY(m_Local.isValid());
    }

    // The welcome text after the log-in and a directory change's 250 text
    // open windows; the text of listing replies (150, 226) stays in the log.
    // A message left unread by one session never shows in the next.
    void messageWindowRules() {
        FakeFtpServer server;
        server.expect("USER anonymous")
            .reply("331 Password required")
            .expect("PASS *")
            .reply("230-Welcome to the fake.\n230 Logged in")
            .expect("PWD")
            .reply("257 \"/\" is current");
        listing(server, RootListing, ChattyDone);
        server.expect("CWD /pub").reply("250-This is pub.\n250-Be nice.\n250 OK");
        listing(server, PubListing, ChattyDone);
        server.expect("CWD /").reply("250 OK");
        listing(server, RootListing, ChattyDone);
        server.expect("QUIT").reply("221 Goodbye");
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.connectTo(hostOf(server));
        QCOMPARE(
            messageWindows(ui.window),
            QStringList{QStringLiteral("Welcome message from 127.0.0.1|Welcome to the fake.")});

        ui.clickNode(QStringLiteral("/pub/"));
        QStringList windows = messageWindows(ui.window);
        QCOMPARE(windows.size(), 2);
        QVERIFY2(windows.contains(QStringLiteral("Message from 127.0.0.1|This is pub.\nBe nice.")),
                 qPrintable(windows.join('\n')));
        ui.clickNode(QStringLiteral("/"));
        QCOMPARE(messageWindows(ui.window).size(), 2);
        QVERIFY(ui.logged(QStringLiteral("226-Options: -a -l")));
        ui.window.tbToolBar_ButtonClick(QStringLiteral("Stop"));
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));

        // The next server says nothing beyond its greeting.
        FakeFtpServer quiet;
        quiet.expectLogin();
        listing(quiet, PubListing, QStringLiteral("226 Done"));
        ui.connectTo(hostOf(quiet));
        QVERIFY2(quiet.errors().isEmpty(), qPrintable(quiet.errors().join('\n')));
        QCOMPARE(messageWindows(ui.window).size(), 2);
        QCOMPARE(ui.listNames(), QStringList{QStringLiteral("a.bin")});
    }

    // The control connection drops after half the file arrived. After the
    // reconnect the download continues from the bytes on disk (REST); only a
    // server that refuses REST sends the whole file again.
    void retryResumesFromDisk_data() {
        QTest::addColumn<bool>("restAccepted");
        QTest::newRow("REST accepted") << true;
        QTest::newRow("REST refused") << false;
    }
    void retryResumesFromDisk() {
        QFETCH(bool, restAccepted);
        FakeFtpServer server;
        MainWindowDriver ui;
        openPub(ui, server);
        ui.engine()->setTimeout(1);
        // The queue's connection: its retry logs in again, nobody is asked.
        server.expectLoginBeside()
            .expect("TYPE I")
            .reply("200 Type set")
            .expect("PASV")
            .passive()
            .expect("RETR /pub/a.bin")
            .reply("150 Sending")
            .dataSend("hello")
            .run([](FakeFtpServer& s) { s.dropControl(); });
        server.expectLogin();
        server.expect("TYPE I").reply("200 Type set").expect("PASV").passive().expect("REST 5");
        if (restAccepted) {
            server.reply("350 Restarting at 5")
                .expect("RETR /pub/a.bin")
                .reply("150 Sending")
                .dataSend("world")
                .dataClose()
                .reply("226 Done");
        } else {
            server.reply("502 Command not implemented.")
                .expect("TYPE I")
                .reply("200 Type set")
                .expect("PASV")
                .passive()
                .expect("RETR /pub/a.bin")
                .reply("150 Sending")
                .dataSend("helloworld")
                .dataClose()
                .reply("226 Done");
        }
        const QString local = m_Local.filePath(QStringLiteral("resume %1.bin").arg(restAccepted));
        ui.prompts.texts << local;
        ui.window.mnuDownload_Click();
        QVERIFY(ui.transfersDone());
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
        QVERIFY(server.scriptFinished());
        QCOMPARE(ui.takeQuestions().size(), 1); // the save dialog
        QCOMPARE(TestUtil::readFile(local), QByteArray("helloworld"));
        QCOMPARE(server.controlConnectionCount(), 3);
        QCOMPARE(ui.window.statusText(), QStringLiteral("Transfer completed."));
    }

    // "." and ".." never become tree nodes; ".." in the list goes up, and a
    // delete leaves both alone: no silent failure, no command on them.
    void dotEntries() {
        FakeFtpServer server;
        server.expect("USER anonymous")
            .reply("331 Password required")
            .expect("PASS *")
            .reply("230 Logged in")
            .expect("PWD")
            .reply("257 \"/pub\" is current");
        listing(server,
                listingOf({QStringLiteral("drwxr-xr-x 2 ftp ftp 0 Jan 01 2024 ."),
                           QStringLiteral("drwxr-xr-x 2 ftp ftp 0 Jan 01 2024 .."),
                           QStringLiteral("drwxr-xr-x 2 ftp ftp 0 Jan 01 2024 sub"),
                           QStringLiteral("-rw-r--r-- 1 ftp ftp 3 Jan 01 2024 f.txt")}),
                QStringLiteral("226 Done"));
        server.expect("CWD /").reply("250 OK");
        listing(server, RootListing, QStringLiteral("226 Done"));
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.connectTo(hostOf(server));
        ui.takeQuestions();
        QCOMPARE(ui.childKeys(QStringLiteral("/pub/")), QStringList{QStringLiteral("/pub/sub/")});
        // The listing parser leaves them out; a listing shown some other way
        // may still hold them, as here.
        QCOMPARE(ui.listNames().size(), 2);
        for (const char* dots : {".", ".."}) {
            FileListView::Item item;
            item.name = QLatin1String(dots);
            item.icon = 3;
            QVERIFY(ui.window.lvListView->addItem(item));
        }

        // Deleting "." and ".." asks nothing and sends nothing.
        QVERIFY(ui.selectItem(QStringLiteral(".")));
        QVERIFY(ui.window.lvListView->selectKey(QStringLiteral("F.."), true));
        ui.window.mnuDelete_Click();
        QCOMPARE(ui.takeQuestions(),
                 QStringList{QStringLiteral(
                     "Delete file or directory|Select file or directory to delete, please.")});

        QVERIFY(ui.selectItem(QStringLiteral("..")));
        ui.window.OpenSelected();
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
        QCOMPARE(ui.window.listedKey(), QStringLiteral("/"));
        QCOMPARE(ui.selectedKey(), QStringLiteral("/"));
        QVERIFY(ui.prompts.asked.isEmpty());
    }

    // Stop during a download: no question, no error box; the status and the
    // bar tell the truth instead of the last figures.
    void statusAfterCancel() {
        FakeFtpServer server;
        MainWindowDriver ui;
        openPub(ui, server);
        server.expectLoginBeside()
            .expect("TYPE I")
            .reply("200 Type set")
            .expect("PASV")
            .passive()
            .expect("RETR /pub/a.bin")
            .reply("150 Sending")
            .dataSend("he")
            .expect("ABOR")
            .reply("225 Abort done");
        ui.window.setProgressInterval(0);
        bool stopped = false;
        QObject::connect(ui.window.transfers(), &WindowTransfers::fileProgress, &ui.window,
                         [&](const QueueItem& item) {
                             if (stopped || item.bytesDone == 0)
                                 return;
                             stopped = true;
                             QVERIFY(ui.window.statusText().contains(QStringLiteral("(20 %)")));
                             ui.window.tbToolBar_ButtonClick(QStringLiteral("Stop"));
                         });
        ui.prompts.texts << m_Local.filePath(QStringLiteral("cancelled.bin"));
        ui.window.mnuDownload_Click();
        QVERIFY(ui.transfersDone());
        QVERIFY(stopped);
        QCOMPARE(ui.window.statusText(), QStringLiteral("Download of a.bin cancelled."));
        QCOMPARE(ui.window.ProgressBar1->value(), 0);
        QVERIFY(ui.prompts.asked.size() == 1); // the save dialog
    }

    // Every way a session ends leaves the window showing no session: the
    // status says so (or what was stopped), the title pane has no host and
    // no padlock, tree and list are empty, and only Connect is offered.
    void windowStateExits_data() {
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("boxes"); // message boxes after the dialog
        QTest::newRow("refused") << 0 << "Disconnected: Connection refused" << 1;
        QTest::newRow("log-in refused") << 1 << "Disconnected: " << 1;
        QTest::newRow("time-out") << 2 << "Disconnected: " << 1;
        QTest::newRow("certificate refused") << 3 << "Disconnected: " << 2;
        QTest::newRow("TLS refused") << 4 << "Disconnected: " << 1;
        QTest::newRow("broken, No") << 5 << "Disconnected: the connection was lost." << 2;
        QTest::newRow("Stop while connecting") << 6 << "Stopped: connecting to 127.0.0.1:" << 0;
    }
    void windowStateExits() {
        QFETCH(int, exit);
        QFETCH(QString, status);
        QFETCH(int, boxes);
        if (exit == 3 && !QSslSocket::supportsSsl())
            QSKIP("Qt has no TLS backend here");
        FakeFtpServer server;
        MainWindowDriver ui;
        ui.setPassive(true);
        QString host = hostOf(server);
        if (exit == 0) {
            // A port nothing listens on any more.
            QTcpServer gone;
            QVERIFY(gone.listen(QHostAddress::LocalHost));
            host = QStringLiteral("127.0.0.1:%1").arg(gone.serverPort());
        } else if (exit == 1) {
            server.expect("USER anonymous").reply("331 Password").expect("PASS *").reply("530 No");
        } else if (exit == 2) {
            server.expect("USER anonymous").stall();
            ui.engine()->setTimeout(1);
        } else if (exit == 3) {
            server.expectAuthTls();
            ui.prompts.answers << Prompts::Cancel;
        } else if (exit == 4) {
            ui.encryption = FtpSecurity::Mode::ExplicitRequired;
        } else if (exit == 5) {
            openPub(ui, server);
            // Downloads no longer need the session: a folder made on it
            // finds it broken.
            ui.engine()->BreakeConnection();
            ui.prompts.texts << QStringLiteral("new");
            ui.window.mnuCreateDir_Click();
        } else if (exit == 6) {
            server.setGreeting(QString());
            QObject::connect(ui.engine(), &CFtpConnection::StateChanged, &ui.window, [&](int s) {
                if (s == CFtpConnection::Connected)
                    ui.window.tbToolBar_ButtonClick(QStringLiteral("Stop"));
            });
        }
        if (exit != 5) {
            ui.connectTo(host);
            ui.prompts.asked.removeFirst(); // the dialog
        }
        QCOMPARE(ui.takeQuestions().size(), boxes);
        QVERIFY2(ui.shown().startsWith(status), qPrintable(ui.shown()));
        QVERIFY2(ui.shown().endsWith(QStringLiteral("||nodes 0|rows 0")), qPrintable(ui.shown()));
        QCOMPARE(ui.window.sessionView(), frmMain::SessionView::Disconnected);
        for (const frmMain::Command& row : frmMain::commands())
            QCOMPARE(ui.window.commandEnabled(row),
                     row.needs == frmMain::Free || row.needs == frmMain::Idle);
        // F5 answers with nothing at all, let alone an old reply.
        const int sent = server.commands().size();
        QTest::keyClick(&ui.window, Qt::Key_F5);
        QCOMPARE(server.commands().size(), sent);
        QVERIFY(ui.prompts.asked.isEmpty());
    }

    // While a listing runs every way into a command is closed but Stop's:
    // keys, a double-click, a node click, context menus, the toolbar. Nothing
    // reaches the server and nothing in the panes changes.
    void busyRefusesEveryWayIn() {
        FakeFtpServer server;
        server.expectLogin();
        listing(server, RootListing, QStringLiteral("226 Done"));
        MainWindowDriver ui;
        ui.setPassive(true);
        int checks = 0;
        QObject::connect(ui.engine(), &CFtpConnection::ListingDataArrived, &ui.window, [&] {
            if (checks++)
                return;
            ui.takeQuestions();
            QTest::keyClick(ui.window.lvListView->detailsView(), Qt::Key_F5);
            QTest::keyClick(ui.window.tvTreeView, Qt::Key_Delete);
            ui.window.lvListView_DblClick();
            ui.clickNode(QStringLiteral("/"));
            ui.window.tbToolBar_ButtonClick(QStringLiteral("Connect"));
            for (frmMain::Place place : {frmMain::InList, frmMain::InTree}) {
                QMenu* menu = ui.window.contextMenu(place);
                for (const QAction* action : menu->actions())
                    QVERIFY2(action->isSeparator() || !action->isEnabled(),
                             qPrintable(action->text()));
                delete menu;
            }
            QVERIFY(ui.window.toolbarButton(QStringLiteral("Stop"))->isEnabled());
            QVERIFY(!ui.window.toolbarButton(QStringLiteral("Refresh"))->isEnabled());
            QVERIFY(ui.prompts.asked.isEmpty());
        });
        ui.connectTo(hostOf(server));
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
        QCOMPARE(checks > 0, true);
        QCOMPARE(ui.childKeys(QStringLiteral("/")), QStringList{QStringLiteral("/pub/")});
        QVERIFY(ui.window.toolbarButton(QStringLiteral("Refresh"))->isEnabled());

        // A refresh that fails keeps the folder's nodes and its list.
        server.expect("PASV").passive().expect("LIST").reply("550 Not now");
        ui.prompts.answers << Prompts::Ok;
        ui.window.tbToolBar_ButtonClick(QStringLiteral("Refresh"));
        QCOMPARE(ui.childKeys(QStringLiteral("/")), QStringList{QStringLiteral("/pub/")});
        QCOMPARE(ui.listNames().size(), 2);
        QCOMPARE(ui.window.sessionView(), frmMain::SessionView::Connected);
    }

    // A folder of 20,000 files and 500 folders fills in one step: every
    // entry listed once, every folder a node found by its key, sorting by
    // size orders by number; leaving the folder empties the list.
    void bigFolder() {
        QStringList lines;
        for (int i = 0; i < 500; ++i)
            lines << QStringLiteral("drwxr-xr-x 2 ftp ftp 0 Jan 01 2024 dir%1").arg(i);
        for (int i = 0; i < 20000; ++i)
            lines << QStringLiteral("-rw-r--r-- 1 ftp ftp %1 Mar 03 2023 file%2.dat")
                         .arg((i * 7919) % 100003)
                         .arg(i);
        lines << QStringLiteral("-rw-r--r-- 1 ftp ftp 1 Mar 03 2023 file7.dat"); // twice
        FakeFtpServer server;
        server.expectLogin();
        listing(server, listingOf(lines), QStringLiteral("226 Done"));
        server.expect("CWD /dir7").reply("250 OK");
        listing(server, QByteArray(), QStringLiteral("226 Done"));
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.connectTo(hostOf(server));
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
        QCOMPARE(ui.window.lvListView->count(), 20500);
        QCOMPARE(ui.childKeys(QStringLiteral("/")).size(), 500);
        QVERIFY(ui.window.findNode(QStringLiteral("/dir499/")));
        QCOMPARE(ui.window.nodes().size(), 501);

        ui.window.lvListView->ColumnClick(FileListView::FileSize);
        FileListView* list = ui.window.lvListView;
        for (int row = 1; row < list->count(); row += 97)
            QVERIFY(list->size(row - 1) <= list->size(row));
        ui.window.lvListView->ColumnClick(FileListView::FileSize);
        QCOMPARE(list->size(0), qint64(100001)); // the largest (i * 7919) % 100003 below 20000

        ui.clickNode(QStringLiteral("/dir7/"));
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
        QCOMPARE(list->count(), 0);
        QCOMPARE(ui.window.listedKey(), QStringLiteral("/dir7/"));
    }

    // A listing's names never write outside the chosen folder: "../../x" is
    // skipped and named, ok.txt arrives. The listing's 226 said it was cut
    // short, which the status bar and log say instead of "completed".
    void hostileNamesAndTruncation() {
        QTemporaryDir local;
        QVERIFY(QDir(local.path()).mkpath("a/b"));
        FakeFtpServer server;
        server.expectLogin();
        listing(server,
                listingOf({"-rw-r--r-- 1 ftp ftp 4 Jan 01 2024 ../../x",
                           "-rw-r--r-- 1 ftp ftp 4 Jan 01 2024 ok.txt"}),
                "226-Output truncated to 2 matches\n226 2 matches total");
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.connectTo(hostOf(server));
        const QString warning(
            "Directory listing incomplete. Server: Output truncated to 2 matches");
        QCOMPARE(ui.window.statusText(), warning);
        QVERIFY(ui.logged(warning));
        ui.window.Option1[1]->setChecked(true);
        for (const QString& name : ui.listNames())
            QVERIFY(ui.window.lvListView->selectKey("F" + name, true));
        ui.takeQuestions();
        // The safe name is queued into the chosen folder, where a copy is
        // already: the queue asks before it connects, and Skip leaves it.
        QVERIFY(TestUtil::writeFile(local.filePath("a/b/ok.txt"), "okok"));
        ui.prompts.texts << local.filePath("a/b");
        ui.prompts.choices << 2;
        ui.window.mnuDownload_Click();
        QVERIFY(ui.queueIdle());
        const QStringList asked = ui.takeQuestions();
        QCOMPARE(asked.filter("\"../../x\" is not a safe local file name").size(), 1);
        QCOMPARE(asked
                     .filter("File already exists|" +
                             QDir::toNativeSeparators(local.filePath("a/b/ok.txt")))
                     .size(),
                 1);
        QCOMPARE(QDir(local.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(ui.queueRows(QueueModel::Done).size(), 1);
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
    }

    // "docs -> ../pub/doc" in /sub opens /pub/doc, where PWD then puts
    // Delete. A link listed as a file ("data.d") is tried as a folder first:
    // opened when CWD takes it, else downloaded, whose refusal box carries
    // the server's words.
    void links_data() {
        QTest::addColumn<QString>("link");
        QTest::newRow("relative link to a folder") << "docs -> ../pub/doc";
        QTest::newRow("link like a file, a folder") << "data.d -> /srv/data.d";
        QTest::newRow("link like a file, a file") << "data.d -> /srv/file.d";
    }
    void links() {
        QFETCH(QString, link);
        const QString name = link.section(' ', 0, 0);
        const QString target = link.section(' ', 2);
        FakeFtpServer server;
        server.expectLogin();
        listing(server, listingOf({"drwxr-xr-x 2 u g 0 Jan 01 2024 sub"}), "226 Done");
        server.expect("CWD /sub").reply("250 OK");
        listing(server, listingOf({"lrwxrwxrwx 1 u g 9 Jan 01 2024 " + link}), "226 Done");
        const bool folder = !target.endsWith("file.d");
        const QString where = name == "docs" ? "/pub/doc" : target;
        server.expect("CWD " + (name == "docs" ? where : "/sub/" + name));
        if (folder) {
            server.reply("250 OK").expect("PWD").reply("257 \"" + where + "\"");
            listing(server, listingOf({"-rw-r--r-- 1 u g 1 Jan 01 2024 f.txt"}), "226 Done");
            server.expect("DELE " + where + "/f.txt").reply("250 Deleted");
            listing(server, QByteArray(), "226 Done");
        } else {
            server.reply("550 Not a directory").expectLoginBeside();
            server.expect("TYPE I").reply("200 Type set");
            server.expect("PASV").passive().expect("RETR /sub/data.d").reply("550 Not plain here");
        }
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.connectTo(hostOf(server));
        ui.window.Option1[1]->setChecked(true);
        ui.clickNode("/sub/");
        QTemporaryDir local;
        ui.prompts.texts << local.filePath("saved");
        if (name == "docs") {
            ui.clickNode("/sub/docs/");
        } else {
            QVERIFY(ui.selectItem(name));
            ui.window.lvListView_DblClick();
            QVERIFY(ui.transfersDone());
        }
        QStringList asked = ui.takeQuestions();
        if (folder) {
            QCOMPARE(ui.listNames(), QStringList{"f.txt"});
            QVERIFY(ui.selectItem("f.txt"));
            ui.prompts.answers << Prompts::Yes;
            ui.window.mnuDelete_Click();
            asked = ui.takeQuestions();
            QCOMPARE(asked.value(0),
                     "Delete file|Do you really want to delete file " + where + "/f.txt?");
        } else {
            QVERIFY2(asked.last().contains("Server response: 550 Not plain here"),
                     qPrintable(asked.join('\n')));
        }
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
        QVERIFY(server.scriptFinished());
    }
};

QTEST_MAIN(tst_window_session)
#include "tst_window_session.moc"
