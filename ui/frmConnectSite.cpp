#include "frmConnect.h"

#include "Prompts.h"
#include "ServerAddress.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

bool frmConnect::readAddress(const QString& hostText, QString& host, quint16& port) {
    auto refuse = [this](const QString& text, const QString& title) {
        m_Prompts.messageBox(this, text, Prompts::OkOnly, Prompts::Information, title);
        return false;
    };
    if (hostText.isEmpty())
        return refuse(tr("Enter a URL or click on Cancel button."), tr("Invalid URL"));
    const quint16 defaultPort =
        FtpSecurity::Mode(cboEncryption->currentData().toInt()) == FtpSecurity::Mode::Implicit
            ? ServerAddress::ImplicitTlsPort
            : ServerAddress::DefaultPort;
    port = defaultPort;
    QString error;
    if (!txtPort->text().isEmpty() && !ServerAddress::parsePort(txtPort->text(), port, error))
        return refuse(error, tr("Invalid port"));
    if (!ServerAddress::fromDialog(hostText, txtPort->text(), txtPort->isModified(), defaultPort,
                                   host, port, error))
        return refuse(error, tr("Invalid URL"));
    return true;
}

std::optional<Site> frmConnect::siteFromBoxes() {
    QString host;
    quint16 port = 0;
    if (!readAddress(txtURL->text().trimmed(), host, port))
        return std::nullopt;
    Site site;
    site.name = host;
    site.host = host.toLower();
    site.port = port;
    site.encryption = FtpSecurity::Mode(cboEncryption->currentData().toInt());
    // No user named is the engine's anonymous log-in, as on OK.
    if (chkAnonym->isChecked() || txtUserName->text().isEmpty()) {
        site.logOn = Site::LogOn::Anonymous;
    } else {
        site.user = txtUserName->text();
        // A password typed here is kept in the keyring; none typed, none kept.
        site.logOn = txtPassword->text().isEmpty() ? Site::LogOn::AskPassword : Site::LogOn::Normal;
    }
    return site;
}

void frmConnect::cmdSaveSite_Click() {
    if (m_SaveSite)
        m_SaveSite(*this);
}
