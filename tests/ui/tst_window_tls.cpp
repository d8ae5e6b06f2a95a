// The window over FTP over TLS: the connect dialog's encryption choice, the
// one question about an unknown certificate (refused: not a word of the
// log-in is sent; "always trust": stored, not asked again), and the lock in
// the title pane.

#include "Desktop.h"
#include "FakeFtpServer.h"
#include "MainWindowDriver.h"
#include "TestTls.h"

#include <QComboBox>
#include <QLabel>
#include <QSettings>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray Listing = "-rw-r--r-- 1 ftp ftp 5 Jan 01 2024 a.bin\r\n";

// AUTH TLS and the handshake, the log-in with PBSZ and PROT (FEAT refused),
// and the first listing over a TLS data connection.
void scriptSecureLogin(FakeFtpServer& server) {
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
        .reply("257 \"/\" is current")
        .expect("PASV")
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
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_Settings.path());
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
        QVERIFY(!ui.window.Label1->text().startsWith(QStringLiteral("\U0001F512")));
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
        // The lock shows the session is encrypted.
        QVERIFY2(ui.window.Label1->text().startsWith(QStringLiteral("\U0001F512 ")),
                 qPrintable(ui.window.Label1->text()));
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
};

QTEST_MAIN(tst_window_tls)
#include "tst_window_tls.moc"
