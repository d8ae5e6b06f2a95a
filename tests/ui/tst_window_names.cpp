// What a server's listing may not do to the window: name a file that lands
// outside the folder the user chose, or pass a listing it cut short as
// complete.

#include "FakeFtpServer.h"
#include "MainWindowDriver.h"
#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray listingOf(const QStringList& lines) {
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

void listing(FakeFtpServer& server, const QByteArray& bytes, const QString& done) {
    server.expect("PASV")
        .passive()
        .expect("LIST")
        .reply("150 Here")
        .dataSend(bytes)
        .dataClose()
        .reply(done);
}

QString hostOf(const FakeFtpServer& server) {
    return server.host() + QLatin1Char(':') + QString::number(server.port());
}

} // namespace

class tst_window_names : public QObject {
    Q_OBJECT

    QTemporaryDir m_Settings;

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_Settings.path());
    }

    // "../../x" beside "ok.txt", both selected and downloaded into a/b:
    // ok.txt arrives, nothing is written outside a/b, and the user is told
    // which name was skipped.
    void severalFilesStayInTheFolder() {
        QTemporaryDir local;
        QVERIFY(QDir(local.path()).mkpath(QStringLiteral("a/b")));
        const QString folder = local.filePath(QStringLiteral("a/b"));
        FakeFtpServer server;
        server.expectLogin();
        listing(server,
                listingOf({QStringLiteral("-rw-r--r-- 1 ftp ftp 4 Jan 01 2024 ../../x"),
                           QStringLiteral("-rw-r--r-- 1 ftp ftp 4 Jan 01 2024 ok.txt")}),
                QStringLiteral("226 Done"));
        server.expect("TYPE I")
            .reply("200 Type set")
            .expect("PASV")
            .passive()
            .expect("RETR ok.txt")
            .reply("150 Opening")
            .dataSend("okok")
            .dataClose()
            .reply("226 Done");
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.connectTo(hostOf(server));
        QCOMPARE(ui.listNames().size(), 2);
        ui.takeQuestions();
        ui.window.Option1[1]->setChecked(true);
        for (const QString& name : ui.listNames())
            QVERIFY(ui.window.lvListView->selectKey(QStringLiteral("F") + name, true));
        ui.prompts.answers << Prompts::Ok;
        ui.prompts.texts << folder;
        ui.window.mnuDownload_Click();

        QCOMPARE(TestUtil::readFile(folder + QStringLiteral("/ok.txt")), QByteArray("okok"));
        QVERIFY(!QFile::exists(local.filePath(QStringLiteral("x"))));
        QCOMPARE(QDir(local.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        const QStringList asked = ui.takeQuestions();
        QVERIFY2(asked.filter(QStringLiteral("\"../../x\" is not a safe local file name")).size() ==
                     1,
                 qPrintable(asked.join('\n')));
        QVERIFY(ui.window.logText().contains(QStringLiteral("\"../../x\" is not a safe")));
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
    }

    // pure-ftpd's way of saying it stopped early: the status bar and the log
    // warn with the server's words instead of "Directory listing completed."
    void truncatedListingWarns_data() {
        QTest::addColumn<QString>("done");
        QTest::addColumn<QString>("status");
        QTest::newRow("pure-ftpd truncated")
            << "226-Output truncated to 1 matches\n226 1 matches total"
            << "Directory listing incomplete. Server: Output truncated to 1 matches";
        QTest::newRow("complete") << "226-Options: -a -l\n226 1 matches total"
                                  << "Directory listing completed.";
    }
    void truncatedListingWarns() {
        QFETCH(QString, done);
        QFETCH(QString, status);
        FakeFtpServer server;
        server.expectLogin();
        listing(server, listingOf({QStringLiteral("-rw-r--r-- 1 ftp ftp 4 Jan 01 2024 a")}), done);
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.connectTo(hostOf(server));
        QCOMPARE(ui.listNames(), QStringList{QStringLiteral("a")});
        QCOMPARE(ui.window.statusText(), status);
        QCOMPARE(ui.logged(status), status.contains(QStringLiteral("incomplete")));
    }

    // A link "docs -> ../pub/doc" in /sub opens /pub/doc, not /../pub/doc;
    // once in, the folder is where PWD says, and Delete acts there.
    void relativeLinkOpensWhereItPoints() {
        FakeFtpServer server;
        server.expectLogin();
        listing(server, listingOf({QStringLiteral("drwxr-xr-x 2 u g 0 Jan 01 2024 sub")}),
                QStringLiteral("226 Done"));
        server.expect("CWD /sub").reply("250 OK");
        listing(server,
                listingOf({QStringLiteral("lrwxrwxrwx 1 u g 10 Jan 01 2024 docs -> ../pub/doc")}),
                QStringLiteral("226 Done"));
        server.expect("CWD /pub/doc").reply("250 OK").expect("PWD").reply("257 \"/pub/doc\"");
        listing(server, listingOf({QStringLiteral("-rw-r--r-- 1 u g 1 Jan 01 2024 f.txt")}),
                QStringLiteral("226 Done"));
        server.expect("DELE /pub/doc/f.txt").reply("250 Deleted");
        listing(server, QByteArray(), QStringLiteral("226 Done"));
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.connectTo(hostOf(server));
        ui.clickNode(QStringLiteral("/sub/"));
        ui.clickNode(QStringLiteral("/sub/docs/"));
        QCOMPARE(ui.listNames(), QStringList{QStringLiteral("f.txt")});
        QVERIFY(ui.selectItem(QStringLiteral("f.txt")));
        ui.takeQuestions();
        ui.prompts.answers << Prompts::Yes;
        ui.window.mnuDelete_Click();
        QCOMPARE(ui.takeQuestions(),
                 QStringList{QStringLiteral(
                     "Delete file|Do you really want to delete file /pub/doc/f.txt?")});
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
        QVERIFY(server.scriptFinished());
    }

    // A link the list shows as a file ("data.d" looks like one) is tried as
    // a folder first: opened when CWD takes it, downloaded when refused; a
    // refused download's box carries the server's own words.
    void linkTriedAsFolderFirst_data() {
        QTest::addColumn<bool>("folder");
        QTest::newRow("a folder after all") << true;
        QTest::newRow("a file") << false;
    }
    void linkTriedAsFolderFirst() {
        QFETCH(bool, folder);
        QTemporaryDir local;
        FakeFtpServer server;
        server.expectLogin();
        listing(
            server,
            listingOf({QStringLiteral("lrwxrwxrwx 1 u g 11 Jan 01 2024 data.d -> /srv/data.d")}),
            QStringLiteral("226 Done"));
        if (folder) {
            server.expect("CWD /data.d").reply("250 OK").expect("PWD").reply("257 \"/srv/data.d\"");
            listing(server, listingOf({QStringLiteral("-rw-r--r-- 1 u g 1 Jan 01 2024 in.txt")}),
                    QStringLiteral("226 Done"));
        } else {
            server.expect("CWD /data.d").reply("550 Not a directory");
            server.expect("TYPE I")
                .reply("200 Type set")
                .expect("PASV")
                .passive()
                .expect("RETR data.d")
                .reply("550 Not a plain file here");
        }
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.connectTo(hostOf(server));
        ui.window.Option1[1]->setChecked(true);
        QVERIFY(ui.selectItem(QStringLiteral("data.d")));
        ui.takeQuestions();
        ui.prompts.texts << local.filePath(QStringLiteral("data.d"));
        ui.window.lvListView_DblClick();
        const QStringList asked = ui.takeQuestions();
        if (folder) {
            QCOMPARE(ui.window.listedKey(), QStringLiteral("/data.d/"));
            QCOMPARE(ui.listNames(), QStringList{QStringLiteral("in.txt")});
            QVERIFY2(asked.isEmpty(), qPrintable(asked.join('\n')));
        } else {
            QCOMPARE(asked.size(), 2);
            QVERIFY2(
                asked[1].contains(QStringLiteral("Server response: 550 Not a plain file here")),
                qPrintable(asked[1]));
        }
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
    }
};

QTEST_MAIN(tst_window_names)
#include "tst_window_names.moc"
