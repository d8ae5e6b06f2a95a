// The real message boxes and file dialogs: the buttons, icon and title each
// question is shown with, the answer it returns, and a save dialog that leaves
// an existing file's question to the download command.

#include "QtPrompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

// Runs inspect on the modal window that the call below opens, once it shows.
// The polling stops after a bound, so a call that opens nothing cannot hang.
void whenModalShows(const std::function<void(QWidget*)>& inspect) {
    auto* poll = new QTimer(qApp);
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, tries, inspect] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->deleteLater();
            inspect(modal);
        } else if (++*tries > 500) {
            poll->deleteLater();
        }
    });
    poll->start(10);
}

} // namespace

class tst_QtPrompts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("Krellin")); }

    void messageBox_data() {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("shownButtons");
        QTest::addColumn<int>("shownIcon");
        QTest::addColumn<QString>("shownTitle");
        QTest::addColumn<int>("answer");
        QTest::newRow("exclamation under the application's title")
            << int(Prompts::OkOnly) << int(Prompts::Exclamation) << QString()
            << int(QMessageBox::Ok) << int(QMessageBox::Ok) << int(QMessageBox::Warning)
            << QStringLiteral("Krellin") << int(Prompts::Ok);
        QTest::newRow("question, Yes and No")
            << int(Prompts::YesNo) << int(Prompts::Question) << QStringLiteral("Remove Directory")
            << int(QMessageBox::No) << int(QMessageBox::Yes | QMessageBox::No)
            << int(QMessageBox::Question) << QStringLiteral("Remove Directory") << int(Prompts::No);
        QTest::newRow("no icon, Yes No Cancel")
            << int(Prompts::YesNoCancel) << int(Prompts::NoIcon) << QStringLiteral("Delete file")
            << int(QMessageBox::Cancel)
            << int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)
            << int(QMessageBox::NoIcon) << QStringLiteral("Delete file") << int(Prompts::Cancel);
        QTest::newRow("information")
            << int(Prompts::OkOnly) << int(Prompts::Information) << QStringLiteral("Invalid URL")
            << int(QMessageBox::Ok) << int(QMessageBox::Ok) << int(QMessageBox::Information)
            << QStringLiteral("Invalid URL") << int(Prompts::Ok);
    }
    void messageBox() {
        QFETCH(int, buttons);
        QFETCH(int, icon);
        QFETCH(QString, title);
        QFETCH(int, press);
        QFETCH(int, shownButtons);
        QFETCH(int, shownIcon);
        QFETCH(QString, shownTitle);
        QFETCH(int, answer);
        int seenButtons = -1;
        int seenIcon = -1;
        QString seenTitle;
        QString seenText;
        whenModalShows([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box)
                return;
            seenButtons = int(box->standardButtons());
            seenIcon = int(box->icon());
            seenTitle = box->windowTitle();
            seenText = box->text();
            box->button(QMessageBox::StandardButton(press))->click();
        });
        QtPrompts prompts;
        const Prompts::Answer got =
            prompts.messageBox(nullptr, QStringLiteral("Error #60\r\n\r\nbusy"),
                               Prompts::Buttons(buttons), Prompts::Icon(icon), title);
        QCOMPARE(seenButtons, shownButtons);
        QCOMPARE(seenIcon, shownIcon);
        QCOMPARE(seenTitle, shownTitle);
        QCOMPARE(seenText, QStringLiteral("Error #60\r\n\r\nbusy"));
        QCOMPARE(int(got), answer);
    }

    // Choosing an existing file asks nothing in the dialog: the download then
    // asks whether to append to it or start over.
    void saveDialogLeavesTheExistingFileQuestion() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString existing = dir.filePath(QStringLiteral("report.txt"));
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("12345");
        file.close();

        bool confirmsOverwrite = true;
        bool seen = false;
        whenModalShows([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog)
                return;
            seen = true;
            confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            dialog->reject();
        });
        QtPrompts prompts;
        const QString chosen = prompts.saveFileName(nullptr, QStringLiteral("Download file"),
                                                    existing, QStringLiteral("All Files (*)"));
        QVERIFY(seen);
        QVERIFY(chosen.isEmpty());
        QVERIFY(!confirmsOverwrite);
    }

    // The question with a check box: its own going-on button, Cancel the
    // default, and the box's state handed back with the answer.
    void checkedQuestion() {
        QtPrompts prompts;
        QString shown;
        whenModalShows([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            shown = box->text() + QLatin1Char('|') + box->defaultButton()->text();
            box->checkBox()->setChecked(true);
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == QLatin1String("Connect"))
                    button->click();
            }
        });
        bool checked = false;
        const Prompts::Answer answer =
            prompts.checkedQuestion(nullptr, QStringLiteral("Go on in clear?"), QString(),
                                    QStringLiteral("Connect"), QStringLiteral("Always"), checked);
        QCOMPARE(answer, Prompts::Ok);
        QVERIFY(checked);
        QCOMPARE(shown, QStringLiteral("Go on in clear?|Cancel"));
    }

    // The input box opens with the name to edit selected up to its
    // extension; typing replaces the selection and the answer comes back.
    void inputBoxSelectsTheName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("selected");
        QTest::newRow("with an extension") << "report.2026.txt"
                                           << "report.2026";
        QTest::newRow("without") << "README"
                                 << "README";
        QTest::newRow("hidden file") << ".profile"
                                     << ".profile";
    }
    void inputBoxSelectsTheName() {
        QFETCH(QString, name);
        QFETCH(QString, selected);
        QString shown;
        whenModalShows([&shown](QWidget* modal) {
            auto* edit = modal->findChild<QLineEdit*>();
            QTimer::singleShot(0, modal, [edit, &shown] {
                shown = edit->selectedText();
                QTest::keyClicks(edit, QStringLiteral("new"));
                QTest::keyClick(edit, Qt::Key_Return);
            });
        });
        QtPrompts prompts;
        const QString answer =
            prompts.inputBox(nullptr, QStringLiteral("Enter new file name for ") + name,
                             QStringLiteral("Rename File"), name);
        QCOMPARE(shown, selected);
        QCOMPARE(answer, QStringLiteral("new") + name.mid(selected.size()));
    }
};

QTEST_MAIN(tst_QtPrompts)
#include "tst_QtPrompts.moc"
