#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

// Modeless window that shows a server's welcome or directory message. The
// caller sets the caption and the text, then shows it without waiting.
class frmWelcomeMessage : public QDialog {
    Q_OBJECT
public:
    explicit frmWelcomeMessage(QWidget* parent = nullptr);

    void setMessage(const QString& text);
    void cmdClose_Click();

    QPlainTextEdit* Text1;
    QPushButton* cmdClose;
};
