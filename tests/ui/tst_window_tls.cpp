// The window over FTP over TLS: the connect dialog's encryption choice, the
// one question about an unknown certificate (refused: not a word of the
// log-in is sent; "always trust": stored, not asked again), and the lock in
// the title pane.

#include "Desktop.h"
#include "FakeFtpServer.h"
#include "MainWindowDriver.h"
#include "TestTls.h"
#include "TrustStore.h"
#include "frmCertificates.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QByteArray Listing = "-rw-r--r-- 1 ftp ftp 5 Jan 01 2024 a.bin\r\n";

// AUTH TLS and the handshake, the log-in with PBSZ and PROT (FEAT refused),
// and, unless it is a reconnect, the first listing over a TLS data connection.
void scriptSecureLogin(FakeFtpServer& server, bool listing = true) {
    server.expectAuthTls()
        .expect("USER anonymous")
        .reply("331 Password required")
        .expect("PASS *")
        .reply("230 Logged in")
        .expect("PBSZ 0")
        .reply("200 PBSZ=0")
        .expect("PROT P")
        .reply("200 PROT now Private")
        .expect("PWD")
        .reply("257 \"/\" is current");
    if (!listing)
        return;
    server.expect("PASV")
        .passive()
        .expect("LIST")
        .reply("150 Here")
        .dataSend(Listing)
        .dataClose()
        .reply("226 Done");
}

} // namespace

class tst_window_tls : public QObject {
    Q_OBJECT

    QTemporaryDir m_Settings;

    QString hostOf(const FakeFtpServer& server) const {
        return server.host() + QLatin1Char(':') + QString::number(server.port());
    }

private slots:
    void initTestCase() {
        if (!QSslSocket::supportsSsl())
            QSKIP("Qt has no TLS backend here");
        QVERIFY2(TestTls::localhost().ok(), qPrintable(TestTls::localhost().error));
        isolateWindowState(m_Settings.path());
    }
    // Each test starts from the dialog's own choices, trusting nothing.
    void init() {
        QSettings(QSettings::IniFormat, QSettings::UserScope,
                  platform::Desktop::SettingsOrganisation, platform::Desktop::SettingsApplication)
            .clear();
    }

    void dialogOffersTheFourChoices() {
        ScriptedPrompts prompts;
        frmConnect dialog(prompts);
        QCOMPARE(dialog.cboEncryption->count(), 4);
        QCOMPARE(dialog.cboEncryption->currentText(),
                 QStringLiteral("Use explicit FTP over TLS if available"));
        QCOMPARE(dialog.cboEncryption->itemText(3),
                 QStringLiteral("Only use plain FTP (insecure)"));
        dialog.cboEncryption->setCurrentIndex(2);
        dialog.cmdOK_Click();
        QCOMPARE(dialog.Encryption(), FtpSecurity::Mode::Implicit);
    }

    void refusedCertificateSendsNoLogIn() {
        FakeFtpServer server;
        scriptSecureLogin(server);
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.prompts.answers << Prompts::Cancel;
        ui.connectTo(hostOf(server));
        QCOMPARE(server.commands(), QStringList{QStringLiteral("AUTH TLS")});
        QVERIFY(!server.rawControlBytes().contains("PASS"));
        const QList<ScriptedPrompts::Question> asked = ui.prompts.asked;
        QCOMPARE(asked.size(), 3); // the dialog, the certificate, the failure
        QCOMPARE(asked[1].title, QStringLiteral("Unknown certificate"));
        QCOMPARE(asked[1].buttons, Prompts::YesNoCancel);
        QVERIFY(asked[1].text.contains(platform::fingerprintText(TestTls::localhost().sha256)));
        QVERIFY(asked[1].text.contains(QLatin1String("CN=localhost")));
        QCOMPARE(ui.engine()->FtpGetLastError(), int(CFtpConnection::ErrCertificateRefused));
        QVERIFY(!ui.window.padlockShown());
    }

    void alwaysTrustIsStoredAndNotAskedAgain_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("questionsOnSecondConnect");
        QTest::newRow("always trust") << int(Prompts::Yes) << 0;
        QTest::newRow("this session only") << int(Prompts::No) << 1;
    }
    void alwaysTrustIsStoredAndNotAskedAgain() {
        QFETCH(int, answer);
        QFETCH(int, questionsOnSecondConnect);
        FakeFtpServer server;
        scriptSecureLogin(server);
        scriptSecureLogin(server);
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.prompts.answers << Prompts::Answer(answer);
        ui.connectTo(hostOf(server));
        QVERIFY(ui.engine()->Encrypted());
        QCOMPARE(ui.listNames(), QStringList{QStringLiteral("a.bin")});
        // The lock shows control and data are protected.
        QVERIFY(ui.window.padlockShown());
        QCOMPARE(ui.prompts.asked.size(), 2);

        ui.prompts.asked.clear();
        ui.prompts.answers << Prompts::No;
        ui.connectTo(hostOf(server));
        QVERIFY(ui.engine()->Encrypted());
        QCOMPARE(int(ui.prompts.asked.size()), 1 + questionsOnSecondConnect);
        QCOMPARE(server.dataSessionsReused(), QList<bool>({true, true}));
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
        // Forget it again for the next row.
        QSettings(QSettings::IniFormat, QSettings::UserScope,
                  platform::Desktop::SettingsOrganisation, platform::Desktop::SettingsApplication)
            .remove(QStringLiteral("TrustedCertificates"));
    }

    // "Always trust" chosen once holds for the reconnect a node click makes
    // after the server dropped the session: no second question. The question
    // named the server with its port.
    void trustHoldsOnReconnect() {
        FakeFtpServer server;
        scriptSecureLogin(server);
        scriptSecureLogin(server, false);
        server.expect("CWD /")
            .reply("250 OK")
            .expect("PASV")
            .passive()
            .expect("LIST")
            .reply("150 Here")
            .dataSend(Listing)
            .dataClose()
            .reply("226 Done");
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.prompts.answers << Prompts::Yes;
        ui.connectTo(hostOf(server));
        const QStringList first = ui.takeQuestions();
        QCOMPARE(first.size(), 2);
        QVERIFY2(first[1].contains(
                     QStringLiteral("The certificate of %1 is not trusted").arg(hostOf(server))),
                 qPrintable(first[1]));
        ui.engine()->BreakeConnection();
        ui.clickNode(QStringLiteral("/"));
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
        QCOMPARE(server.controlConnectionCount(), 2);
        QVERIFY(ui.takeQuestions().isEmpty());
        QVERIFY(ui.window.padlockShown());
    }

    // "If available" on a server without TLS asks before anything goes in
    // clear: Cancel sends no log-in; Connect with "always" goes on and is not
    // asked again for that server.
    void downgradeIsAsked() {
        FakeFtpServer server;
        for (int i = 0; i < 2; ++i)
            server.expectLogin()
                .expect("PASV")
                .passive()
                .expect("LIST")
                .reply("150 Here")
                .dataSend(Listing)
                .dataClose()
                .reply("226 Done");
        MainWindowDriver ui;
        ui.allowPlain = false;
        ui.setPassive(true);
        ui.prompts.answers << Prompts::Cancel << Prompts::Ok;
        ui.connectTo(hostOf(server));
        QVERIFY(!server.rawControlBytes().contains("USER"));
        QCOMPARE(ui.prompts.asked.size(), 3); // the dialog, the question, the failure
        QCOMPARE(ui.prompts.asked[1].kind, ScriptedPrompts::CheckedQuestion);
        QVERIFY(ui.prompts.asked[1].text.contains(
            QStringLiteral("This server does not offer FTP over TLS; your password and files "
                           "will cross the network in clear")));
        QVERIFY(ui.prompts.asked[1].text.contains(hostOf(server)));
        QCOMPARE(ui.prompts.acceptTexts, QStringList{QStringLiteral("Connect")});
        QCOMPARE(ui.engine()->FtpGetLastError(), int(CFtpConnection::ErrDowngradeRefused));
        QCOMPARE(ui.window.sessionView(), frmMain::SessionView::Disconnected);

        ui.prompts.asked.clear();
        ui.prompts.answers = {Prompts::Ok};
        ui.prompts.checks << true;
        ui.connectTo(hostOf(server));
        QCOMPARE(ui.listNames(), QStringList{QStringLiteral("a.bin")});
        QVERIFY(!ui.window.padlockShown());
        ui.prompts.asked.clear();
        ui.connectTo(hostOf(server));
        QCOMPARE(ui.prompts.asked.size(), 1); // the dialog only
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
    }

    // The certificates window lists what "always trust" kept and forgets the
    // one chosen; the next connect asks again.
    void certificatesWindowForgets() {
        TrustStore::trust(QStringLiteral("b.example"), 990, QByteArray(32, 'b'));
        TrustStore::trust(QStringLiteral("a.example"), 21, QByteArray(32, 'a'));
        MainWindowDriver ui;
        QStringList rows;
        ui.prompts.dialogs << [&rows](QDialog& dialog) {
            auto& window = static_cast<frmCertificates&>(dialog);
            for (int i = 0; i < window.lstCertificates->topLevelItemCount(); ++i)
                rows << window.lstCertificates->topLevelItem(i)->text(0);
            window.cmdForget_Click(); // the first, selected
            window.cmdClose->click();
        };
        ui.window.mnuCertificates_Click();
        QCOMPARE(rows,
                 (QStringList{QStringLiteral("a.example:21"), QStringLiteral("b.example:990")}));
        const QList<TrustStore::Certificate> left = TrustStore::all();
        QCOMPARE(left.size(), 1);
        QCOMPARE(left[0].host, QStringLiteral("b.example"));
        QCOMPARE(left[0].sha256, QByteArray(32, 'b'));
        QVERIFY(TrustStore::trusted(QStringLiteral("a.example"), 21).isEmpty());
    }
};

QTEST_MAIN(tst_window_tls)
#include "tst_window_tls.moc"
