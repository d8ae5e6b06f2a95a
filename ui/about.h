#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The About window. "Ok" hides it without destroying it, so the next "About"
// shows the same window again.
class about : public QDialog {
    Q_OBJECT
public:
    static const QString RightsHolder;
    static const QString LegalNotice;

    explicit about(QWidget* parent = nullptr);

    void Command1_Click();

    QLabel* Label1; // product and version
    QLabel* Label2; // rights holder
    QLabel* Label4; // legal notice
    QLabel* imgIcon;
    QPushButton* Command1;
};
