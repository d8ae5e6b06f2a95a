#pragma once

#include "FtpSecurity.h"
#include "Site.h"

#include <QDialog>
#include <functional>
#include <optional>

class Prompts;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The modal dialog in which the user names the server, its port and the
// log-in. Each connect command makes a fresh one, which opens with the host,
// port, user and anonymous choice confirmed last (never the password).
class frmConnect : public QDialog {
    Q_OBJECT
public:
    static const QString DefaultHost;
    static const QString PlaceholderEmail;

    explicit frmConnect(Prompts& prompts, QWidget* parent = nullptr);

    // 0 = connect (OK), 1 = cancelled (Cancel, Esc or the close box).
    qint32 Action() const { return m_Action; }
    // The host the session connects to, lower-cased, without a port: a port
    // typed into the host box is in Port().
    QString URL() const { return m_URL; }
    QString UserName() const { return m_UserName; }
    QString Password() const { return m_Password; }
    // The port the session connects to; 21 until OK.
    quint16 Port() const { return m_Port; }
    // The encryption chosen; explicit FTP over TLS if available by default.
    FtpSecurity::Mode Encryption() const { return m_Encryption; }

    // Replaces the design host text, for a host named on the command line; a
    // port in it ("host:2121") goes to the port box.
    void setHostText(const QString& host);

    void chkAnonym_Click();
    // Implicit TLS has its own default port: 990 replaces 21 when it is
    // chosen, and 21 comes back when another choice replaces it.
    void cboEncryption_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    // "Save as site": hands the dialog to the window, which keeps the site.
    void setSaveSite(std::function<void(frmConnect&)> save) { m_SaveSite = std::move(save); }
    void cmdSaveSite_Click();
    // The boxes as a site (the password apart); empty, with the reason
    // shown, when the host or port box cannot be used (frmConnectSite.cpp).
    std::optional<Site> siteFromBoxes();

    // Controls, named as in the design.
    QGroupBox* Frame1;
    QLineEdit* txtURL;
    QGroupBox* Frame2;
    QLineEdit* txtUserName;
    QGroupBox* Frame3;
    QLineEdit* txtPassword;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QLabel* Label1;
    QCheckBox* chkAnonym;
    QLabel* lblPort;
    QLineEdit* txtPort;
    QLabel* lblEncryption;
    QComboBox* cboEncryption;
    QPushButton* cmdSaveSite;

public slots:
    void reject() override;

private:
    // The host and port boxes as the session uses them; false, with the
    // reason shown, when they cannot be used (frmConnectSite.cpp).
    bool readAddress(const QString& hostText, QString& host, quint16& port);

    Prompts& m_Prompts;
    std::function<void(frmConnect&)> m_SaveSite;
    qint32 m_Action = 0;
    QString m_URL;
    QString m_UserName;
    QString m_Password;
    quint16 m_Port = 21;
    FtpSecurity::Mode m_Encryption = FtpSecurity::Mode::ExplicitIfAvailable;
    FtpSecurity::Mode m_ShownEncryption = FtpSecurity::Mode::ExplicitIfAvailable;
};
