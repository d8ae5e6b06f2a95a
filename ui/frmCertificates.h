#pragma once

#include <QDialog>

class QPushButton;
class QTreeWidget;

// The certificates the user chose to always trust, one row per server
// (host:port and fingerprint); "Forget" removes the selected one, so the
// next connect to that server asks again.
class frmCertificates : public QDialog {
    Q_OBJECT
public:
    explicit frmCertificates(QWidget* parent = nullptr);

    // Fills the list from the settings store.
    void reload();
    void cmdForget_Click();

    QTreeWidget* lstCertificates;
    QPushButton* cmdForget;
    QPushButton* cmdClose;
};
