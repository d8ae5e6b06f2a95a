#include "QtPrompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

Prompts::Answer QtPrompts::messageBox(QWidget* parent, const QString& text, Buttons buttons,
                                      Icon icon, const QString& title) {
    QMessageBox box(parent);
    box.setWindowTitle(title.isEmpty() ? QApplication::applicationDisplayName() : title);
    box.setText(text);
    switch (icon) {
    case NoIcon:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    switch (buttons) {
    case OkOnly:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Ok;
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        // A Yes/No box closed with Esc or its close box answers No.
        return No;
    default:
        return buttons == YesNo ? No : (buttons == OkOnly ? Ok : Cancel);
    }
}

Prompts::Answer QtPrompts::checkedQuestion(QWidget* parent, const QString& text,
                                           const QString& title, const QString& acceptText,
                                           const QString& checkText, bool& checked) {
    QMessageBox box(parent);
    box.setWindowTitle(title.isEmpty() ? QApplication::applicationDisplayName() : title);
    box.setText(text);
    box.setIcon(QMessageBox::Warning);
    QPushButton* accept = box.addButton(acceptText, QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    // Going on is the choice that costs something: Enter does not make it.
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    auto* check = new QCheckBox(checkText, &box);
    box.setCheckBox(check);
    box.exec();
    checked = check->isChecked();
    return box.clickedButton() == accept ? Ok : Cancel;
}

QString QtPrompts::inputBox(QWidget* parent, const QString& prompt, const QString& title,
                            const QString& defaultText) {
    QInputDialog box(parent);
    box.setWindowTitle(title.isEmpty() ? QApplication::applicationDisplayName() : title);
    box.setLabelText(prompt);
    box.setInputMode(QInputDialog::TextInput);
    box.setTextValue(defaultText);
    // A name to edit opens selected up to its extension, as file managers
    // do: typing replaces the name and keeps ".txt".
    if (auto* edit = box.findChild<QLineEdit*>()) {
        const qsizetype dot = defaultText.lastIndexOf(QLatin1Char('.'));
        const int selected = int(dot > 0 ? dot : defaultText.size());
        QTimer::singleShot(0, edit, [edit, selected] { edit->setSelection(0, selected); });
    }
    if (box.exec() != QDialog::Accepted)
        return {};
    return box.textValue();
}

std::optional<QString> QtPrompts::passwordBox(QWidget* parent, const QString& prompt,
                                              const QString& title) {
    bool ok = false;
    const QString text = QInputDialog::getText(
        parent, title.isEmpty() ? QApplication::applicationDisplayName() : title, prompt,
        QLineEdit::Password, QString(), &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

int QtPrompts::choice(QWidget* parent, const QString& text, const QString& title,
                      const QStringList& buttons, const QString& checkText, bool& checked) {
    QMessageBox box(parent);
    box.setWindowTitle(title.isEmpty() ? QApplication::applicationDisplayName() : title);
    box.setText(text);
    box.setIcon(QMessageBox::Question);
    QList<QPushButton*> pushed;
    for (const QString& button : buttons)
        pushed << box.addButton(button, QMessageBox::AcceptRole);
    auto* check = new QCheckBox(checkText, &box);
    if (!checkText.isEmpty())
        box.setCheckBox(check);
    box.exec();
    checked = check->isChecked();
    return int(pushed.indexOf(static_cast<QPushButton*>(box.clickedButton())));
}

QStringList QtPrompts::openFileNames(QWidget* parent, const QString& title,
                                     const QString& directory, const QString& filter) {
    return QFileDialog::getOpenFileNames(parent, title, directory, filter);
}

QString QtPrompts::openFileName(QWidget* parent, const QString& title, const QString& fileName,
                                const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, fileName, filter);
}

QString QtPrompts::saveFileName(QWidget* parent, const QString& title, const QString& fileName,
                                const QString& filter) {
    // No "replace?" question: the download asks its own about an existing
    // file, offering to append to it.
    return QFileDialog::getSaveFileName(parent, title, fileName, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString QtPrompts::existingDirectory(QWidget* parent, const QString& title,
                                     const QString& directory) {
    return QFileDialog::getExistingDirectory(parent, title, directory);
}

int QtPrompts::execDialog(QDialog& dialog) {
    return dialog.exec();
}
