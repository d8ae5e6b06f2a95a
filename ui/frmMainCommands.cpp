// The main window's commands: connecting and closing, browsing the remote
// tree and list, download, upload, the remote file management commands and
// the toolbar dispatch. Every engine call here may run for a while with the
// window responsive, so after each one the command checks that the window is
// still loaded and finds its tree node again if nodes were deleted meanwhile.

#include "frmMain.h"

#include "CFtpConnection.h"
#include "Desktop.h"
#include "Fault.h"
#include "FileListView.h"
#include "FtpDate.h"
#include "LocalFile.h"
#include "Prompts.h"
#include "ServerAddress.h"
#include "frmConnect.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QRadioButton>
#include <QTreeWidget>
#include <cmath>

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString ConnectTitle = QStringLiteral("FTP Client");

// Settings section of the certificates the user chose to always trust,
// one SHA-256 per server and port.
const QString TrustedCertificates = QStringLiteral("TrustedCertificates");

QString certificateKey(const QString& host, quint16 port) {
    return host.toLower() + QLatin1Char('_') + QString::number(port);
}

// Engine error numbers the commands answer with a question.
constexpr qint32 ErrConnectionLost = 4;

// A server that drops the control connection at once would otherwise keep a
// node click reconnecting for ever.
constexpr int MaxNodeClickReconnects = 3;
// Each round of the download's retry loop needs the user's Yes; the cap only
// guards against a prompt that answers by itself.
constexpr int MaxDownloadAttempts = 100;

// "###,##0": thousands grouped with the locale's separator, also in the C
// locale, which leaves the separator out by default.
QLocale sizeLocale() {
    QLocale locale;
    locale.setNumberOptions(QLocale::DefaultNumberOptions);
    return locale;
}

QString existsQuestion(const QString& name, const QString& remoteSize, qint64 localLength,
                       const QString& question) {
    return QStringLiteral("File ") + name + QStringLiteral(" already exists!") + CrLf +
           QStringLiteral("Size of remote file - ") + remoteSize + QStringLiteral(" bytes") + CrLf +
           QStringLiteral("Size of local file  - ") + QString::number(localLength) +
           QStringLiteral(" bytes") + CrLf + CrLf + question + CrLf + CrLf +
           QStringLiteral("Note: If you choose No new file will be created.");
}

QString nodeKey(const QTreeWidgetItem* node) {
    return node ? node->data(0, frmMain::TreeKeyRole).toString() : QString();
}

bool isWithin(const QTreeWidgetItem* item, const QTreeWidgetItem* ancestor) {
    for (const QTreeWidgetItem* n = item; n; n = n->parent()) {
        if (n == ancestor)
            return true;
    }
    return false;
}

} // namespace

// ------------------------------------------------------------- helpers

QString frmMain::faultText(qint32 number, const QString& description) {
    return QStringLiteral("Error occured!") + CrLf + QLatin1Char('#') + QString::number(number) +
           QStringLiteral(": ") + description;
}

Prompts::Answer frmMain::ask(const QString& text, Prompts::Buttons buttons, Prompts::Icon icon,
                             const QString& title) {
    // A command that outlives the window ends quietly, as if declined.
    if (m_Unloaded)
        return buttons == Prompts::OkOnly
                   ? Prompts::Ok
                   : (buttons == Prompts::YesNo ? Prompts::No : Prompts::Cancel);
    return m_Prompts.messageBox(this, text, buttons, icon, title);
}

void frmMain::runCommand(const std::function<void()>& command, const QString& title) {
    try {
        command();
    } catch (const platform::Fault& fault) {
        ask(faultText(fault.number(), fault.description()), Prompts::OkOnly, Prompts::Information,
            title);
    } catch (const std::exception& fault) {
        ask(faultText(0, QString::fromLocal8Bit(fault.what())), Prompts::OkOnly,
            Prompts::Information, title);
    }
}

QString frmMain::FormatFileSize(qint64 size) {
    return sizeLocale().toString(size);
}

qint64 frmMain::ParseFileSize(const QString& text) {
    bool ok = false;
    const qint64 size = sizeLocale().toLongLong(text.trimmed(), &ok);
    return ok ? size : 0;
}

QString frmMain::FormatLastWrite(double value) {
    if (!std::isfinite(value) || value == FtpDate::Zero)
        return {};
    if (std::trunc(value) == 0) {
        const QTime time = FtpDate::ToTime(value);
        return QLocale().toString(time, QLocale::ShortFormat);
    }
    return FtpDate::ToText(value);
}

bool frmMain::isRootNode(const QTreeWidgetItem* node) {
    if (!node)
        return false;
    const QTreeWidgetItem* root = node;
    while (root->parent())
        root = root->parent();
    return nodeKey(node) == nodeKey(root);
}

QString frmMain::nodeServerPath(const QTreeWidgetItem* node) {
    const QString tag = node->data(0, TreeTagRole).toString();
    if (!tag.isEmpty())
        return QStringLiteral("/") + tag.trimmed();
    const QString full = nodeFullPath(node);
    const int slash = full.indexOf(QLatin1Char('/'));
    QString path = slash < 0 ? full : full.mid(slash);
    path.replace(QLatin1String("//"), QLatin1String("/"));
    return path;
}

int frmMain::selectedListRow() const {
    return lvListView->selectedRow();
}

bool frmMain::LocalFileExists(const QString& path) {
    return platform::LocalFile::existsAsFile(path);
}

void frmMain::ResetTransferDisplay() {
    ProgressBar1->setValue(0);
    m_ProgressValue = 0;
    setStatusText(QString());
}

void frmMain::removeChildren(QTreeWidgetItem* node) {
    if (!node || node->childCount() == 0)
        return;
    if (m_CurrentNode && m_CurrentNode != node && isWithin(m_CurrentNode, node))
        m_CurrentNode = nullptr;
    ++m_TreeGeneration;
    const QList<QTreeWidgetItem*> children = node->takeChildren();
    qDeleteAll(children);
}

void frmMain::clearTree() {
    m_CurrentNode = nullptr;
    ++m_TreeGeneration;
    tvTreeView->clear();
}

// ------------------------------------------------------- remote browsing

bool frmMain::AddFileToList(const CFtpFile& file) {
    FileListView::Item item;
    item.key = QStringLiteral("F") + file.FileName;
    item.text = file.FileName;
    item.icon = file.IsDirectory ? 3 : GetImageNumber(file.FileName);
    item.subItems = {FormatFileSize(file.FileSize), FormatLastWrite(file.LastWriteTime),
                     file.Permissions, file.Owner, file.Group};
    item.size = file.FileSize;
    item.lastWrite = file.LastWriteTime;
    return lvListView->addItem(item);
}

void frmMain::FillDirectoryListing(QTreeWidgetItem* node) {
    lvListView->clear();
    if (!engineUsable())
        return;
    const QString key = nodeKey(node);
    const quint64 generation = m_TreeGeneration;
    m_FtpConnection->setPassiveMode(Check1->isChecked());
    auto files = std::make_shared<CFtpFiles>();
    const bool listed = m_FtpConnection->EnumFiles(files);
    if (m_Unloaded)
        return;
    if (generation != m_TreeGeneration)
        node = key.isEmpty() ? nullptr : findNode(key);

    if (!listed) {
        const qint32 n = m_FtpConnection->FtpGetLastError();
        ask(QStringLiteral("Error #") + QString::number(n) + CrLf + CrLf +
                m_FtpConnection->GetFtpErrorDescription(n),
            Prompts::OkOnly, Prompts::Exclamation);
    } else if (files) {
        const bool nodeIsRoot = isRootNode(node);
        for (const CFtpFiles::Entry& entry : *files) {
            if (!entry)
                continue;
            if (entry->IsDirectory) {
                const QString& name = entry->FileName;
                // "." and ".." are no sub-directories to keep in the tree.
                if (node && !name.isEmpty() && name != QLatin1String(".") &&
                    name != QLatin1String("..")) {
                    const QString childKey = nodeIsRoot && !key.endsWith(QLatin1Char('/'))
                                                 ? key + QLatin1Char('/') + name + QLatin1Char('/')
                                                 : key + name + QLatin1Char('/');
                    if (QTreeWidgetItem* child = addNode(node, childKey, name, 2, 3))
                        child->setData(0, TreeTagRole, entry->FilePath);
                }
                AddFileToList(*entry);
            } else if (tvTreeView->currentItem() && nodeKey(tvTreeView->currentItem()) == key) {
                AddFileToList(*entry);
            }
        }
    }
    if (node)
        node->setExpanded(true);
}

void frmMain::RefreshCurrentDirectory() {
    runCommand([this] {
        QTreeWidgetItem* selected = tvTreeView->currentItem();
        if (!selected)
            return;
        removeChildren(selected);
        lvListView->clear();
        FillDirectoryListing(selected);
    });
}

void frmMain::tvTreeView_NodeClick(QTreeWidgetItem* Node) {
    runCommand([this, Node] { NodeClick(Node); });
}

void frmMain::NodeClick(QTreeWidgetItem* Node) {
    if (!Node || !engineUsable())
        return;
    if (m_FtpConnection->Busy()) {
        if (m_CurrentNode)
            tvTreeView->setCurrentItem(m_CurrentNode);
        return;
    }
    m_CurrentNode = Node;
    const QString key = nodeKey(Node);
    for (int reconnects = 0;; ++reconnects) {
        quint64 generation = m_TreeGeneration;
        const bool changed = m_FtpConnection->SetCurrentDirectory(nodeServerPath(Node));
        if (!engineUsable())
            return;
        if (generation != m_TreeGeneration && !(Node = findNode(key)))
            return;
        if (changed) {
            FillDirectoryListing(Node);
            if (!engineUsable())
                return;
            const QString message = m_FtpConnection->WelcomeMessage();
            if (!message.isEmpty())
                showMessageWindow(QStringLiteral("Message from ") + m_FtpConnection->FtpServer(),
                                  message);
            return;
        }
        if (m_FtpConnection->FtpGetLastError() != ErrConnectionLost ||
            reconnects >= MaxNodeClickReconnects)
            return;
        generation = m_TreeGeneration;
        if (!m_FtpConnection->Connect() || !engineUsable())
            return;
        if (generation != m_TreeGeneration && !(Node = findNode(key)))
            return;
    }
}

void frmMain::UpOneLevel() {
    runCommand([this] {
        QTreeWidgetItem* selected = tvTreeView->currentItem();
        if (!selected || !engineUsable())
            return;
        // The root has no parent: it stays selected and is listed again.
        if (selected->parent()) {
            selected = selected->parent();
            tvTreeView->setCurrentItem(selected);
        }
        const QString full = nodeFullPath(selected);
        const int slash = full.indexOf(QLatin1Char('/'));
        const QString key = nodeKey(selected);
        const quint64 generation = m_TreeGeneration;
        if (!m_FtpConnection->SetCurrentDirectory(slash < 0 ? full : full.mid(slash)))
            return;
        if (!engineUsable())
            return;
        if (generation != m_TreeGeneration && !(selected = findNode(key)))
            return;
        FillDirectoryListing(selected);
    });
}

void frmMain::lvListView_DblClick() {
    runCommand([this] {
        const int row = selectedListRow();
        QTreeWidgetItem* selected = tvTreeView->currentItem();
        if (row < 0 || !selected)
            return;
        if (!lvListView->text(row, FileListView::Permissions).startsWith(QLatin1Char('d')))
            return;
        QTreeWidgetItem* node =
            findNode(nodeKey(selected) + lvListView->text(row) + QLatin1Char('/'));
        if (!node)
            return;
        tvTreeView->setCurrentItem(node);
        NodeClick(node);
    });
}

// ------------------------------------------------------- session workflow

void frmMain::showTitle(const QString& text) {
    const bool locked = m_FtpConnection && m_FtpConnection->Encrypted();
    // U+1F512, the padlock.
    Label1->setText(locked ? QStringLiteral("\U0001F512 ") + text : text);
    Label1->setToolTip(locked ? tr("Encrypted: ") + m_FtpConnection->ServerCertificate().protocol
                              : QString());
}

bool frmMain::askAboutCertificate(const platform::TlsPeer& peer) {
    const QString text = tr("The server's certificate is not trusted:") + QStringLiteral("\n\n") +
                         FtpSecurity::describe(peer) + QStringLiteral("\n\n") +
                         tr("Yes: always trust this certificate for this server.\n"
                            "No: trust it for this session only.\n"
                            "Cancel: do not connect (nothing has been sent yet).");
    const Prompts::Answer answer = m_Prompts.messageBox(
        this, text, Prompts::YesNoCancel, Prompts::Exclamation, tr("Unknown certificate"));
    if (answer == Prompts::Yes && m_FtpConnection)
        platform::Desktop::setSettingText(
            TrustedCertificates,
            certificateKey(m_FtpConnection->FtpServer(), m_FtpConnection->Port()),
            QString::fromLatin1(peer.sha256.toHex()));
    return answer == Prompts::Yes || answer == Prompts::No;
}

void frmMain::ConnectToServer() {
    runCommand([this] { ConnectToServerBody(); });
}

void frmMain::mnuConnect_Click() {
    ConnectToServer();
}

void frmMain::ConnectToServerBody() {
    const std::unique_ptr<frmConnect> dialog = showConnectDialog();
    if (dialog->Action() != 0)
        return;
    QString host;
    quint16 port = ServerAddress::DefaultPort;
    QString error;
    // A port the engine cannot use is refused before anything is cleared.
    if (!ServerAddress::parse(dialog->URL(), host, port, error)) {
        ask(error, Prompts::OkOnly, Prompts::Exclamation, ConnectTitle);
        return;
    }
    clearTree();
    lvListView->clear();
    if (!engineUsable())
        return;
    // While a transfer runs, its own reconnect must still reach its server;
    // the engine refuses this Connect with "busy" anyway.
    if (!m_FtpConnection->Busy()) {
        m_FtpConnection->setFtpServer(host);
        m_FtpConnection->setUserName(dialog->UserName());
        m_FtpConnection->setPassword(dialog->Password());
        m_FtpConnection->setPassiveMode(Check1->isChecked());
        m_FtpConnection->setPort(port);
        m_FtpConnection->setSecurity(dialog->Encryption());
        m_FtpConnection->setExtensions(true);
        m_FtpConnection->setTrustedFingerprint(QByteArray::fromHex(
            platform::Desktop::settingText(TrustedCertificates, certificateKey(host, port))
                .toLatin1()));
    }
    setStatusText(QStringLiteral("Connecting to ") + m_FtpConnection->FtpServer() +
                  QStringLiteral(" ..."));
    if (!m_FtpConnection->Connect()) {
        if (!engineUsable())
            return;
        const qint32 n = m_FtpConnection->FtpGetLastError();
        ask(m_FtpConnection->GetFtpErrorDescription(n), Prompts::OkOnly, Prompts::Exclamation,
            ConnectTitle);
        return;
    }
    if (!engineUsable())
        return;
    const QString welcome = m_FtpConnection->WelcomeMessage();
    if (!welcome.isEmpty())
        showMessageWindow(QStringLiteral("Welcome message from ") + m_FtpConnection->FtpServer(),
                          welcome);
    showTitle(dialog->URL());

    // The tree path down to the initial directory: / -> pub -> incoming.
    clearTree();
    const QString directory = m_FtpConnection->CurrentDirectory();
    const int slash = directory.indexOf(QLatin1Char('/'));
    const QString rootText = slash < 0 ? QStringLiteral("/") : directory.left(slash + 1);
    QTreeWidgetItem* node = addNode(nullptr, rootText, rootText, 1);
    if (slash >= 0) {
        const QStringList pieces =
            directory.mid(slash + 1).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (const QString& piece : pieces) {
            const QString key = nodeKey(node) + piece + QLatin1Char('/');
            QTreeWidgetItem* child = addNode(node, key, piece, 2, 3);
            node->setExpanded(true);
            node = child ? child : findNode(key);
        }
    }
    tvTreeView->setCurrentItem(node);
    m_CurrentNode = node;
    FillDirectoryListing(node);
}

void frmMain::StopCommand() {
    runCommand([this] {
        if (!engineUsable())
            return;
        if (m_FtpConnection->CloseConnection()) {
            clearTree();
            lvListView->clear();
            return;
        }
        if (!engineUsable() ||
            m_FtpConnection->FtpGetLastError() != CFtpConnection::ErrTransferInProgress)
            return;
        if (ask(QStringLiteral("Data transfer in progress. Do you want to cancel the data "
                               "transfer?"),
                Prompts::YesNo, Prompts::Question) == Prompts::Yes &&
            engineUsable())
            m_FtpConnection->CancelTransfer();
    });
}

// -------------------------------------------------------------- download

void frmMain::mnuDownload_Click() {
    runCommand([this] { DownloadSelectedFile(); });
}

void frmMain::DownloadSelectedFile() {
    const int row = selectedListRow();
    // Nothing is selected: there is nothing to name in the dialog either.
    if (row < 0)
        return;
    const QString remoteName = lvListView->text(row);
    const QString remoteSizeText = lvListView->text(row, FileListView::FileSize);
    const QString localPath =
        m_Prompts.saveFileName(this, QStringLiteral("Download file and save as..."), remoteName,
                               QStringLiteral("All Files (*)"));
    if (localPath.isEmpty())
        return;
    m_strTransferFileName = remoteName;
    m_lTransferFileSize = ParseFileSize(remoteSizeText);
    const qint32 transferMode = Option1[0]->isChecked() ? 0 : 1;
    qint64 startPoint = 0;

    if (LocalFileExists(localPath)) {
        const qint64 localLength = QFileInfo(localPath).size();
        const QString remoteSize = QString::number(m_lTransferFileSize);
        if (localLength < m_lTransferFileSize) {
            const Prompts::Answer answer = ask(
                existsQuestion(localPath, remoteSize, localLength,
                               QStringLiteral("Do you want to append lost data to existing file?")),
                Prompts::YesNoCancel, Prompts::Question, QStringLiteral("File already exists"));
            if (answer == Prompts::Yes)
                startPoint = localLength;
            else if (answer != Prompts::No)
                return;
        } else {
            const Prompts::Answer answer =
                ask(existsQuestion(localPath, remoteSize, localLength,
                                   QStringLiteral("Do you want to cancel download?")),
                    Prompts::YesNo, Prompts::Question, QStringLiteral("File already exists"));
            if (answer != Prompts::No)
                return;
        }
    }

    for (int attempt = 0; attempt < MaxDownloadAttempts; ++attempt) {
        if (!engineUsable())
            return;
        if (m_FtpConnection->DownloadFile(m_strTransferFileName, localPath, transferMode,
                                          startPoint))
            return;
        if (!engineUsable())
            return;
        const qint32 n = m_FtpConnection->FtpGetLastError();
        if (n == ErrConnectionLost) {
            if (ask(QStringLiteral("The connection is broken. Do you wish to establish the "
                                   "connect again?"),
                    Prompts::YesNo, Prompts::Question) != Prompts::Yes) {
                ResetTransferDisplay();
                return;
            }
            if (!engineUsable())
                return;
            if (!m_FtpConnection->Connect()) {
                ask(QStringLiteral("The connection cannot be established."), Prompts::OkOnly,
                    Prompts::Exclamation);
                return;
            }
            QTreeWidgetItem* selected = tvTreeView->currentItem();
            if (!engineUsable() || !selected ||
                !m_FtpConnection->SetCurrentDirectory(nodeFullPath(selected)))
                return;
        } else if (n == CFtpConnection::ErrTimeout) {
            if (ask(QStringLiteral("Server doesn't response. Do you like to try again?"),
                    Prompts::YesNo, Prompts::Question) != Prompts::Yes) {
                ResetTransferDisplay();
                return;
            }
        } else {
            ask(QStringLiteral("Error #") + QString::number(n) + CrLf + CrLf +
                    m_FtpConnection->GetFtpErrorDescription(n),
                Prompts::OkOnly, Prompts::Exclamation);
            return;
        }
    }
}

// ---------------------------------------------------------------- upload

void frmMain::mnuUpload_Click() {
    runCommand([this] { UploadBody(); });
}

void frmMain::UploadBody() {
    // An open dialog: the file must exist, and choosing it asks no
    // "replace?" question as a save dialog would.
    const QString localPath = m_Prompts.openFileName(this, QStringLiteral("Select file to upload"),
                                                     QString(), QStringLiteral("All Files (*)"));
    if (localPath.isEmpty())
        return;
    const QString remoteName = QFileInfo(localPath).fileName();
    int match = -1;
    for (int row = 0; row < lvListView->count(); ++row) {
        if (lvListView->text(row) == remoteName) {
            match = row;
            break;
        }
    }
    // A missing or unreadable file is reported here, before anything is sent.
    const qint64 localLength = platform::LocalFile::fileLength(localPath);
    m_lTransferFileSize = localLength;
    qint64 startPoint = 0;
    if (match >= 0) {
        const QString remoteSizeText = lvListView->text(match, FileListView::FileSize);
        const qint64 remoteSize = ParseFileSize(remoteSizeText);
        if (remoteSize < localLength) {
            const Prompts::Answer answer = ask(
                existsQuestion(remoteName, remoteSizeText, localLength,
                               QStringLiteral("Do you want to append lost data to existing file?")),
                Prompts::YesNoCancel, Prompts::Question, QStringLiteral("File already exists"));
            if (answer == Prompts::Yes)
                startPoint = remoteSize;
            else if (answer != Prompts::No)
                return;
        } else {
            const Prompts::Answer answer =
                ask(existsQuestion(remoteName, remoteSizeText, localLength,
                                   QStringLiteral("Do you want to cancel upload?")),
                    Prompts::YesNo, Prompts::Question, QStringLiteral("File already exists"));
            if (answer != Prompts::No)
                return;
        }
    }
    m_strTransferFileName = remoteName;
    const qint32 transferMode = Option1[0]->isChecked() ? 0 : 1;
    if (!engineUsable())
        return;
    const bool uploaded =
        m_FtpConnection->UploadFile(localPath, remoteName, transferMode, startPoint);
    if (!engineUsable())
        return;
    // Stopped by the user: the listing shows what reached the server.
    if (uploaded || m_FtpConnection->FtpGetLastError() == CFtpConnection::ErrCancelled) {
        FillDirectoryListing(tvTreeView->currentItem());
        return;
    }
    ask(QStringLiteral("Can't upload file.") + CrLf + CrLf + QStringLiteral("Server response: ") +
            m_FtpConnection->GetLastServerResponse(),
        Prompts::OkOnly, Prompts::NoIcon, QStringLiteral("Can't upload file"));
}

// ------------------------------------------------ remote file management

namespace {

QString failureText(const QString& message, const QString& serverResponse) {
    return message + CrLf + CrLf + QStringLiteral("Server response: ") + serverResponse;
}

} // namespace

void frmMain::mnuCreateDir_Click() {
    runCommand([this] { CreateDirBody(); });
}

void frmMain::CreateDirBody() {
    const QString name = m_Prompts.inputBox(this, QStringLiteral("Enter directory name, please."),
                                            QStringLiteral("Create new directory"), QString());
    if (name.isEmpty() || !engineUsable())
        return;
    const bool created = m_FtpConnection->CreateDirectory(name);
    if (!engineUsable())
        return;
    if (created)
        FillDirectoryListing(tvTreeView->currentItem());
    else
        ask(failureText(QStringLiteral("Can't create new directory."),
                        m_FtpConnection->GetLastServerResponse()),
            Prompts::OkOnly, Prompts::NoIcon, QStringLiteral("Can't create directory"));
}

void frmMain::mnuDelete_Click() {
    runCommand([this] { DeleteBody(); }, QStringLiteral("Delete file or directory"));
}

void frmMain::DeleteBody() {
    const int row = selectedListRow();
    const QTreeWidgetItem* selected = tvTreeView->currentItem();
    if (row < 0 || !selected) {
        ask(QStringLiteral("Select file or directory to delete, please."), Prompts::OkOnly,
            Prompts::Information, QStringLiteral("Delete file or directory"));
        return;
    }
    const bool directory = lvListView->icon(row) == 3;
    const QString path = nodeKey(selected) + lvListView->text(row);
    const QString question = directory ? QStringLiteral("Do you really want to remove directory ")
                                       : QStringLiteral("Do you really want to delete file ");
    if (ask(question + path + QLatin1Char('?'), Prompts::YesNoCancel, Prompts::NoIcon,
            QStringLiteral("Delete file")) != Prompts::Yes ||
        !engineUsable())
        return;
    const bool done =
        directory ? m_FtpConnection->RemoveDirectory(path) : m_FtpConnection->DeleteFile(path);
    if (!engineUsable())
        return;
    if (done) {
        FillDirectoryListing(tvTreeView->currentItem());
    } else if (directory) {
        ask(failureText(QStringLiteral("Can't remove directory."),
                        m_FtpConnection->GetLastServerResponse()),
            Prompts::OkOnly, Prompts::NoIcon, QStringLiteral("Can't remove directory"));
    } else {
        ask(failureText(QStringLiteral("Can't delete file."),
                        m_FtpConnection->GetLastServerResponse()),
            Prompts::OkOnly, Prompts::NoIcon, QStringLiteral("Can't delete file"));
    }
}

void frmMain::mnuRemoveDir_Click() {
    runCommand([this] { RemoveDirBody(); }, QStringLiteral("Remove Directory"));
}

void frmMain::RemoveDirBody() {
    QTreeWidgetItem* selected = tvTreeView->currentItem();
    if (!selected) {
        ask(QStringLiteral("Select a directory in the tree to remove, please."), Prompts::OkOnly,
            Prompts::Information, QStringLiteral("Remove Directory"));
        return;
    }
    if (isRootNode(selected))
        return;
    if (ask(QStringLiteral("Do you really want to remove directory: ") + selected->text(0),
            Prompts::YesNo, Prompts::Question,
            QStringLiteral("Remove Directory")) != Prompts::Yes ||
        !engineUsable())
        return;
    const QString key = nodeKey(selected);
    const QString parentKey = nodeKey(selected->parent());
    const bool removed = m_FtpConnection->RemoveDirectory(key);
    if (!engineUsable())
        return;
    if (!removed) {
        ask(failureText(QStringLiteral("Can't remove directory."),
                        m_FtpConnection->GetLastServerResponse()),
            Prompts::OkOnly, Prompts::NoIcon, QStringLiteral("Can't remove directory"));
        return;
    }
    QTreeWidgetItem* parent = findNode(parentKey);
    if (!parent)
        return;
    tvTreeView->setCurrentItem(parent);
    removeChildren(parent);
    // The connection's directory is most often the one just removed: change
    // to the parent first, or the listing would fail.
    const quint64 generation = m_TreeGeneration;
    m_FtpConnection->SetCurrentDirectory(nodeServerPath(parent));
    if (!engineUsable())
        return;
    if (generation != m_TreeGeneration && !(parent = findNode(parentKey)))
        return;
    FillDirectoryListing(parent);
}

void frmMain::mnuRename_Click() {
    runCommand([this] { RenameBody(); }, QStringLiteral("Rename File"));
}

void frmMain::RenameBody() {
    const int row = selectedListRow();
    if (row < 0) {
        ask(QStringLiteral("Select file to rename, please."), Prompts::OkOnly, Prompts::Information,
            QStringLiteral("Rename File"));
        return;
    }
    const QString oldName = lvListView->text(row);
    const QString newName =
        m_Prompts.inputBox(this, QStringLiteral("Enter new file name for ") + oldName,
                           QStringLiteral("Rename File"), QString());
    if (newName.isEmpty())
        return;
    if (ask(QStringLiteral("Do you really want to rename file ") + oldName +
                QStringLiteral(" to ") + newName + QLatin1Char('?'),
            Prompts::YesNo, Prompts::Question, QStringLiteral("Rename File")) != Prompts::Yes ||
        !engineUsable())
        return;
    const bool renamed = m_FtpConnection->RenameFile(oldName, newName);
    if (!engineUsable())
        return;
    if (renamed)
        FillDirectoryListing(tvTreeView->currentItem());
    else
        ask(failureText(QStringLiteral("Can't rename file."),
                        m_FtpConnection->GetLastServerResponse()),
            Prompts::OkOnly, Prompts::NoIcon, QStringLiteral("Can't rename file"));
}

// -------------------------------------------------------------- dispatch

void frmMain::tbToolBar_ButtonClick(const QString& key) {
    runCommand([this, &key] {
        if (key == QLatin1String("Connect"))
            ConnectToServer();
        else if (key == QLatin1String("UpLevel"))
            UpOneLevel();
        else if (key == QLatin1String("Stop"))
            StopCommand();
        else if (key == QLatin1String("Refresh"))
            RefreshCurrentDirectory();
        else if (key == QLatin1String("Download"))
            mnuDownload_Click();
        else if (key == QLatin1String("Upload"))
            mnuUpload_Click();
        else if (key == QLatin1String("CreateDirectory"))
            mnuCreateDir_Click();
        else if (key == QLatin1String("Delete"))
            mnuDelete_Click();
        else if (key == QLatin1String("Rename"))
            mnuRename_Click();
        else if (key == QLatin1String("View Large Icons"))
            lvListView->setViewMode(FileListView::LargeIcons);
        else if (key == QLatin1String("View Small Icons"))
            lvListView->setViewMode(FileListView::SmallIcons);
        else if (key == QLatin1String("View List"))
            lvListView->setViewMode(FileListView::List);
        else if (key == QLatin1String("View Details"))
            lvListView->setViewMode(FileListView::Details);
    });
}
