// The main window's commands against the scripted server: the failure paths
// (lost connection, time-out, Stop during a transfer, refusals, busy) and the
// exact conversation each command holds.

#include "FakeFtpServer.h"
#include "MainWindowDriver.h"
#include "ServerAddress.h"
#include "TestUtil.h"

#include "frmWelcomeMessage.h"
#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString CrLf = QStringLiteral("\r\n");

QString line(const char* text) {
    return QString::fromLatin1(text);
}

QByteArray listingOf(const QStringList& lines) {
    return (lines.join(CrLf) + CrLf).toUtf8();
}

const QByteArray RootListing = listingOf({
    line("drwxr-xr-x 2 ftp ftp 0 Jan 01 2024 pub"),
    line("-rw-r--r-- 1 ftp ftp 1234567 Jan 01 2024 big.bin"),
});
const QByteArray PubListing = listingOf({line("-rw-r--r-- 1 ftp ftp 5 Jan 01 2024 a.bin")});

// Log-in, the root listing and a click on pub, all in passive mode.
void scriptToPub(FakeFtpServer& server) {
    server.expectLogin()
        .expect("PASV")
        .passive()
        .expect("LIST")
        .reply("150 Here")
        .dataSend(RootListing)
        .dataClose()
        .reply("226 Done")
        .expect("CWD /pub")
        .reply("250 OK")
        .expect("PASV")
        .passive()
        .expect("LIST")
        .reply("150 Here")
        .dataSend(PubListing)
        .dataClose()
        .reply("226 Done");
}

// The download of /pub/a.bin on that connection.
void expectRetr(FakeFtpServer& server, const QByteArray& bytes) {
    server.expect("TYPE I")
        .reply("200 Type set")
        .expect("PASV")
        .passive()
        .expect("RETR /pub/a.bin")
        .reply("150 Sending")
        .dataSend(bytes)
        .dataClose()
        .reply("226 Done");
}

} // namespace

class tst_commands : public QObject {
    Q_OBJECT

    QTemporaryDir m_Settings;
    QTemporaryDir m_Local;

    QString hostOf(const FakeFtpServer& server) const {
        return server.host() + QLatin1Char(':') + QString::number(server.port());
    }
    // A window connected to the scripted server and showing /pub.
    void openPub(MainWindowDriver& ui, FakeFtpServer& server) {
        scriptToPub(server);
        ui.setPassive(true);
        ui.connectTo(hostOf(server));
        ui.clickNode(QStringLiteral("/pub/"));
        QCOMPARE(ui.listNames(), QStringList{QStringLiteral("a.bin")});
        QVERIFY(ui.selectItem(QStringLiteral("a.bin")));
        QCOMPARE(ui.takeQuestions().size(), 1); // the connect dialog
    }

private slots:
    void initTestCase() {
        isolateWindowState(m_Settings.path());
        QVERIFY(m_Local.isValid());
    }

    // ----------------------------------------------------- pure helpers

    void serverAddress_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("plain host") << "ftp.example.org" << true << "ftp.example.org" << 21;
        QTest::newRow("host and port") << "127.0.0.1:2121" << true << "127.0.0.1" << 2121;
        QTest::newRow("bracketed v6 with port") << "[::1]:2121" << true << "::1" << 2121;
        QTest::newRow("bracketed v6") << "[::1]" << true << "::1" << 21;
        QTest::newRow("bare v6 is no port") << "::1" << true << "::1" << 21;
        QTest::newRow("scheme stays") << "ftp://host" << true << "ftp://host" << 21;
        QTest::newRow("port zero") << "host:0" << false << "" << 0;
        QTest::newRow("port too big") << "host:65536" << false << "" << 0;
        QTest::newRow("port many digits") << "host:0000000021" << false << "" << 0;
        QTest::newRow("unclosed bracket") << "[::1:21" << false << "" << 0;
        QTest::newRow("junk after bracket") << "[::1]x" << false << "" << 0;
    }
    void serverAddress() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(QString, host);
        QFETCH(int, port);
        QString gotHost;
        quint16 gotPort = 0;
        QString error;
        QCOMPARE(ServerAddress::parse(text, gotHost, gotPort, error), valid);
        if (valid) {
            QCOMPARE(gotHost, host);
            QCOMPARE(int(gotPort), port);
            QVERIFY(error.isEmpty());
        } else {
            QVERIFY(!error.isEmpty());
        }
    }

    void sizeTexts_data() {
        QTest::addColumn<qint64>("size");
        QTest::newRow("zero") << qint64(0);
        QTest::newRow("three digits") << qint64(999);
        QTest::newRow("seven digits") << qint64(1234567);
        QTest::newRow("beyond 32 bits") << qint64(5000000000);
    }
    void sizeTexts() {
        QFETCH(qint64, size);
        const QString text = frmMain::FormatFileSize(size);
        const int digits = QString::number(size).size();
        // "###,##0": a separator between every group of three digits.
        QCOMPARE(text.size(), digits + (digits - 1) / 3);
        QCOMPARE(frmMain::ParseFileSize(text), size);
    }

    // ------------------------------------------------- session workflow

    void nestedInitialDirectoryAndWelcome() {
        FakeFtpServer server;
        server.expect("USER anonymous")
            .reply("331 Password required")
            .expect("PASS *")
            .reply("230-Hello from the fake\n230 Logged in")
            .expect("PWD")
            .reply("257 \"/pub/incoming\" is current")
            .expect("PORT *")
            .reply("200 PORT ok")
            .expect("LIST")
            .reply("150 Here")
            .dataConnect()
            .dataSend(listingOf({line("drwxr-xr-x 2 ftp ftp 0 Jan 01 2024 new")}))
            .dataClose()
            .reply("226 Done");
        MainWindowDriver ui;
        ui.setPassive(false);
        ui.connectTo(hostOf(server));
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
        QCOMPARE(ui.childKeys(QStringLiteral("/")), QStringList{QStringLiteral("/pub/")});
        QCOMPARE(ui.childKeys(QStringLiteral("/pub/")),
                 QStringList{QStringLiteral("/pub/incoming/")});
        QCOMPARE(ui.childKeys(QStringLiteral("/pub/incoming/")),
                 QStringList{QStringLiteral("/pub/incoming/new/")});
        QCOMPARE(ui.selectedKey(), QStringLiteral("/pub/incoming/"));
        QVERIFY(ui.selectedNode()->isExpanded());
        QCOMPARE(ui.listNames(), QStringList{QStringLiteral("new")});
        QCOMPARE(ui.window.lvListView->icon(0), 3);
        // The port is shown: it is not the default one.
        QCOMPARE(ui.window.Label1->text(),
                 QStringLiteral("127.0.0.1:%1/pub/incoming").arg(server.port()));
        // The welcome window is open beside the tree.
        const auto windows = ui.window.findChildren<frmWelcomeMessage*>();
        QCOMPARE(windows.size(), 1);
        QCOMPARE(windows.first()->windowTitle(), QStringLiteral("Welcome message from 127.0.0.1"));
    }

    void failedConnectAndCancelledDialog() {
        FakeFtpServer server;
        scriptToPub(server);
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.connectTo(hostOf(server));
        ui.takeQuestions();
        // Cancel keeps the session and its views.
        ui.prompts.dialogs <<
            [](QDialog& dialog) { static_cast<frmConnect&>(dialog).cmdCancel_Click(); };
        ui.window.ConnectToServer();
        QCOMPARE(ui.selectedKey(), QStringLiteral("/"));
        QVERIFY(ui.listNames().contains(QStringLiteral("pub")));
        // A server that refuses the log-in: views emptied, the reason shown.
        FakeFtpServer refusing;
        refusing.expect("USER anonymous")
            .reply("331 Password required")
            .expect("PASS *")
            .reply("530 Not logged in.");
        ui.connectTo(hostOf(refusing));
        QCOMPARE(ui.window.tvTreeView->topLevelItemCount(), 0);
        QVERIFY(ui.listNames().isEmpty());
        QCOMPARE(ui.prompts.asked.last().title, QStringLiteral("FTP Client"));
        QCOMPARE(ui.prompts.asked.last().text,
                 ui.engine()->GetFtpErrorDescription(ui.engine()->FtpGetLastError()));
        // A port that cannot be: the dialog refuses it, nothing is sent.
        ui.takeQuestions();
        ui.connectTo(QStringLiteral("127.0.0.1:99999"));
        const QStringList asked = ui.takeQuestions();
        QCOMPARE(asked.size(), 2);
        QVERIFY(asked[1].startsWith(QStringLiteral("Invalid URL|The port number 99999")));
    }

    // ------------------------------------------------------ download

    // A single download runs on the queue's own connection: it logs in
    // beside the session and fetches the file by its full path. When that
    // connection drops between the steps, the queue logs in again and
    // fetches the file anew; nobody is asked.
    void lostConnectionReconnects() {
        FakeFtpServer server;
        MainWindowDriver ui;
        openPub(ui, server);
        server.expectLoginBeside();
        server.expect("TYPE I").run([](FakeFtpServer& s) { s.dropControl(); });
        server.expectLogin();
        expectRetr(server, "hello");
        const QString local = m_Local.filePath(QStringLiteral("lost.bin"));
        ui.prompts.texts << local;
        ui.window.tbToolBar_ButtonClick(QStringLiteral("Download"));
        QVERIFY(ui.transfersDone());
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
        QCOMPARE(ui.takeQuestions(),
                 QStringList{QStringLiteral("Download file and save as...|Download file and save "
                                            "as...")});
        QCOMPARE(server.controlConnectionCount(), 3);
        QCOMPARE(TestUtil::readFile(local), QByteArray("hello"));
        QCOMPARE(ui.window.statusText(), QStringLiteral("Transfer completed."));
    }

    // The session was lost while the list showed: the download does not
    // need it, and arrives through the queue's connection.
    void lostConnectionDeclined() {
        FakeFtpServer server;
        MainWindowDriver ui;
        openPub(ui, server);
        ui.engine()->BreakeConnection();
        server.expectLoginBeside();
        expectRetr(server, "hello");
        const QString local = m_Local.filePath(QStringLiteral("declined.bin"));
        ui.prompts.texts << local;
        ui.window.mnuDownload_Click();
        QVERIFY(ui.transfersDone());
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
        QCOMPARE(ui.takeQuestions().size(), 1);
        QCOMPARE(TestUtil::readFile(local), QByteArray("hello"));
        QCOMPARE(server.controlConnectionCount(), 2);
    }

    // A server that stops answering: the queue's connection gives up after
    // the time-out and the queue tries again on a new one, unasked.
    void timeoutRetries() {
        FakeFtpServer server;
        MainWindowDriver ui;
        openPub(ui, server);
        ui.engine()->setTimeout(1);
        server.expectLoginBeside();
        server.expect("TYPE I")
            .reply("200 Type set")
            .expect("PASV")
            .passive()
            .expect("RETR /pub/a.bin"); // never answered
        server.expectLogin();
        expectRetr(server, "again");
        const QString local = m_Local.filePath(QStringLiteral("retry.bin"));
        ui.prompts.texts << local;
        ui.window.mnuDownload_Click();
        QVERIFY(ui.transfersDone());
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
        QCOMPARE(ui.takeQuestions().size(), 1);
        QCOMPARE(server.controlConnectionCount(), 3);
        QCOMPARE(TestUtil::readFile(local), QByteArray("again"));
    }

    // While the data flows on the queue's connection, the session is free:
    // its commands stay enabled. Stop stops the file at once, asks
    // nothing, and the status says so; the session stays.
    void busyDuringDownload() {
        QFETCH(bool, stop);
        FakeFtpServer server;
        MainWindowDriver ui;
        openPub(ui, server);
        server.expectLoginBeside();
        server.expect("TYPE I")
            .reply("200 Type set")
            .expect("PASV")
            .passive()
            .expect("RETR /pub/a.bin")
            .reply("150 Sending")
            .dataSend("he");
        if (stop)
            server.expect("ABOR").reply("225 Abort done");
        else
            server.pause(300).dataSend("llo").dataClose().reply("226 Done");

        bool once = false;
        QStringList enabled;
        QObject::connect(ui.window.transfers(), &WindowTransfers::fileProgress, &ui.window,
                         [&](const QueueItem& item) {
                             if (once || item.bytesDone == 0)
                                 return;
                             once = true;
                             ui.window.mnuFile_Click();
                             for (QAction* item :
                                  {ui.window.mnuDownload, ui.window.mnuUpload, ui.window.mnuDelete,
                                   ui.window.mnuStop,
                                   ui.window.toolbarButton(QStringLiteral("Download")),
                                   ui.window.toolbarButton(QStringLiteral("Refresh")),
                                   ui.window.toolbarButton(QStringLiteral("Stop"))})
                                 if (item->isEnabled())
                                     enabled << item->text().section(QLatin1Char('\t'), 0, 0);
                             if (stop)
                                 ui.window.tbToolBar_ButtonClick(QStringLiteral("Stop"));
                         });
        const QString local = m_Local.filePath(QStringLiteral("busy.bin"));
        QFile::remove(local);
        ui.prompts.texts << local;
        ui.window.setProgressInterval(0);
        ui.window.mnuDownload_Click();
        QVERIFY(ui.transfersDone());
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
        QVERIFY(once);
        QCOMPARE(enabled.size(), 7);
        QCOMPARE(ui.takeQuestions().size(), 1); // the save dialog only
        if (stop) {
            QCOMPARE(ui.window.statusText(), QStringLiteral("Download of a.bin cancelled."));
            QCOMPARE(ui.window.ProgressBar1->value(), 0);
            QVERIFY(server.commands().contains(QStringLiteral("ABOR")));
            QCOMPARE(ui.queueRows(QueueModel::Failed),
                     QStringList{QStringLiteral("Download|/pub/a.bin|Failed: Stopped.")});
        } else {
            QCOMPARE(TestUtil::readFile(local), QByteArray("hello"));
            QCOMPARE(server.controlConnectionCount(), 2);
        }
        QCOMPARE(ui.window.sessionView(), frmMain::SessionView::Connected);
        ui.window.mnuFile_Click();
        QVERIFY(ui.window.mnuDownload->isEnabled());
    }
    void busyDuringDownload_data() {
        QTest::addColumn<bool>("stop");
        QTest::newRow("stop") << true;
        QTest::newRow("commands stay enabled") << false;
    }

    // ---------------------------------------------- refusals and faults

    void refusalsShowTheServersReply() {
        FakeFtpServer server;
        MainWindowDriver ui;
        openPub(ui, server);
        server.expect("MKD new")
            .reply("550 Permission denied.")
            .expect("DELE /pub/a.bin")
            .reply("550 No such file.")
            .expect("RNFR a.bin")
            .reply("350 Ready")
            .expect("RNTO b.bin")
            .reply("553 Not allowed.");
        ui.prompts.texts << QStringLiteral("new");
        ui.window.tbToolBar_ButtonClick(QStringLiteral("CreateDirectory"));
        ui.prompts.answers << Prompts::Yes << Prompts::Ok;
        ui.window.tbToolBar_ButtonClick(QStringLiteral("Delete"));
        ui.prompts.texts << QStringLiteral("b.bin");
        ui.prompts.answers << Prompts::Ok;
        ui.window.mnuRename_Click();
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
        const QStringList asked = ui.takeQuestions();
        QCOMPARE(asked,
                 (QStringList{
                     QStringLiteral("Create new directory|Enter directory name, please."),
                     QStringLiteral("Can't create directory|Can't create new directory.") + CrLf +
                         CrLf + QStringLiteral("Server response: 550 Permission denied."),
                     QStringLiteral("Delete file|Do you really want to delete file /pub/a.bin?"),
                     QStringLiteral("Can't delete file|Can't delete file.") + CrLf + CrLf +
                         QStringLiteral("Server response: 550 No such file."),
                     QStringLiteral("Rename File|Enter new file name for a.bin"),
                     QStringLiteral("Can't rename file|Can't rename file.") + CrLf + CrLf +
                         QStringLiteral("Server response: 553 Not allowed."),
                 }));
        // The list stays as it was after refusals.
        QCOMPARE(ui.listNames(), QStringList{QStringLiteral("a.bin")});
    }

    void failedListingShowsTheError() {
        FakeFtpServer server;
        server.expectLogin().expect("PASV").passive().expect("LIST").reply("550 Can't list here.");
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.connectTo(hostOf(server));
        const qint32 n = ui.engine()->FtpGetLastError();
        QVERIFY(n != 0);
        const QStringList asked = ui.takeQuestions();
        QCOMPARE(asked.size(), 2);
        // The server's own reply says why.
        QCOMPARE(asked[1], QStringLiteral("|Error #") + QString::number(n) + CrLf + CrLf +
                               ui.engine()->GetFtpErrorDescription(n) + CrLf + CrLf +
                               QStringLiteral("Server response: 550 Can't list here."));
        QVERIFY(ui.listNames().isEmpty());
        QVERIFY(ui.selectedNode()->isExpanded());
    }

    // Missing selections and an unreadable local file: a clear notice, and
    // nothing reaches the server.
    void noSelectionAndBadLocalFile() {
        FakeFtpServer server;
        MainWindowDriver ui;
        openPub(ui, server);
        ui.window.lvListView->clear();
        ui.window.mnuDelete_Click();
        ui.window.mnuRename_Click();
        ui.window.mnuDownload_Click();
        ui.prompts.texts << m_Local.filePath(QStringLiteral("does not exist.bin"));
        ui.window.tbToolBar_ButtonClick(QStringLiteral("Upload"));
        const QStringList asked = ui.takeQuestions();
        QCOMPARE(asked.size(), 4);
        QCOMPARE(asked[0], QStringLiteral("Delete file or directory|Select file or directory to "
                                          "delete, please."));
        QCOMPARE(asked[1], QStringLiteral("Rename File|Select file to rename, please."));
        QCOMPARE(asked[2], QStringLiteral("Select file to upload|Select file to upload"));
        QVERIFY2(
            asked[3].startsWith(QStringLiteral("|Error occured!") + CrLf + QStringLiteral("#53: ")),
            qPrintable(asked[3]));
        QVERIFY(!server.commands().contains(QStringLiteral("STOR does not exist.bin")));
        // AUTH TLS, the log-in with FEAT, and the two listings only.
        QCOMPARE(server.commands().size(), 10);
    }

    // A node click on a connection the server has dropped reconnects and
    // changes directory again, at most three times in a row.
    void nodeClickReconnectIsCapped() {
        FakeFtpServer server;
        MainWindowDriver ui;
        openPub(ui, server);
        for (int i = 0; i < 4; ++i)
            server.expectLogin().run([](FakeFtpServer& s) { s.dropControl(); });
        ui.engine()->BreakeConnection();
        // Every CWD finds the connection gone again.
        QObject::connect(ui.engine(), &CFtpConnection::StateChanged, ui.engine(), [&](int state) {
            if (state == CFtpConnection::LoggedIn)
                ui.engine()->BreakeConnection();
        });
        ui.clickNode(QStringLiteral("/"));
        QCOMPARE(server.controlConnectionCount(), 4);
        // The user learns that the folder could not be opened; the session
        // is gone, and the window shows it.
        const QStringList asked = ui.takeQuestions();
        QCOMPARE(asked.size(), 1);
        QVERIFY2(
            asked[0].startsWith(QStringLiteral("Can't open directory|Can't open directory /.")),
            qPrintable(asked[0]));
        QVERIFY2(ui.shown().startsWith(QStringLiteral("Disconnected")), qPrintable(ui.shown()));
        QVERIFY(ui.listNames().isEmpty());
    }
};

QTEST_MAIN(tst_commands)
#include "tst_commands.moc"
