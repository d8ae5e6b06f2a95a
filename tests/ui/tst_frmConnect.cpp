#include "ScriptedPrompts.h"
#include "ServerAddress.h"
#include "frmConnect.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class tst_frmConnect : public QObject {
    Q_OBJECT

    QTemporaryDir m_Settings;

    static QSettings store() {
        return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Krellin"),
                         QStringLiteral("Krellin"));
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_Settings.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_Settings.path());
    }
    // Every test starts from a dialog that has never been confirmed.
    void init() { store().clear(); }

    void opensInAnonymousState() {
        ScriptedPrompts prompts;
        frmConnect dialog(prompts);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Connect to..."));
        QVERIFY(dialog.chkAnonym->isChecked());
        QCOMPARE(dialog.txtUserName->text(), QStringLiteral("anonymous"));
        QCOMPARE(dialog.txtPassword->text(), frmConnect::PlaceholderEmail);
        QCOMPARE(dialog.txtPassword->echoMode(), QLineEdit::Normal);
        QCOMPARE(dialog.Frame3->title(), QStringLiteral("Your E-Mail Address"));
        QCOMPARE(dialog.txtURL->text(), frmConnect::DefaultHost);
        QCOMPARE(dialog.Action(), 0);
        QVERIFY(dialog.URL().isEmpty());
        QVERIFY(dialog.cmdOK->isDefault());

        QCOMPARE(dialog.txtPort->text(), QStringLiteral("21"));
        QCOMPARE(dialog.Port(), quint16(21));

        // Tab order: host, port, user, password, OK, Cancel, Anonymous.
        QWidget* expected[] = {dialog.txtPort, dialog.txtUserName, dialog.txtPassword,
                               dialog.cmdOK,   dialog.cmdCancel,   dialog.chkAnonym};
        QWidget* current = dialog.txtURL;
        for (QWidget* next : expected) {
            QWidget* candidate = current->nextInFocusChain();
            for (int guard = 0; guard < 50 && !(candidate->focusPolicy() & Qt::TabFocus); ++guard)
                candidate = candidate->nextInFocusChain();
            QCOMPARE(candidate, next);
            current = next;
        }
    }

    void okTakesTheTexts_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("url");
        QTest::newRow("lower-cased") << "MyServer"
                                     << "myserver";
        QTest::newRow("typed scheme kept") << "ftp://MyServer"
                                           << "ftp://myserver";
        QTest::newRow("blanks kept") << "  Host "
                                     << "  host ";
    }
    void okTakesTheTexts() {
        QFETCH(QString, host);
        QFETCH(QString, url);
        ScriptedPrompts prompts;
        frmConnect dialog(prompts);
        dialog.txtURL->setText(host);
        dialog.txtUserName->setText(QStringLiteral("Bob"));
        dialog.txtPassword->setText(QStringLiteral("Secret"));
        QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
        QCOMPARE(dialog.Action(), 0);
        QCOMPARE(dialog.URL(), url);
        QCOMPARE(dialog.UserName(), QStringLiteral("Bob")); // not lower-cased
        QCOMPARE(dialog.Password(), QStringLiteral("Secret"));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(prompts.asked.isEmpty());
    }

    void okWithEmptyLogIn() {
        ScriptedPrompts prompts;
        frmConnect dialog(prompts);
        dialog.chkAnonym->setChecked(false);
        dialog.cmdOK_Click();
        QCOMPARE(dialog.Action(), 0);
        QVERIFY(dialog.UserName().isEmpty());
        QVERIFY(dialog.Password().isEmpty());
    }

    void anonymousToggle() {
        ScriptedPrompts prompts;
        frmConnect dialog(prompts);
        dialog.chkAnonym->click();
        QVERIFY(!dialog.chkAnonym->isChecked());
        QVERIFY(dialog.txtUserName->text().isEmpty());
        QVERIFY(dialog.txtPassword->text().isEmpty());
        QCOMPARE(dialog.txtPassword->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog.Frame3->title(), QStringLiteral("Password"));

        dialog.txtUserName->setText(QStringLiteral("someone"));
        dialog.chkAnonym->click();
        QCOMPARE(dialog.txtUserName->text(), QStringLiteral("anonymous"));
        QCOMPARE(dialog.txtPassword->text(), frmConnect::PlaceholderEmail);
        QCOMPARE(dialog.txtPassword->echoMode(), QLineEdit::Normal);
        QCOMPARE(dialog.Frame3->title(), QStringLiteral("Your E-Mail Address"));
    }

    void emptyHostIsRefused() {
        ScriptedPrompts prompts;
        frmConnect dialog(prompts);
        dialog.txtURL->clear();
        dialog.txtUserName->setText(QStringLiteral("kept"));
        dialog.cmdOK_Click();
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked[0].text, QStringLiteral("Enter a URL or click on Cancel button."));
        QCOMPARE(prompts.asked[0].title, QStringLiteral("Invalid URL"));
        QCOMPARE(prompts.asked[0].icon, Prompts::Information);
        QCOMPARE(prompts.asked[0].buttons, Prompts::OkOnly);
        QCOMPARE(dialog.Action(), 0);
        QVERIFY(dialog.URL().isEmpty());
        QCOMPARE(dialog.txtUserName->text(), QStringLiteral("kept"));
        QCOMPARE(dialog.result(), int(QDialog::Rejected)); // still open, not accepted
    }

    void cancelAndCloseBox_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel button") << 0;
        QTest::newRow("close box") << 1;
        QTest::newRow("Esc") << 2;
    }
    void cancelAndCloseBox() {
        QFETCH(int, how);
        ScriptedPrompts prompts;
        frmConnect dialog(prompts);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        if (how == 0)
            QTest::mouseClick(dialog.cmdCancel, Qt::LeftButton);
        else if (how == 1)
            dialog.close();
        else
            QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(dialog.Action(), 1);
        QVERIFY(dialog.URL().isEmpty());
        QVERIFY(dialog.UserName().isEmpty());
        QVERIFY(!dialog.isVisible());
    }

    void initialHostText() {
        ScriptedPrompts prompts;
        frmConnect dialog(prompts);
        dialog.setHostText(QStringLiteral("Example.Host"));
        dialog.cmdOK_Click();
        QCOMPARE(dialog.URL(), QStringLiteral("example.host"));
    }

    // OK keeps host, port, user and the anonymous choice for the next
    // dialog; the password is never stored, and Cancel keeps nothing.
    void remembersChoices_data() {
        QTest::addColumn<bool>("anonymous");
        QTest::newRow("named user") << false;
        QTest::newRow("anonymous") << true;
    }
    void remembersChoices() {
        QFETCH(bool, anonymous);
        ScriptedPrompts prompts;
        {
            frmConnect dialog(prompts);
            dialog.txtURL->setText(QStringLiteral("Files.Example.Org"));
            dialog.txtPort->setText(QStringLiteral("2121"));
            dialog.chkAnonym->setChecked(anonymous);
            if (!anonymous) {
                dialog.txtUserName->setText(QStringLiteral("Bob"));
                dialog.txtPassword->setText(QStringLiteral("Secret"));
            }
            dialog.cmdOK_Click();
            QCOMPARE(dialog.Port(), quint16(2121));
        }
        {
            // A cancelled dialog changes nothing of what was kept.
            frmConnect cancelled(prompts);
            cancelled.txtURL->setText(QStringLiteral("other.host"));
            cancelled.cmdCancel_Click();
        }
        frmConnect dialog(prompts);
        QCOMPARE(dialog.txtURL->text(), QStringLiteral("Files.Example.Org"));
        QCOMPARE(dialog.txtPort->text(), QStringLiteral("2121"));
        QCOMPARE(dialog.chkAnonym->isChecked(), anonymous);
        if (anonymous) {
            QCOMPARE(dialog.txtUserName->text(), QStringLiteral("anonymous"));
            QCOMPARE(dialog.txtPassword->text(), frmConnect::PlaceholderEmail);
        } else {
            QCOMPARE(dialog.txtUserName->text(), QStringLiteral("Bob"));
            QVERIFY(dialog.txtPassword->text().isEmpty());
            QCOMPARE(dialog.txtPassword->echoMode(), QLineEdit::Password);
            QCOMPARE(dialog.Frame3->title(), QStringLiteral("Password"));
        }
        QSettings settings = store();
        for (const QString& key : settings.allKeys())
            QVERIFY2(!settings.value(key).toString().contains(QStringLiteral("Secret")),
                     qPrintable(key));
    }

    // The port box takes digits only; a number out of range keeps the
    // dialog open with a sentence; an empty box means port 21.
    void portBox_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("port");
        QTest::newRow("usual") << "2121" << true << 2121;
        QTest::newRow("empty") << "" << true << 21;
        QTest::newRow("highest") << "65535" << true << 65535;
        QTest::newRow("zero") << "0" << false << 0;
        QTest::newRow("too big") << "70000" << false << 0;
        QTest::newRow("letters are not typed") << "2a1" << true << 21;
    }
    void portBox() {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QFETCH(int, port);
        ScriptedPrompts prompts;
        frmConnect dialog(prompts);
        dialog.txtPort->clear();
        QTest::keyClicks(dialog.txtPort, typed);
        dialog.cmdOK_Click();
        QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
        QCOMPARE(prompts.asked.size(), accepted ? 0 : 1);
        if (accepted)
            QCOMPARE(int(dialog.Port()), port);
        else
            QCOMPARE(prompts.asked[0].title, QStringLiteral("Invalid port"));
    }

    // The one parser of the dialog's boxes: a port the user typed in the
    // Port box wins over one left in the host text, a box left alone yields.
    void addressFromBoxes_data() {
        QTest::addColumn<QString>("hostText");
        QTest::addColumn<QString>("portText");
        QTest::addColumn<bool>("typed");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port"); // 0: refused
        QTest::newRow("typed port wins") << "127.0.0.1:2703"
                                         << "2700" << true << "127.0.0.1" << 2700;
        QTest::newRow("untouched box yields") << "127.0.0.1:2703"
                                              << "21" << false << "127.0.0.1" << 2703;
        QTest::newRow("empty box, default") << "host"
                                            << "" << true << "host" << 990;
        QTest::newRow("box alone") << "host"
                                   << "2121" << false << "host" << 2121;
        QTest::newRow("v6 in brackets") << "[::1]:2121"
                                        << "21" << false << "::1" << 2121;
        QTest::newRow("bad port in host") << "host:70000"
                                          << "21" << true << "" << 0;
        QTest::newRow("bad port in box") << "host"
                                         << "0" << true << "" << 0;
    }
    void addressFromBoxes() {
        QFETCH(QString, hostText);
        QFETCH(QString, portText);
        QFETCH(bool, typed);
        QFETCH(QString, host);
        QFETCH(int, port);
        QString gotHost;
        quint16 gotPort = 0;
        QString error;
        QCOMPARE(ServerAddress::fromDialog(hostText, portText, typed, 990, gotHost, gotPort, error),
                 port != 0);
        if (port != 0) {
            QCOMPARE(gotHost, host);
            QCOMPARE(int(gotPort), port);
        }
    }

    // Started with "127.0.0.1:2703": the port goes to its box and the host is
    // kept clean, so that the next start's Port box is the one obeyed.
    void portFromCommandLineIsShownAndReplaceable() {
        ScriptedPrompts prompts;
        {
            frmConnect dialog(prompts);
            dialog.setHostText(QStringLiteral("127.0.0.1:2703"));
            QCOMPARE(dialog.txtURL->text(), QStringLiteral("127.0.0.1"));
            QCOMPARE(dialog.txtPort->text(), QStringLiteral("2703"));
            dialog.cmdOK_Click();
            QCOMPARE(dialog.Port(), quint16(2703));
        }
        frmConnect dialog(prompts);
        QCOMPARE(dialog.txtURL->text(), QStringLiteral("127.0.0.1"));
        dialog.txtPort->selectAll();
        QTest::keyClicks(dialog.txtPort, QStringLiteral("2700"));
        dialog.cmdOK_Click();
        QCOMPARE(dialog.URL(), QStringLiteral("127.0.0.1"));
        QCOMPARE(dialog.Port(), quint16(2700));
        QCOMPARE(store().value(QStringLiteral("Connect/Host")).toString(),
                 QStringLiteral("127.0.0.1"));
    }

    // Implicit TLS takes 990 in place of the default 21 and gives it back;
    // the choice and its port are there in the next dialog.
    void implicitPortAndRememberedChoice() {
        ScriptedPrompts prompts;
        auto pick = [](frmConnect& dialog, FtpSecurity::Mode mode) {
            dialog.cboEncryption->setCurrentIndex(dialog.cboEncryption->findData(int(mode)));
        };
        {
            frmConnect dialog(prompts);
            pick(dialog, FtpSecurity::Mode::Implicit);
            QCOMPARE(dialog.txtPort->text(), QStringLiteral("990"));
            pick(dialog, FtpSecurity::Mode::Plain);
            QCOMPARE(dialog.txtPort->text(), QStringLiteral("21"));
            pick(dialog, FtpSecurity::Mode::Implicit);
            dialog.cmdOK_Click();
            QCOMPARE(dialog.Port(), quint16(990));
        }
        frmConnect dialog(prompts);
        QCOMPARE(dialog.cboEncryption->currentData().toInt(), int(FtpSecurity::Mode::Implicit));
        QCOMPARE(dialog.txtPort->text(), QStringLiteral("990"));
    }
};

QTEST_MAIN(tst_frmConnect)
#include "tst_frmConnect.moc"
