#pragma once

#include <QString>
#include <optional>
#include <QStringList>

class QDialog;
class QWidget;

// Every question, message box, input box, file dialog and modal window of the
// windows goes through this interface, so tests can answer them from a script
// instead of blocking on a modal box.
class Prompts {
public:
    enum Icon { NoIcon, Information, Exclamation, Question, Critical };
    enum Buttons { OkOnly, OkCancel, YesNoCancel, YesNo };
    // The answers carry the classic message box result numbers.
    enum Answer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

    virtual ~Prompts() = default;

    // A title left empty means the application's title.
    virtual Answer messageBox(QWidget* parent, const QString& text, Buttons buttons, Icon icon,
                              const QString& title) = 0;
    // A question with a button of its own that goes on (acceptText: Ok) or
    // Cancel, and a check box (checkText) whose state comes back in checked;
    // the box opens unchecked. Closed any other way, the answer is Cancel.
    virtual Answer checkedQuestion(QWidget* parent, const QString& text, const QString& title,
                                   const QString& acceptText, const QString& checkText,
                                   bool& checked) = 0;
    // The typed text; empty when the box was cancelled.
    virtual QString inputBox(QWidget* parent, const QString& prompt, const QString& title,
                             const QString& defaultText) = 0;
    // A password typed into a masked box; empty when the box was cancelled
    // (an empty password is a value).
    virtual std::optional<QString> passwordBox(QWidget* parent, const QString& prompt,
                                               const QString& title) = 0;
    // One of several buttons (their texts, in order), and a check box
    // (checkText, opens unchecked) whose state comes back in checked. The
    // index of the button; -1 when the box was closed without one.
    virtual int choice(QWidget* parent, const QString& text, const QString& title,
                       const QStringList& buttons, const QString& checkText, bool& checked) = 0;
    // The chosen paths of an open dialog that picks several; empty when cancelled.
    virtual QStringList openFileNames(QWidget* parent, const QString& title,
                                      const QString& directory, const QString& filter) = 0;
    // The chosen path; empty when the dialog was cancelled.
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& fileName,
                                 const QString& filter) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& fileName,
                                 const QString& filter) = 0;
    // A folder that exists; empty when the dialog was cancelled.
    virtual QString existingDirectory(QWidget* parent, const QString& title,
                                      const QString& directory) = 0;
    // Shows a window modally and returns its result code.
    virtual int execDialog(QDialog& dialog) = 0;
};
