// The main window's saved sites and links: the site manager, connecting
// with a site, and the ftp://, ftps:// and ftpes:// links of the command line.
#include "frmMain.h"

#include "FileListView.h"
#include "FtpUrl.h"
#include "Keyring.h"
#include "Prompts.h"
#include "SecretKeyring.h"
#include "ServerAddress.h"
#include "Site.h"
#include "SiteManager.h"
#include "SiteStore.h"
#include "frmConnect.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>

namespace {

const QString Anonymous = QStringLiteral("anonymous");

bool isAnonymous(const QString& user) {
    return user.isEmpty() || user.compare(Anonymous, Qt::CaseInsensitive) == 0 ||
           user.compare(QLatin1String("ftp"), Qt::CaseInsensitive) == 0;
}

} // namespace

Keyring& frmMain::keyring() {
    if (!m_Keyring) {
        m_OwnKeyring = std::make_unique<SecretKeyring>();
        m_Keyring = m_OwnKeyring.get();
    }
    return *m_Keyring;
}

void frmMain::mnuSiteManager_Click() {
    SiteManager dialog(m_Prompts, keyring(), this);
    m_Prompts.execDialog(dialog);
    if (!dialog.connectId().isEmpty())
        connectToSite(dialog.connectId());
}

std::optional<QString> frmMain::askPassword(const Site& site, const QString& why) {
    const QString server = ServerAddress::display(site.host, site.port,
                                                  site.encryption == FtpSecurity::Mode::Implicit
                                                      ? ServerAddress::ImplicitTlsPort
                                                      : ServerAddress::DefaultPort);
    const QString prompt = why.isEmpty()
                               ? tr("Password for %1 on %2:").arg(site.user, server)
                               : tr("%3\n\nPassword for %1 on %2:").arg(site.user, server, why);
    return m_Prompts.passwordBox(this, prompt, tr("Password"));
}

void frmMain::connectToSite(const QString& id) {
    runCommand([this, id] {
        const SiteList list = SiteStore::load();
        const Site* saved = list.find(id);
        if (!saved)
            return;
        Site site = *saved;
        if (site.host.isEmpty() || site.port == 0) {
            ask(tr("The site %1 names no host or port. File > Site Manager completes it.")
                    .arg(site.path()),
                Prompts::OkOnly, Prompts::Exclamation);
            return;
        }
        QString password;
        if (site.logOn == Site::LogOn::Anonymous) {
            site.user = Anonymous;
            password = frmConnect::PlaceholderEmail;
        } else {
            QString why;
            if (site.logOn == Site::LogOn::Normal) {
                const Keyring::Result kept = keyring().read(site.keyringKey());
                if (kept.status == Keyring::Status::Ok)
                    password = kept.password;
                else if (kept.status == Keyring::Status::NotFound)
                    why = tr("The keyring holds no password for %1.").arg(site.path());
                else
                    why = tr("The desktop keyring cannot be used (%1), so Krellin asks for the "
                             "password each time and keeps no copy of it.")
                              .arg(kept.error);
            }
            if (site.logOn == Site::LogOn::AskPassword || !why.isEmpty()) {
                const std::optional<QString> typed = askPassword(site, why);
                if (!typed)
                    return;
                password = *typed;
            }
        }
        ConnectBody(site, password);
    });
}

void frmMain::saveSiteFromDialog(frmConnect& dialog) {
    std::optional<Site> site = dialog.siteFromBoxes();
    if (!site)
        return;
    site->passive = Check1->isChecked();
    site->name =
        m_Prompts.inputBox(&dialog, tr("Name of the new site:"), tr("Save as site"), site->name)
            .trimmed()
            .replace(QLatin1Char('/'), QLatin1Char('-'));
    if (site->name.isEmpty())
        return;
    SiteList list = SiteStore::load();
    const QString id = list.add(*site);
    Site& saved = *list.find(id);
    QString problem;
    if (saved.logOn == Site::LogOn::Normal) {
        const Keyring::Result kept =
            keyring().write(saved.keyringKey(), dialog.txtPassword->text());
        if (kept.status != Keyring::Status::Ok) {
            // Nowhere safe to keep it: the site asks at each connect.
            saved.logOn = Site::LogOn::AskPassword;
            problem = kept.error;
        }
    }
    SiteStore::save(list);
    if (!problem.isEmpty())
        m_Prompts.messageBox(&dialog,
                             tr("The site %1 is saved, but the desktop keyring did not keep its "
                                "password (%2). Krellin will ask for it at each connect.")
                                 .arg(saved.path(), problem),
                             Prompts::OkOnly, Prompts::Exclamation, tr("Save as site"));
    else
        setStatusText(tr("Site %1 saved.").arg(saved.path()));
}

void frmMain::openStartArgument(const QString& argument) {
    if (!argument.contains(QLatin1String("://"))) {
        setInitialHost(argument);
        return;
    }
    QTimer::singleShot(0, this, [this, argument] { openLink(argument); });
}

void frmMain::openLink(const QString& link) {
    QString error;
    const std::optional<FtpUrl> url = FtpUrl::parse(link.trimmed(), &error);
    if (!url) {
        ask(tr("This link cannot be opened: %1.").arg(error), Prompts::OkOnly, Prompts::Exclamation,
            tr("Open link"));
        return;
    }
    Site site;
    site.host = url->host;
    site.port = url->port;
    // A plain ftp:// link still gets TLS where the server offers it, and a
    // question before the password goes out in clear: a downgrade is never silent.
    site.encryption = url->security == FtpSecurity::Mode::Plain
                          ? FtpSecurity::Mode::ExplicitIfAvailable
                          : url->security;
    site.passive = Check1->isChecked();
    site.remoteFolder = url->directory;
    site.user = url->userName;
    QString password = url->password;
    if (isAnonymous(site.user)) {
        site.user = Anonymous;
        if (password.isEmpty())
            password = frmConnect::PlaceholderEmail;
    } else if (password.isEmpty()) {
        const std::optional<QString> typed = askPassword(site, QString());
        if (!typed)
            return;
        password = *typed;
    }
    runCommand([this, site, password] { ConnectBody(site, password); });
}

void frmMain::openStartFolder(const QString& path) {
    m_StartFile.clear();
    m_StartFolderProblem.clear();
    if (path.isEmpty())
        return;
    auto change = [this](const QString& folder) {
        return engineCall(tr("opening %1").arg(folder),
                          [&](CFtpConnection& c) { return c.SetCurrentDirectory(folder); });
    };
    if (!change(path)) {
        const qint32 n = engine().FtpGetLastError();
        if (isConnectionLost(n))
            return;
        m_StartFolderProblem = tr("%1 cannot be opened.\n\n%2").arg(path, failureReason(n));
        // A path naming a file: its folder opens and the file is selected.
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        const QString folder = slash < 0    ? QString()
                               : slash == 0 ? QStringLiteral("/")
                                            : path.left(slash);
        m_StartFile = path.mid(slash + 1);
        if (m_StartFile.isEmpty() || (!folder.isEmpty() && !change(folder))) {
            m_StartFile.clear();
            ask(m_StartFolderProblem, Prompts::OkOnly, Prompts::Exclamation);
            m_StartFolderProblem.clear();
        }
    }
    // The tree is built from where the server says the session is.
    engineCall(tr("reading the current folder"),
               [](CFtpConnection& c) { return c.GetCurrentDirectory(); });
}

void frmMain::selectStartFile() {
    const QString name = std::exchange(m_StartFile, QString());
    const QString problem = std::exchange(m_StartFolderProblem, QString());
    if (name.isEmpty())
        return;
    if (lvListView->rowOfName(name) >= 0 && lvListView->selectKey(QLatin1Char('F') + name)) {
        setStatusText(tr("%1 is a file: its folder is shown.").arg(name));
        return;
    }
    ask(problem, Prompts::OkOnly, Prompts::Exclamation);
}
