#include "ScriptedPrompts.h"
#include "frmConnect.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class tst_frmConnect : public QObject {
    Q_OBJECT

private slots:
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

        // Tab order of the design: host, user, password, OK, Cancel, Anonymous.
        QWidget* expected[] = {dialog.txtUserName, dialog.txtPassword, dialog.cmdOK,
                               dialog.cmdCancel, dialog.chkAnonym};
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
};

QTEST_MAIN(tst_frmConnect)
#include "tst_frmConnect.moc"
