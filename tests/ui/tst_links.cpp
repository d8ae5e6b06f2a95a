// Connecting without the dialog, against a real pyftpdlib server: the
// ftp:// links of the command line and the saved sites, each asking only
// for what it lacks and opening its start folder.

#include "MainWindowDriver.h"
#include "MemoryKeyring.h"
#include "PyFtpdServer.h"
#include "RealFtpServer.h"
#include "SiteStore.h"
#include "TestUtil.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class tst_links : public QObject {
    Q_OBJECT

    QTemporaryDir m_Settings;
    PyFtpdServer m_Server;

    QString server() const {
        return m_Server.host() + QLatin1Char(':') + QString::number(m_Server.port());
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_Settings.path());
        QVERIFY2(m_Server.start(), qPrintable(m_Server.lastError()));
        QVERIFY(QDir(m_Server.rootPath()).mkpath(QStringLiteral("pub/deep dir")));
        QVERIFY(TestUtil::writeFile(m_Server.rootPath() + QStringLiteral("/pub/a.txt"), "a\n"));
        QVERIFY(TestUtil::writeFile(m_Server.rootPath() + "/pub/deep dir/b.txt", "b\n"));
        // This pyftpdlib speaks plain FTP: the downgrade is allowed up front.
        TrustStore::allowDowngrade(m_Server.host(), m_Server.port(),
                                   CFtpConnection::Downgrade::NoTls);
    }

    void links_data() {
        QTest::addColumn<QString>("link");     // {server} is replaced, here and in outcome
        QTest::addColumn<QString>("password"); // typed when asked; empty: nothing asked
        QTest::addColumn<QString>("outcome");  // folder listed|file selected, or message
        // clang-format off
        QTest::newRow("anonymous")        << "ftp://{server}/pub"                 << ""       << "/pub/|";
        QTest::newRow("user asked")       << "ftp://user@{server}/pub/deep%20dir/" << "secret" << "/pub/deep dir/|";
        QTest::newRow("password in link") << "FTP://user:secret@{server}/%2Fpub"  << ""       << "/pub/|";
        QTest::newRow("root")             << "ftp://{server}"                     << ""       << "/|";
        QTest::newRow("file")             << "ftp://user@{server}/pub/a.txt"      << "secret" << "/pub/|a.txt";
        QTest::newRow("missing")          << "ftp://{server}/nothing"             << ""       << "/|nothing cannot be opened.";
        QTest::newRow("bad port")         << "ftp://127.0.0.1:99999/pub"          << ""       << "|This link cannot be opened: bad port \"99999\".";
        QTest::newRow("bad scheme")       << "http://{server}/"                   << ""       << "|This link cannot be opened: the URL must start with ftp://, ftpes:// or ftps://: \"http://{server}/\".";
        QTest::newRow("no host")          << "ftpes:///pub"                       << ""       << "|This link cannot be opened: the URL names no host.";
        // clang-format on
    }
    void links() {
        QFETCH(QString, link);
        QFETCH(QString, password);
        QFETCH(QString, outcome);
        MainWindowDriver ui;
        if (!password.isEmpty())
            ui.prompts.passwords << password;
        ui.window.openStartArgument(link.replace(QStringLiteral("{server}"), server()));
        // The link waits for the event loop, as it does at start-up.
        QVERIFY(ui.window.listedKey().isEmpty() && ui.prompts.asked.isEmpty());
        QVERIFY(TestUtil::waitUntil(
            [&] { return !ui.window.listedKey().isEmpty() || !ui.prompts.asked.isEmpty(); }));
        QTRY_VERIFY_WITH_TIMEOUT(!ui.window.working(), 10000);
        QStringList passwordQuestions;
        const int row = ui.window.lvListView->selectedRow();
        QString shown = row < 0 ? QString() : ui.window.lvListView->text(row);
        for (const ScriptedPrompts::Question& q : std::as_const(ui.prompts.asked)) {
            if (q.kind == ScriptedPrompts::Password)
                passwordQuestions << q.text;
            else if (q.kind == ScriptedPrompts::MessageBox)
                shown = q.text.section(QLatin1Char('\n'), 0, 0);
        }
        QCOMPARE(ui.window.listedKey() + '|' + shown, outcome.replace("{server}", server()));
        QCOMPARE(passwordQuestions, password.isEmpty()
                                        ? QStringList()
                                        : QStringList{"Password for user on " + server() + ":"});
    }

    // ftpes:// and ftps:// reach TLS servers as the scheme says: explicit
    // required, implicit on a port of its own.
    void tlsLinks_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("tls");
        QTest::addColumn<QString>("scheme");
        using S = RealFtpServer;
        QTest::newRow("vsftpd ftpes") << int(S::Kind::Vsftpd) << int(S::Tls::Explicit) << "ftpes";
        QTest::newRow("vsftpd ftps") << int(S::Kind::Vsftpd) << int(S::Tls::Implicit) << "ftps";
        QTest::newRow("pyftpdlib ftpes")
            << int(S::Kind::Pyftpdlib) << int(S::Tls::Explicit) << "ftpes";
    }
    void tlsLinks() {
        QFETCH(int, kind);
        QFETCH(int, tls);
        QFETCH(QString, scheme);
        RealFtpServer::Options options;
        options.tls = RealFtpServer::Tls(tls);
        const auto serverKind = RealFtpServer::Kind(kind);
        const QString unavailable = RealFtpServer::unavailableReason(serverKind, options);
        if (!unavailable.isEmpty())
            QSKIP(qPrintable(unavailable));
        RealFtpServer server(serverKind, options);
        QVERIFY2(server.start(), qPrintable(server.lastError()));
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.prompts.passwords << server.password();
        ui.prompts.answers << Prompts::No; // the test certificate: this session only
        ui.window.openLink(QStringLiteral("%1://%2@%3:%4/%5")
                               .arg(scheme, server.userName(), server.host())
                               .arg(server.port())
                               .arg(RealFtpServer::writableDir()));
        QVERIFY2(ui.window.listedKey().endsWith(QStringLiteral("/incoming/")),
                 qPrintable(ui.window.logText()));
        QVERIFY(ui.window.padlockShown());
        QCOMPARE(ui.engine()->Security(), scheme == QLatin1String("ftps")
                                              ? FtpSecurity::Mode::Implicit
                                              : FtpSecurity::Mode::ExplicitRequired);
        // The password only for a named user (vsftpd's is anonymous), then
        // the test certificate.
        QStringList asked = ui.takeQuestions();
        QCOMPARE(asked.takeLast().section(QLatin1Char('|'), 0, 0),
                 QStringLiteral("Unknown certificate"));
        QCOMPARE(asked, server.userName() == QLatin1String("anonymous")
                            ? QStringList()
                            : QStringList{"Password|Password for user on " + server.host() + ':' +
                                          QString::number(server.port()) + ':'});
    }

    // The connect dialog's "Save as site": a typed password goes to the
    // keyring, or, with no keyring, the site asks for it at each connect.
    void saveAsSite_data() {
        QTest::addColumn<bool>("keyringDown");
        QTest::newRow("keyring") << false;
        QTest::newRow("no keyring") << true;
    }
    void saveAsSite() {
        QFETCH(bool, keyringDown);
        SiteStore::save({});
        MemoryKeyring keyring;
        keyring.down = keyringDown;
        MainWindowDriver ui;
        ui.window.setKeyring(&keyring);
        ui.prompts.texts << QStringLiteral("My server");
        ui.prompts.dialogs << [](QDialog& dialog) {
            auto& connect = static_cast<frmConnect&>(dialog);
            connect.txtURL->setText(QStringLiteral("Example.org:2121"));
            connect.chkAnonym->setChecked(false);
            connect.txtUserName->setText(QStringLiteral("user"));
            connect.txtPassword->setText(QStringLiteral("pw"));
            connect.cmdSaveSite_Click();
            connect.cmdCancel_Click();
        };
        ui.window.ConnectToServer();
        const Site site = SiteStore::load().sites.value(0);
        QCOMPARE(site.name + '|' + site.host + ':' + QString::number(site.port) + '|' + site.user,
                 QStringLiteral("My server|example.org:2121|user"));
        QCOMPARE(site.logOn, keyringDown ? Site::LogOn::AskPassword : Site::LogOn::Normal);
        QCOMPARE(keyring.entries.value(site.keyringKey()), keyringDown ? QString() : "pw");
        QCOMPARE(ui.prompts.asked.last().text.contains("did not keep its password"), keyringDown);
    }

    void sites_data() {
        QTest::addColumn<int>("logOn");
        QTest::addColumn<bool>("keyringDown");
        QTest::addColumn<QString>("question"); // what the password box says; empty: none
        QTest::newRow("kept") << int(Site::LogOn::Normal) << false << "";
        QTest::newRow("not kept") << int(Site::LogOn::Normal) << true
                                  << "The desktop keyring cannot be used (no Secret Service on "
                                     "the bus), so Krellin asks";
        QTest::newRow("ask") << int(Site::LogOn::AskPassword) << false << "Password for user on";
        QTest::newRow("anonymous") << int(Site::LogOn::Anonymous) << false << "";
    }
    void sites() {
        QFETCH(int, logOn);
        QFETCH(bool, keyringDown);
        QFETCH(QString, question);
        QTemporaryDir local;
        Site site;
        site.host = m_Server.host();
        site.port = m_Server.port();
        site.logOn = Site::LogOn(logOn);
        site.user = QStringLiteral("user");
        site.remoteFolder = QStringLiteral("/pub/deep dir");
        site.localFolder = local.path();
        site.passive = false;
        SiteList list;
        const QString id = list.add(site);
        SiteStore::save(list);
        MemoryKeyring keyring;
        keyring.entries.insert(list.sites[0].keyringKey(), QStringLiteral("secret"));
        keyring.down = keyringDown;

        MainWindowDriver ui;
        ui.window.setKeyring(&keyring);
        ui.setPassive(true);
        if (!question.isEmpty())
            ui.prompts.passwords << QStringLiteral("secret");
        ui.window.connectToSite(id);
        QCOMPARE(ui.window.listedKey(), QStringLiteral("/pub/deep dir/"));
        const QStringList asked = ui.takeQuestions();
        QCOMPARE(asked.size(), question.isEmpty() ? 0 : 1);
        QVERIFY(question.isEmpty() || asked[0].startsWith("Password|" + question));
        // Active mode as the site says, and the site's local folder for dialogs.
        QVERIFY(!ui.window.Check1->isChecked());
        QVERIFY(ui.selectItem(QStringLiteral("b.txt")));
        ui.prompts.texts << local.filePath(QStringLiteral("b.txt"));
        ui.window.mnuDownload_Click();
        QVERIFY(ui.transfersDone());
        QCOMPARE(ui.prompts.asked.value(0).value, local.filePath(QStringLiteral("b.txt")));
        QCOMPARE(TestUtil::readFile(local.filePath(QStringLiteral("b.txt"))), QByteArray("b\n"));
        QVERIFY(ui.window.logText().contains(QStringLiteral("PORT ")));
        QVERIFY(ui.engine()->UserName() ==
                (logOn == int(Site::LogOn::Anonymous) ? "anonymous" : "user"));
    }
};

QTEST_MAIN(tst_links)
#include "tst_links.moc"
