#pragma once

#include "Prompts.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

// Prompts for tests: records every question and answers from a script, so no
// test ever blocks on a modal box. An unanswered question gets Cancel (or an
// empty text, or a rejected dialog) and is counted in unanswered.
class ScriptedPrompts : public Prompts {
public:
    enum Kind {
        MessageBox,
        InputBox,
        OpenFile,
        SaveFile,
        Folder,
        Dialog,
        CheckedQuestion,
        Password,
        Choice
    };

    struct Question {
        Kind kind;
        QString text; // message or prompt; the window title for a dialog
        QString title;
        Buttons buttons = OkOnly;
        Icon icon = NoIcon;
        QString value = {}; // the text or path the box or dialog opened with
    };

    using DialogScript = std::function<void(QDialog&)>;

    QList<Question> asked;
    QList<Answer> answers;       // message boxes and checked questions
    QList<bool> checks;          // the check box of checked questions
    QList<QString> texts;        // input boxes and file dialogs
    QList<QString> passwords;    // password boxes
    QList<DialogScript> dialogs; // modal windows: the script clicks a button
    int unanswered = 0;

    Answer messageBox(QWidget*, const QString& text, Buttons buttons, Icon icon,
                      const QString& title) override {
        asked << Question{MessageBox, text, title, buttons, icon};
        if (answers.isEmpty()) {
            ++unanswered;
            return buttons == OkOnly ? Ok : Cancel;
        }
        return answers.takeFirst();
    }

    Answer checkedQuestion(QWidget*, const QString& text, const QString& title,
                           const QString& acceptText, const QString&, bool& checked) override {
        asked << Question{CheckedQuestion, text, title, OkCancel, Exclamation};
        acceptTexts << acceptText;
        checked = !checks.isEmpty() && checks.takeFirst();
        if (answers.isEmpty()) {
            ++unanswered;
            return Cancel;
        }
        return answers.takeFirst();
    }
    QStringList acceptTexts; // the going-on button of each checked question

    // Choice boxes: the button's index (-1 closes the box), and the check box.
    QList<int> choices;
    QList<QStringList> fileLists; // open dialogs that pick several

    int choice(QWidget*, const QString& text, const QString& title, const QStringList& buttons,
               const QString&, bool& checked) override {
        asked << Question{Choice, text, title, OkOnly, NoIcon, buttons.join('|')};
        checked = !checks.isEmpty() && checks.takeFirst();
        if (choices.isEmpty()) {
            ++unanswered;
            return -1;
        }
        return choices.takeFirst();
    }

    // Several files from fileLists; else the one path of texts, as a
    // dialog for one file would answer.
    QStringList openFileNames(QWidget*, const QString& title, const QString& value,
                              const QString&) override {
        asked << Question{OpenFile, title, title, OkOnly, NoIcon, value};
        if (!fileLists.isEmpty())
            return fileLists.takeFirst();
        const QString one = takeText();
        return one.isEmpty() ? QStringList() : QStringList{one};
    }

    QString inputBox(QWidget*, const QString& prompt, const QString& title,
                     const QString& value) override {
        asked << Question{InputBox, prompt, title, OkOnly, NoIcon, value};
        return takeText();
    }

    std::optional<QString> passwordBox(QWidget*, const QString& prompt,
                                       const QString& title) override {
        asked << Question{Password, prompt, title};
        if (passwords.isEmpty()) {
            ++unanswered;
            return std::nullopt;
        }
        return passwords.takeFirst();
    }

    QString openFileName(QWidget*, const QString& title, const QString& value,
                         const QString&) override {
        asked << Question{OpenFile, title, title, OkOnly, NoIcon, value};
        return takeText();
    }

    QString saveFileName(QWidget*, const QString& title, const QString& value,
                         const QString&) override {
        asked << Question{SaveFile, title, title, OkOnly, NoIcon, value};
        return takeText();
    }

    QString existingDirectory(QWidget*, const QString& title, const QString& value) override {
        asked << Question{Folder, title, title, OkOnly, NoIcon, value};
        return takeText();
    }

    int execDialog(QDialog& dialog) override {
        asked << Question{Dialog, dialog.windowTitle(), dialog.windowTitle()};
        dialog.setResult(QDialog::Rejected);
        if (dialogs.isEmpty()) {
            ++unanswered;
            dialog.reject();
        } else {
            dialogs.takeFirst()(dialog);
        }
        return dialog.result();
    }

private:
    QString takeText() {
        if (texts.isEmpty()) {
            ++unanswered;
            return {};
        }
        return texts.takeFirst();
    }
};
