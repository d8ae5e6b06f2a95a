#pragma once

#include "Prompts.h"

// The real prompts: Qt's own message boxes and dialogs.
class QtPrompts : public Prompts {
public:
    Answer messageBox(QWidget* parent, const QString& text, Buttons buttons, Icon icon,
                      const QString& title) override;
    Answer checkedQuestion(QWidget* parent, const QString& text, const QString& title,
                           const QString& acceptText, const QString& checkText,
                           bool& checked) override;
    QString inputBox(QWidget* parent, const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    std::optional<QString> passwordBox(QWidget* parent, const QString& prompt,
                                       const QString& title) override;
    int choice(QWidget* parent, const QString& text, const QString& title,
               const QStringList& buttons, const QString& checkText, bool& checked) override;
    QStringList openFileNames(QWidget* parent, const QString& title, const QString& directory,
                              const QString& filter) override;
    QString openFileName(QWidget* parent, const QString& title, const QString& fileName,
                         const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& fileName,
                         const QString& filter) override;
    QString existingDirectory(QWidget* parent, const QString& title,
                              const QString& directory) override;
    int execDialog(QDialog& dialog) override;
};
