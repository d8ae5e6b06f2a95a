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
};

QTEST_MAIN(tst_window_names)
#include "tst_window_names.moc"
