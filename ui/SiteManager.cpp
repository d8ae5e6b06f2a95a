#include "SiteManager.h"

#include "Artwork.h"
#include "Keyring.h"
#include "Prompts.h"
#include "ServerAddress.h"
#include "SiteStore.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int KindRole = Qt::UserRole;
constexpr int KeyRole = Qt::UserRole + 1;

QString parentFolder(const QString& folder) {
    const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : folder.left(slash);
}

QString lastPiece(const QString& folder) {
    return folder.mid(folder.lastIndexOf(QLatin1Char('/')) + 1);
}

bool inFolder(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

} // namespace

SiteManager::SiteManager(Prompts& prompts, Keyring& keyring, QWidget* parent)
    : QDialog(parent), m_Prompts(prompts), m_Keyring(keyring), m_List(SiteStore::load()),
      m_Original(m_List) {
    setWindowTitle(tr("Site Manager"));
    setWindowIcon(Artwork::programIcon());

    tvSites = new QTreeWidget(this);
    tvSites->setHeaderHidden(true);
    tvSites->setMinimumWidth(fontMetrics().averageCharWidth() * 28);
    cmdNewSite = new QPushButton(tr("&New Site"), this);
    cmdNewFolder = new QPushButton(tr("New &Folder"), this);
    cmdRename = new QPushButton(tr("Rena&me"), this);
    cmdDelete = new QPushButton(tr("&Delete"), this);
    cmdExport = new QPushButton(tr("E&xport..."), this);
    cmdImport = new QPushButton(tr("&Import..."), this);
    auto* treeButtons = new QGridLayout;
    treeButtons->addWidget(cmdNewSite, 0, 0);
    treeButtons->addWidget(cmdNewFolder, 0, 1);
    treeButtons->addWidget(cmdRename, 1, 0);
    treeButtons->addWidget(cmdDelete, 1, 1);
    treeButtons->addWidget(cmdExport, 2, 0);
    treeButtons->addWidget(cmdImport, 2, 1);
    auto* left = new QVBoxLayout;
    left->addWidget(tvSites, 1);
    left->addLayout(treeButtons);

    fraSite = new QWidget(this);
    auto* form = new QFormLayout(fraSite);
    form->setContentsMargins(0, 0, 0, 0);
    cboFolder = new QComboBox(fraSite);
    cboFolder->setEditable(true);
    cboFolder->setInsertPolicy(QComboBox::NoInsert);
    txtHost = new QLineEdit(fraSite);
    txtPort = new QLineEdit(fraSite);
    txtPort->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), txtPort));
    txtPort->setMaximumWidth(fontMetrics().averageCharWidth() * 10);
    auto* hostRow = new QHBoxLayout;
    hostRow->addWidget(txtHost, 1);
    auto* lblPort = new QLabel(tr("P&ort:"), fraSite);
    lblPort->setBuddy(txtPort);
    hostRow->addWidget(lblPort);
    hostRow->addWidget(txtPort);
    cboEncryption = new QComboBox(fraSite);
    for (FtpSecurity::Mode mode :
         {FtpSecurity::Mode::ExplicitIfAvailable, FtpSecurity::Mode::ExplicitRequired,
          FtpSecurity::Mode::Implicit, FtpSecurity::Mode::Plain})
        cboEncryption->addItem(FtpSecurity::modeText(mode), int(mode));
    cboLogOn = new QComboBox(fraSite);
    cboLogOn->addItem(tr("Anonymous"), int(Site::LogOn::Anonymous));
    cboLogOn->addItem(tr("Normal"), int(Site::LogOn::Normal));
    cboLogOn->addItem(tr("Ask for password"), int(Site::LogOn::AskPassword));
    txtUser = new QLineEdit(fraSite);
    txtPassword = new QLineEdit(fraSite);
    txtPassword->setEchoMode(QLineEdit::Password);
    lblKeyring = new QLabel(fraSite);
    lblKeyring->setWordWrap(true);
    lblKeyring->hide();
    txtRemoteFolder = new QLineEdit(fraSite);
    txtLocalFolder = new QLineEdit(fraSite);
    cmdBrowseLocal = new QPushButton(tr("&Browse..."), fraSite);
    auto* localRow = new QHBoxLayout;
    localRow->addWidget(txtLocalFolder, 1);
    localRow->addWidget(cmdBrowseLocal);
    optPassive = new QRadioButton(tr("&Passive"), fraSite);
    optActive = new QRadioButton(tr("Acti&ve"), fraSite);
    auto* modes = new QButtonGroup(fraSite);
    modes->addButton(optPassive);
    modes->addButton(optActive);
    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(optPassive);
    modeRow->addWidget(optActive);
    modeRow->addStretch(1);
    txtComment = new QPlainTextEdit(fraSite);
    txtComment->setTabChangesFocus(true);
    // Rows whose field is a layout get their labels made here, for the buddy.
    auto label = [this](const QString& text, QWidget* buddy) {
        auto* made = new QLabel(text, fraSite);
        made->setBuddy(buddy);
        return made;
    };
    form->addRow(tr("Folder:"), cboFolder);
    form->addRow(label(tr("&Host:"), txtHost), hostRow);
    form->addRow(tr("&Encryption:"), cboEncryption);
    form->addRow(tr("&Log-on type:"), cboLogOn);
    form->addRow(tr("&User:"), txtUser);
    form->addRow(tr("Pass&word:"), txtPassword);
    form->addRow(QString(), lblKeyring);
    form->addRow(tr("&Remote folder:"), txtRemoteFolder);
    form->addRow(label(tr("Loc&al folder:"), txtLocalFolder), localRow);
    form->addRow(tr("Transfer mode:"), modeRow);
    form->addRow(tr("Commen&t:"), txtComment);

    auto* buttons = new QDialogButtonBox(this);
    cmdConnect = buttons->addButton(tr("&Connect"), QDialogButtonBox::AcceptRole);
    cmdOK = buttons->addButton(QDialogButtonBox::Ok);
    cmdCancel = buttons->addButton(QDialogButtonBox::Cancel);
    cmdConnect->setDefault(true);

    auto* panes = new QHBoxLayout;
    panes->addLayout(left, 2);
    panes->addWidget(fraSite, 3);
    auto* all = new QVBoxLayout(this);
    all->addLayout(panes, 1);
    all->addWidget(buttons);

    connect(tvSites, &QTreeWidget::currentItemChanged, this, [this] { showCurrent(); });
    connect(tvSites, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (item->data(0, KindRole).toInt() == SiteItem)
            cmdConnect_Click();
    });
    connect(cmdNewSite, &QPushButton::clicked, this, [this] { cmdNewSite_Click(); });
    connect(cmdNewFolder, &QPushButton::clicked, this, [this] { cmdNewFolder_Click(); });
    connect(cmdRename, &QPushButton::clicked, this, [this] { cmdRename_Click(); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { cmdDelete_Click(); });
    connect(cmdExport, &QPushButton::clicked, this, [this] { cmdExport_Click(); });
    connect(cmdImport, &QPushButton::clicked, this, [this] { cmdImport_Click(); });
    connect(cmdConnect, &QPushButton::clicked, this, [this] { cmdConnect_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdBrowseLocal, &QPushButton::clicked, this, [this] {
        const QString folder =
            m_Prompts.existingDirectory(this, tr("Local folder"), txtLocalFolder->text());
        if (!folder.isEmpty()) {
            txtLocalFolder->setText(QDir::toNativeSeparators(folder));
            formToSite();
        }
    });
    for (QLineEdit* box : {txtHost, txtPort, txtUser, txtRemoteFolder, txtLocalFolder})
        connect(box, &QLineEdit::textEdited, this, [this] { formToSite(); });
    connect(txtPassword, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (const Site* site = currentSite())
            m_Passwords.insert(site->id, text);
    });
    connect(txtComment, &QPlainTextEdit::textChanged, this, [this] { formToSite(); });
    connect(optPassive, &QRadioButton::toggled, this, [this] { formToSite(); });
    connect(cboEncryption, &QComboBox::currentIndexChanged, this, [this] {
        // Implicit TLS has its own port; the plain one comes back with the others.
        if (m_Filling)
            return;
        const bool implicit =
            FtpSecurity::Mode(cboEncryption->currentData().toInt()) == FtpSecurity::Mode::Implicit;
        const QString port = txtPort->text();
        if (implicit && (port.isEmpty() || port == QString::number(ServerAddress::DefaultPort)))
            txtPort->setText(QString::number(ServerAddress::ImplicitTlsPort));
        else if (!implicit && port == QString::number(ServerAddress::ImplicitTlsPort))
            txtPort->setText(QString::number(ServerAddress::DefaultPort));
        formToSite();
    });
    connect(cboLogOn, &QComboBox::currentIndexChanged, this, [this] {
        if (m_Filling)
            return; // siteToForm asks the keyring once, at its end
        formToSite();
        updateLogOn();
    });
    connect(cboFolder, &QComboBox::activated, this, [this] { moveToFolder(); });
    connect(cboFolder->lineEdit(), &QLineEdit::editingFinished, this, [this] { moveToFolder(); });

    fillTree();
    // The first site in the tree's order, else whatever comes first.
    for (QTreeWidgetItemIterator it(tvSites); *it; ++it) {
        if ((*it)->data(0, KindRole).toInt() == SiteItem) {
            tvSites->setCurrentItem(*it);
            break;
        }
    }
    if (!tvSites->currentItem() && tvSites->topLevelItemCount() > 0)
        tvSites->setCurrentItem(tvSites->topLevelItem(0));
    showCurrent();
    resize(sizeHint().expandedTo(
        QSize(fontMetrics().averageCharWidth() * 90, fontMetrics().height() * 28)));
}

// ------------------------------------------------------------ the tree

void SiteManager::fillTree() {
    const QString site = currentSiteId();
    const QString folder = site.isEmpty() ? currentFolder() : QString();
    m_Filling = true;
    tvSites->clear();
    QHash<QString, QTreeWidgetItem*> folders;
    QStringList paths = m_List.folders;
    std::sort(paths.begin(), paths.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    for (const QString& path : std::as_const(paths)) {
        QTreeWidgetItem* parent = folders.value(parentFolder(path));
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tvSites);
        item->setText(0, lastPiece(path));
        item->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
        item->setData(0, KindRole, FolderItem);
        item->setData(0, KeyRole, path);
        folders.insert(path, item);
    }
    QList<const Site*> sites;
    for (const Site& s : std::as_const(m_List.sites))
        sites << &s;
    std::sort(sites.begin(), sites.end(), [](const Site* a, const Site* b) {
        return a->name.compare(b->name, Qt::CaseInsensitive) < 0;
    });
    for (const Site* s : std::as_const(sites)) {
        QTreeWidgetItem* parent = folders.value(s->folder);
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tvSites);
        item->setText(0, s->name);
        item->setToolTip(0, s->comment);
        item->setIcon(0, style()->standardIcon(QStyle::SP_DriveNetIcon));
        item->setData(0, KindRole, SiteItem);
        item->setData(0, KeyRole, s->id);
    }
    tvSites->expandAll();
    cboFolder->clear();
    cboFolder->addItem(QString());
    cboFolder->addItems(paths);
    m_Filling = false;
    if (!(site.isEmpty() ? selectFolder(folder) : selectSite(site)))
        showCurrent();
}

bool SiteManager::selectSite(const QString& id) {
    return selectItem(SiteItem, id);
}

bool SiteManager::selectFolder(const QString& folder) {
    return selectItem(FolderItem, folder);
}

bool SiteManager::selectItem(int kind, const QString& key) {
    for (QTreeWidgetItemIterator it(tvSites); *it; ++it) {
        if ((*it)->data(0, KindRole).toInt() == kind && (*it)->data(0, KeyRole) == key) {
            tvSites->setCurrentItem(*it);
            return true;
        }
    }
    return false;
}

QString SiteManager::currentSiteId() const {
    const QTreeWidgetItem* item = tvSites->currentItem();
    return item && item->data(0, KindRole).toInt() == SiteItem ? item->data(0, KeyRole).toString()
                                                               : QString();
}

QString SiteManager::currentFolder() const {
    const QTreeWidgetItem* item = tvSites->currentItem();
    return item && item->data(0, KindRole).toInt() == FolderItem ? item->data(0, KeyRole).toString()
                                                                 : QString();
}

Site* SiteManager::currentSite() {
    return m_List.find(currentSiteId());
}

QString SiteManager::targetFolder() const {
    if (const Site* site = m_List.find(currentSiteId()))
        return site->folder;
    return currentFolder();
}

// ------------------------------------------------------------ the form

void SiteManager::showCurrent() {
    if (m_Filling)
        return;
    const Site* site = currentSite();
    fraSite->setEnabled(site != nullptr);
    siteToForm(site ? *site : Site());
    updateButtons();
}

void SiteManager::siteToForm(const Site& site) {
    m_Filling = true;
    cboFolder->setCurrentText(site.folder);
    txtHost->setText(site.host);
    txtPort->setText(site.host.isEmpty() && site.id.isEmpty() ? QString()
                                                              : QString::number(site.port));
    cboEncryption->setCurrentIndex(cboEncryption->findData(int(site.encryption)));
    cboLogOn->setCurrentIndex(cboLogOn->findData(int(site.logOn)));
    txtUser->setText(site.user);
    txtRemoteFolder->setText(site.remoteFolder);
    txtLocalFolder->setText(site.localFolder);
    optPassive->setChecked(site.passive);
    optActive->setChecked(!site.passive);
    txtComment->setPlainText(site.comment);
    m_Filling = false;
    updateLogOn();
}

void SiteManager::formToSite() {
    Site* site = currentSite();
    if (m_Filling || !site)
        return;
    site->host = txtHost->text().trimmed();
    bool ok = false;
    const uint port = txtPort->text().toUInt(&ok);
    // A box left empty or out of range is caught when the sites are kept.
    site->port = ok && port >= 1 && port <= 65535 ? quint16(port) : 0;
    site->encryption = FtpSecurity::Mode(cboEncryption->currentData().toInt());
    site->logOn = Site::LogOn(cboLogOn->currentData().toInt());
    site->user = txtUser->text();
    site->remoteFolder = txtRemoteFolder->text();
    site->localFolder = txtLocalFolder->text();
    site->passive = optPassive->isChecked();
    site->comment = txtComment->toPlainText();
    if (QTreeWidgetItem* item = tvSites->currentItem())
        item->setToolTip(0, site->comment);
}

void SiteManager::moveToFolder() {
    Site* site = currentSite();
    if (m_Filling || !site)
        return;
    const QString folder = SiteStore::normalFolder(cboFolder->currentText());
    if (folder == site->folder)
        return;
    site->folder = folder;
    site->name = m_List.uniqueName(folder, site->name, site->id);
    m_List.addFolder(folder);
    // Not from inside the combo box's own signal: the tree refills it.
    QMetaObject::invokeMethod(
        this, [this] { fillTree(); }, Qt::QueuedConnection);
}

void SiteManager::updateLogOn() {
    const auto logOn = Site::LogOn(cboLogOn->currentData().toInt());
    const Site* site = currentSite();
    txtUser->setEnabled(logOn != Site::LogOn::Anonymous);
    const bool kept = logOn == Site::LogOn::Normal && site;
    txtPassword->setEnabled(kept);
    lblKeyring->hide();
    m_Filling = true;
    txtPassword->clear();
    m_Filling = false;
    if (!kept)
        return;
    if (m_Passwords.contains(site->id)) {
        txtPassword->setText(m_Passwords.value(site->id));
    } else if (m_KeyringProblem.isEmpty()) {
        const Keyring::Result stored = m_Keyring.read(site->keyringKey());
        if (stored.status == Keyring::Status::Ok)
            txtPassword->setText(stored.password);
        else if (stored.status != Keyring::Status::NotFound)
            m_KeyringProblem = stored.error.isEmpty() ? tr("no answer") : stored.error;
    }
    if (!m_KeyringProblem.isEmpty()) {
        // Nowhere safe to keep it: the password is asked at each connect.
        txtPassword->setEnabled(false);
        lblKeyring->setText(tr("The desktop keyring cannot be used (%1). Krellin will ask for "
                               "the password at each connect and keeps no copy of it.")
                                .arg(m_KeyringProblem));
        lblKeyring->show();
    }
}

void SiteManager::updateButtons() {
    const bool site = !currentSiteId().isEmpty();
    const bool folder = !currentFolder().isEmpty();
    cmdRename->setEnabled(site || folder);
    cmdDelete->setEnabled(site || folder);
    cmdConnect->setEnabled(site);
    cmdExport->setEnabled(!m_List.sites.isEmpty());
}

// ------------------------------------------------------------ commands

void SiteManager::cmdNewSite_Click() {
    Site site;
    site.folder = targetFolder();
    site.name = tr("New site");
    site.host = QString();
    const QString id = m_List.add(site);
    fillTree();
    selectSite(id);
    txtHost->setFocus();
}

void SiteManager::cmdNewFolder_Click() {
    const QString name =
        m_Prompts.inputBox(this, tr("Name of the new folder:"), tr("New Folder"), tr("New folder"))
            .trimmed();
    if (name.isEmpty())
        return;
    if (name.contains(QLatin1Char('/'))) {
        m_Prompts.messageBox(this, tr("A folder name cannot hold \"/\"."), Prompts::OkOnly,
                             Prompts::Exclamation, tr("New Folder"));
        return;
    }
    const QString parent = targetFolder();
    const QString path = parent.isEmpty() ? name : parent + QLatin1Char('/') + name;
    m_List.addFolder(path);
    fillTree();
    selectFolder(path);
}

void SiteManager::cmdRename_Click() {
    Site* site = currentSite();
    const QString folder = currentFolder();
    if (!site && folder.isEmpty())
        return;
    const QString old = site ? site->name : lastPiece(folder);
    const QString name =
        m_Prompts.inputBox(this, tr("New name of %1:").arg(old), tr("Rename"), old).trimmed();
    if (name.isEmpty() || name == old)
        return;
    if (name.contains(QLatin1Char('/'))) {
        m_Prompts.messageBox(this, tr("A name cannot hold \"/\"."), Prompts::OkOnly,
                             Prompts::Exclamation, tr("Rename"));
        return;
    }
    if (site) {
        site->name = m_List.uniqueName(site->folder, name, site->id);
        fillTree();
        return;
    }
    const QString parent = parentFolder(folder);
    const QString renamed = parent.isEmpty() ? name : parent + QLatin1Char('/') + name;
    auto move = [&](const QString& path) { return renamed + path.mid(folder.size()); };
    for (QString& path : m_List.folders) {
        if (inFolder(path, folder))
            path = move(path);
    }
    m_List.folders.removeDuplicates();
    for (Site& s : m_List.sites) {
        if (inFolder(s.folder, folder)) {
            s.folder = move(s.folder);
            s.name = m_List.uniqueName(s.folder, s.name, s.id);
        }
    }
    fillTree();
    selectFolder(renamed);
}

void SiteManager::cmdDelete_Click() {
    if (const Site* site = currentSite()) {
        if (m_Prompts.messageBox(this, tr("Delete the site %1?").arg(site->path()), Prompts::YesNo,
                                 Prompts::Question, tr("Delete")) != Prompts::Yes)
            return;
        const QString folder = site->folder;
        m_Passwords.remove(site->id);
        m_List.sites.removeIf([id = site->id](const Site& s) { return s.id == id; });
        fillTree();
        selectFolder(folder);
        return;
    }
    const QString folder = currentFolder();
    if (folder.isEmpty())
        return;
    const auto count = std::count_if(m_List.sites.begin(), m_List.sites.end(),
                                     [&](const Site& s) { return inFolder(s.folder, folder); });
    const QString question =
        count == 0
            ? tr("Delete the folder %1?").arg(folder)
            : tr("Delete the folder %1 and the %n site(s) in it?", nullptr, int(count)).arg(folder);
    if (m_Prompts.messageBox(this, question, Prompts::YesNo, Prompts::Question, tr("Delete")) !=
        Prompts::Yes)
        return;
    m_List.sites.removeIf([&](const Site& s) { return inFolder(s.folder, folder); });
    m_List.folders.removeIf([&](const QString& path) { return inFolder(path, folder); });
    fillTree();
    selectFolder(parentFolder(folder));
}

void SiteManager::cmdExport_Click() {
    const QString path = m_Prompts.saveFileName(
        this, tr("Export sites"), QDir::home().filePath(QStringLiteral("krellin-sites.json")),
        tr("Krellin sites (*.json);;All Files (*)"));
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path) &&
        m_Prompts.messageBox(this, tr("%1 already exists. Replace it?").arg(path), Prompts::YesNo,
                             Prompts::Question, tr("Export sites")) != Prompts::Yes)
        return;
    QString error;
    if (!SiteStore::exportTo(path, m_List, &error)) {
        m_Prompts.messageBox(this, error, Prompts::OkOnly, Prompts::Critical, tr("Export sites"));
        return;
    }
    m_Prompts.messageBox(this,
                         tr("%n site(s) exported to %1. Passwords are not part of the file.",
                            nullptr, int(m_List.sites.size()))
                             .arg(path),
                         Prompts::OkOnly, Prompts::Information, tr("Export sites"));
}

void SiteManager::cmdImport_Click() {
    const QString path = m_Prompts.openFileName(this, tr("Import sites"), QDir::homePath(),
                                                tr("Krellin sites (*.json);;All Files (*)"));
    if (path.isEmpty())
        return;
    QString error;
    const std::optional<SiteList> imported = SiteStore::importFrom(path, &error);
    if (!imported) {
        m_Prompts.messageBox(this, error, Prompts::OkOnly, Prompts::Critical, tr("Import sites"));
        return;
    }
    for (const QString& folder : imported->folders)
        m_List.addFolder(folder);
    QString last;
    for (const Site& site : imported->sites)
        last = m_List.add(site);
    fillTree();
    selectSite(last);
    m_Prompts.messageBox(this,
                         tr("%n site(s) imported from %1. Passwords are not part of the file: "
                            "type them here, or Krellin asks for them at connect.",
                            nullptr, int(imported->sites.size()))
                             .arg(path),
                         Prompts::OkOnly, Prompts::Information, tr("Import sites"));
}

bool SiteManager::commit() {
    for (const Site& site : std::as_const(m_List.sites)) {
        QString reason;
        if (site.host.isEmpty())
            reason = tr("The site %1 names no host.").arg(site.path());
        else if (site.port == 0)
            reason = tr("The port of %1 is not a number from 1 to 65535.").arg(site.path());
        else if (site.logOn != Site::LogOn::Anonymous && site.user.isEmpty())
            reason = tr("The site %1 names no user.").arg(site.path());
        else if (site.user.contains(QLatin1Char('\n')) || site.user.contains(QLatin1Char('\r')))
            reason = tr("The user of %1 holds a line break.").arg(site.path());
        if (!reason.isEmpty()) {
            selectSite(site.id);
            m_Prompts.messageBox(this, reason, Prompts::OkOnly, Prompts::Exclamation,
                                 tr("Site Manager"));
            return false;
        }
    }
    SiteStore::save(m_List);
    // A password is dropped from the keyring with its site, or when the
    // site no longer keeps one.
    for (const Site& before : std::as_const(m_Original.sites)) {
        const Site* now = m_List.find(before.id);
        if (before.logOn == Site::LogOn::Normal && (!now || now->logOn != Site::LogOn::Normal))
            m_Keyring.remove(before.keyringKey());
    }
    QStringList failed;
    QString why;
    for (auto it = m_Passwords.cbegin(); it != m_Passwords.cend(); ++it) {
        const Site* site = m_List.find(it.key());
        if (!site || site->logOn != Site::LogOn::Normal)
            continue;
        const Keyring::Result done = it.value().isEmpty()
                                         ? m_Keyring.remove(site->keyringKey())
                                         : m_Keyring.write(site->keyringKey(), it.value());
        if (done.status != Keyring::Status::Ok) {
            failed << site->path();
            why = done.error;
        }
    }
    m_Passwords.clear();
    m_Original = m_List;
    if (!failed.isEmpty())
        m_Prompts.messageBox(this,
                             tr("The desktop keyring did not keep the password of %1 (%2). "
                                "Krellin will ask for it at each connect.")
                                 .arg(failed.join(QStringLiteral(", ")), why),
                             Prompts::OkOnly, Prompts::Exclamation, tr("Site Manager"));
    return true;
}

void SiteManager::cmdConnect_Click() {
    const QString id = currentSiteId();
    if (id.isEmpty() || !commit())
        return;
    m_ConnectId = id;
    accept();
}

void SiteManager::cmdOK_Click() {
    if (commit())
        accept();
}
