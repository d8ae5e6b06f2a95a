// The main window's commands: connecting and closing, browsing the remote
// tree and list, download, upload, the remote file management commands and
// their table, which menus, toolbar, context menus and keys are made from.
//
// Two rules keep the commands honest while the engine waits with the window
// responsive: every path comes from the folder the list shows (listedNode),
// never from a selection that may have moved meanwhile; and every engine call
// goes through engineCall, which ends the command if the window closed.

#include "frmMain.h"

#include "CFtpConnection.h"
#include "Desktop.h"
#include "Fault.h"
#include "FileListView.h"
#include "LinkTargets.h"
#include "LocalFile.h"
#include "LocalName.h"
#include "Prompts.h"
#include "QueuePane.h"
#include "ServerAddress.h"
#include "Site.h"
#include "TrustStore.h"
#include "WindowTransfers.h"
#include "frmConnect.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSet>
#include <QTimer>
#include <QTreeWidget>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

const QString CrLf = QStringLiteral("\r\n");
const char* const ConnectTitle = QT_TRANSLATE_NOOP("frmMain", "FTP Client");

// A server that drops the control connection at once would otherwise keep a
// node click reconnecting for ever.
constexpr int MaxNodeClickReconnects = 3;
// A multiple delete names this many paths in its question, then counts the rest.
constexpr int NamedInQuestion = 12;
// Below this many rows a cleared list gives little back to the system.
constexpr int TrimAfterRows = 10000;

QString existsQuestion(const QString& name, const QString& remoteSize, qint64 localLength,
                       const QString& question) {
    return frmMain::tr("File %1 already exists!").arg(name) + CrLf +
           frmMain::tr("Size of remote file - %1 bytes").arg(remoteSize) + CrLf +
           frmMain::tr("Size of local file  - %1 bytes").arg(QString::number(localLength)) + CrLf +
           CrLf + question + CrLf + CrLf +
           frmMain::tr("Note: If you choose No new file will be created.");
}

QString joinRemote(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString serverResponse(const QString& reply) {
    return frmMain::tr("Server response: %1").arg(reply);
}

// "... and 3 more" after the names a question lists.
QString andMore(qsizetype count) {
    return frmMain::tr("... and %1 more").arg(QString::number(count));
}

QString failureText(const QString& message, const QString& reason) {
    return message + CrLf + CrLf + reason;
}

bool isDotEntry(const QString& name) {
    return name == QLatin1String(".") || name == QLatin1String("..");
}

// A listing's sub-directory that deserves a node of its own.
bool isFolderName(const QString& name) {
    return !name.isEmpty() && !isDotEntry(name) && !name.contains(QLatin1Char('/'));
}

void giveMemoryBack() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

} // namespace

// ------------------------------------------------------------ the table

const QList<frmMain::Command>& frmMain::commands() {
    using K = QKeySequence;
    auto view = [](int mode) { return [mode](frmMain& w) { w.lvListView->setViewMode(mode); }; };
    // Context menus show the rows of their place in this order, with a
    // separator where the group changes. One row a line, so it reads as a table.
    // clang-format off
    static const QList<Command> table = {
        // key               menu text                            tool tip                                             img shortcut                 places           grp needs    run
        {"Open",             QT_TR_NOOP("&Open"),                 nullptr,                                             0,  K(Qt::Key_Return),       InList,          0, Session, &frmMain::OpenSelected},
        {"OpenFolder",       QT_TR_NOOP("&Open"),                 nullptr,                                             0,  K(Qt::Key_Return),       InTree,          0, Session, &frmMain::ListSelectedNode},
        {"Connect",          QT_TR_NOOP("&Connect to ..."),       nullptr,                                             1,  {},                      Nowhere,         0, Idle,    &frmMain::ConnectToServer},
        {"SiteManager",      QT_TR_NOOP("Site &Manager ..."),     nullptr,                                             0,  {},                      Nowhere,         0, Idle,    &frmMain::mnuSiteManager_Click},
        {"Stop",             QT_TR_NOOP("&Stop"),                 QT_TR_NOOP("Stop operation"),                        3,  {},                      Nowhere,         0, Running, &frmMain::StopCommand},
        {"Cancel",           QT_TR_NOOP("&Stop"),                 nullptr,                                             0,  K(Qt::Key_Escape),       Window,          0, Working, &frmMain::StopCommand},
        {"Download",         QT_TR_NOOP("&Download File ..."),    QT_TR_NOOP("Download File..."),                      5,  {},                      InList,          1, Session, &frmMain::mnuDownload_Click},
        {"Rename",           QT_TR_NOOP("&Rename File ..."),      QT_TR_NOOP("Rename File..."),                        9,  K(Qt::Key_F2),           InList,          1, Session, &frmMain::mnuRename_Click},
        {"Delete",           QT_TR_NOOP("&Delete File ..."),      QT_TR_NOOP("Delete File"),                           8,  K(Qt::Key_Delete),       InList,          1, Session, &frmMain::mnuDelete_Click},
        {"Upload",           QT_TR_NOOP("&Upload File ..."),      QT_TR_NOOP("Upload File..."),                        6,  {},                      InList,          2, Session, &frmMain::mnuUpload_Click},
        {"UploadFolder",     QT_TR_NOOP("Upload &Folder ..."),    nullptr,                                             0,  {},                      InList,          2, Session, &frmMain::mnuUploadFolder_Click},
        {"CreateDirectory",  QT_TR_NOOP("&Create Directory ..."), QT_TR_NOOP("Create Directory..."),                   7,  {},                      InList | InTree, 2, Session, &frmMain::mnuCreateDir_Click},
        {"RemoveDirectory",  QT_TR_NOOP("Remo&ve Directory"),     nullptr,                                             0,  K(Qt::Key_Delete),       InTree,          2, Session, &frmMain::mnuRemoveDir_Click},
        {"Refresh",          QT_TR_NOOP("&Refresh"),              QT_TR_NOOP("Refresh contents of current directory"), 4,  K(Qt::Key_F5),           InList | InTree, 3, Session, &frmMain::RefreshCurrentDirectory},
        {"UpLevel",          QT_TR_NOOP("&Up One Level"),         nullptr,                                             2,  K(Qt::Key_Backspace),    InList | InTree, 3, Session, &frmMain::UpOneLevel},
        {"Close",            QT_TR_NOOP("C&lose"),                nullptr,                                             0,  {},                      Nowhere,         0, Free,    &frmMain::mnuFileClose_Click},
        {"Quit",             QT_TR_NOOP("&Quit"),                 nullptr,                                             0,  K(Qt::CTRL | Qt::Key_Q), Window,          0, Free,    &frmMain::mnuFileClose_Click},
        {"QueueStop",        QT_TR_NOOP("&Stop"),                 nullptr,                                             0,  {},                      InQueue,         4, Free,    &frmMain::QueueStop},
        {"QueueStopAll",     QT_TR_NOOP("Stop &All"),             nullptr,                                             0,  {},                      InQueue,         4, Free,    &frmMain::QueueStopAll},
        {"QueueRetry",       QT_TR_NOOP("&Retry"),                nullptr,                                             0,  {},                      InQueue,         4, Free,    &frmMain::QueueRetry},
        {"QueueRemove",      QT_TR_NOOP("Re&move"),               nullptr,                                             0,  {},                      InQueue,         4, Free,    &frmMain::QueueRemove},
        {"QueueOpenFolder",  QT_TR_NOOP("&Open Containing Folder"), nullptr,                                           0,  {},                      InQueue,         5, Free,    &frmMain::QueueOpenFolder},
        {"TransferSettings", QT_TR_NOOP("Tra&nsfer Settings ..."), nullptr,                                            0,  {},                      Nowhere,         0, Free,    &frmMain::mnuTransferSettings_Click},
        {"View Large Icons", QT_TR_NOOP("Lar&ge Icons"),          QT_TR_NOOP("View Large Icons"),                      10, {},                      Nowhere,         0, Free,    view(FileListView::LargeIcons)},
        {"View Small Icons", QT_TR_NOOP("S&mall Icons"),          QT_TR_NOOP("View Small Icons"),                      11, {},                      Nowhere,         0, Free,    view(FileListView::SmallIcons)},
        {"View List",        QT_TR_NOOP("&List"),                 QT_TR_NOOP("View List"),                             12, {},                      Nowhere,         0, Free,    view(FileListView::List)},
        {"View Details",     QT_TR_NOOP("&Details"),              QT_TR_NOOP("View Details"),                          13, {},                      Nowhere,         0, Free,    view(FileListView::Details)},
    };
    // clang-format on
    return table;
}

const frmMain::Command* frmMain::command(const QString& key) {
    for (const Command& row : commands()) {
        if (key == QLatin1String(row.key))
            return &row;
    }
    return nullptr;
}

bool frmMain::working() const {
    return m_EngineCalls > 0 || (m_FtpConnection && m_FtpConnection->Busy());
}

bool frmMain::commandEnabled(const Command& row) const {
    if (m_Unloaded)
        return false;
    const bool idle = !working();
    switch (row.needs) {
    case Free:
        return true;
    case Idle:
        return idle;
    case Session:
        return idle && m_SessionView == SessionView::Connected;
    case Running:
        return !idle || m_SessionView != SessionView::Disconnected;
    case Working:
        return !idle;
    }
    return false;
}

bool frmMain::commandEnabled(const QString& key) const {
    const Command* row = command(key);
    return row && commandEnabled(*row);
}

void frmMain::updateCommands() {
    m_CommandActions.removeAll(nullptr);
    for (QAction* action : std::as_const(m_CommandActions)) {
        // Context menus set their own, from the selection too.
        if (qobject_cast<QMenu*>(action->parent()) &&
            action->parent()->property("krellinContext").toBool())
            continue;
        action->setEnabled(commandEnabled(action->data().toString()));
    }
}

void frmMain::runTableCommand(const QString& key) {
    // Keys are compared exactly; a key of no row does nothing, nor does a
    // command that cannot run now.
    const Command* row = command(key);
    if (!row || !commandEnabled(*row))
        return;
    runCommand([this, row] { row->run(*this); });
}

void frmMain::tbToolBar_ButtonClick(const QString& key) {
    runTableCommand(key);
}

bool frmMain::keyCommand(Place place, const QKeySequence& key) {
    // The keypad's Enter is the same key to a user as Return.
    const QKeySequence pressed =
        key[0].key() == Qt::Key_Enter
            ? QKeySequence(QKeyCombination(key[0].keyboardModifiers(), Qt::Key_Return))
            : key;
    for (const Command& row : commands()) {
        if (!row.shortcut.isEmpty() && row.shortcut == pressed &&
            ((row.places & Window) || (row.places & place) == place)) {
            // A key whose command cannot run now is still taken: it must not
            // reach the pane as some other action.
            tbToolBar_ButtonClick(QLatin1String(row.key));
            return true;
        }
    }
    return false;
}

QMenu* frmMain::contextMenu(Place place) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setProperty("krellinContext", true);
    const QList<int> rows = lvListView->selectedRows();
    int group = -1;
    for (const Command& row : commands()) {
        if (!(row.places & place))
            continue;
        if (group >= 0 && row.group != group)
            menu->addSeparator();
        group = row.group;
        QAction* action = makeAction(row, menu);
        const QString key = QLatin1String(row.key);
        bool enabled = commandEnabled(row);
        if (place == InList && (key == QLatin1String("Open") || key == QLatin1String("Download") ||
                                key == QLatin1String("Delete")))
            enabled = enabled && !rows.isEmpty();
        if (place == InList && key == QLatin1String("Rename"))
            enabled = enabled && rows.size() == 1;
        if (place == InQueue && key != QLatin1String("QueueStopAll"))
            enabled = enabled && m_QueuePane && !m_QueuePane->selectedIds().isEmpty();
        if (place == InTree && key != QLatin1String("Refresh") && key != QLatin1String("UpLevel"))
            enabled = enabled && tvTreeView->currentItem();
        action->setEnabled(enabled);
        menu->addAction(action);
    }
    return menu;
}

void frmMain::showContextMenu(Place place, const QPoint& globalPos) {
    contextMenu(place)->popup(globalPos);
}

// ------------------------------------------------------------- helpers

QString frmMain::faultText(qint32 number, const QString& description) {
    return tr("Error occured!") + CrLf + QLatin1Char('#') + QString::number(number) +
           QStringLiteral(": ") + description;
}

void frmMain::ensureOpen() const {
    if (m_Unloaded || !m_FtpConnection)
        throw WindowClosed{};
}

void frmMain::beginEngineCall(const QString& activity) {
    m_Activity = activity;
    if (m_EngineCalls++ == 0)
        m_StopAsked = false;
    updateCommands();
}

void frmMain::endEngineCall() {
    --m_EngineCalls;
    if (m_Unloaded)
        return;
    // The padlock goes with the session at once, not after the command's
    // questions about it.
    if (m_FtpConnection && !m_FtpConnection->SessionOpen() && !imgLock->isHidden()) {
        imgLock->hide();
        placeTitleLabel();
    }
    updateCommands();
}

QString frmMain::serverText() const {
    if (!m_FtpConnection)
        return {};
    const quint16 defaultPort = m_FtpConnection->Security() == FtpSecurity::Mode::Implicit
                                    ? ServerAddress::ImplicitTlsPort
                                    : ServerAddress::DefaultPort;
    return ServerAddress::display(m_FtpConnection->FtpServer(), m_FtpConnection->Port(),
                                  defaultPort);
}

bool frmMain::padlockShown() const {
    return !imgLock->isHidden();
}

void frmMain::showDisconnected(const QString& status) {
    m_SessionView = SessionView::Disconnected;
    clearTree();
    clearList();
    showTitle(QString());
    setStatusText(status);
    updateCommands();
}

void frmMain::syncSession(bool keepStatus) {
    if (m_Unloaded || !m_FtpConnection || working())
        return;
    if (m_FtpConnection->SessionOpen()) {
        // A reconnect may have changed the protection; the title follows.
        if (m_SessionView == SessionView::Connected)
            showTitle(Label1->text());
        updateCommands();
        return;
    }
    if (m_SessionView == SessionView::Disconnected) {
        updateCommands();
        return;
    }
    QString status = statusText();
    if (!keepStatus) {
        const qint32 n = m_FtpConnection->FtpGetLastError();
        // A session that stood and broke; a connect says why it failed.
        const bool lost = m_SessionView == SessionView::Connected && isConnectionLost(n);
        const QString why = lost ? tr("the connection was lost.")
                            : n != 0 && n != CFtpConnection::ErrCancelled
                                ? errorDescription(n).trimmed()
                                : QString();
        status = why.isEmpty() ? tr("Disconnected.") : tr("Disconnected: %1").arg(why);
    }
    showDisconnected(status);
}

bool frmMain::connectEngine() {
    // Every connect, the reconnects too, applies "always trust" as it is
    // stored now for the server and port it goes to.
    engine().setTrustedFingerprint(TrustStore::trusted(engine().FtpServer(), engine().Port()));
    return engineCall(tr("connecting to %1").arg(serverText()),
                      [](CFtpConnection& c) { return c.Connect(); });
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
    bool keepStatus = false;
    try {
        command();
    } catch (const WindowClosed&) {
        // The window went away while the command waited: nothing to show.
        return;
    } catch (const Stopped& stopped) {
        // The user's own Stop is news, not an error.
        ProgressBar1->setValue(0);
        m_ProgressValue = 0;
        m_TransferClock.invalidate();
        restoreSelection();
        setStatusText(tr("Stopped: %1").arg(stopped.what));
        keepStatus = true;
    } catch (const platform::Fault& fault) {
        ask(faultText(fault.number(), fault.description()), Prompts::OkOnly, Prompts::Information,
            title);
    } catch (const std::exception& fault) {
        ask(faultText(0, QString::fromLocal8Bit(fault.what())), Prompts::OkOnly,
            Prompts::Information, title);
    }
    // Whatever became of the session during the command, the window shows.
    syncSession(keepStatus);
}

QString frmMain::FormatFileSize(qint64 size) {
    return FileListModel::sizeText(size);
}

qint64 frmMain::ParseFileSize(const QString& text) {
    return FileListModel::parseSize(text);
}

QString frmMain::FormatLastWrite(double value, bool seconds) {
    return FileListModel::dateText(value, seconds);
}

bool frmMain::isRootNode(const QTreeWidgetItem* node) {
    if (!node)
        return false;
    const QTreeWidgetItem* root = node;
    while (root->parent())
        root = root->parent();
    return NodeIndex::key(node) == NodeIndex::key(root);
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

bool frmMain::isConnectionLost(qint32 n) {
    // 4: the socket was in the wrong state for the command (it had closed);
    // 5, 7, 23: aborted, reset, not connected; from 10000 on the socket's own
    // error numbers.
    return n == 4 || n == 5 || n == 7 || n == 23 || (n >= 10000 && n < 12000);
}

void frmMain::dropPendingMessage() {
    if (m_FtpConnection)
        m_FtpConnection->WelcomeMessage();
}

QString frmMain::errorBoxText(qint32 n) {
    return errorBoxText(n, engine().GetLastServerResponse());
}

QString frmMain::errorBoxText(qint32 n, const QString& serverReply) {
    QString text = tr("Error #%1").arg(QString::number(n)) + CrLf + CrLf + errorDescription(n);
    // The server's own words say why, where it refused.
    const QString reply = serverReply.trimmed();
    if (n >= 37 && n <= 57 && !reply.isEmpty())
        text += CrLf + CrLf + serverResponse(reply);
    return text;
}

QString frmMain::errorDescription(qint32 n) {
    // The engine's own texts are English; the window shows them in the
    // user's language where the translation has them (an operating system's
    // or a server's words pass as they are).
    const QByteArray text = engine().GetFtpErrorDescription(n).toUtf8();
    return QCoreApplication::translate("FtpErrors", text.constData());
}

QString frmMain::failureReason(qint32 n) {
    // Reply codes carry the server's own words; the engine's codes (an
    // unexpected reply's among them) carry theirs in the description.
    if (n >= 37 && n <= 57) {
        const QString reply = engine().GetLastServerResponse().trimmed();
        if (!reply.isEmpty())
            return serverResponse(reply);
    }
    return tr("Error #%1: %2").arg(QString::number(n), errorDescription(n));
}

void frmMain::selectNode(QTreeWidgetItem* node) {
    m_SelectingNode = true;
    tvTreeView->setCurrentItem(node);
    m_SelectingNode = false;
}

void frmMain::restoreSelection() {
    if (QTreeWidgetItem* listed = m_ListedNode.get())
        selectNode(listed);
}

void frmMain::clearTree() {
    m_CurrentNode.reset();
    m_ListedNode.reset();
    m_KeyboardListTimer->stop();
    m_Nodes.clear();
}

void frmMain::clearList() {
    const bool big = lvListView->count() >= TrimAfterRows;
    lvListView->clear();
    if (big)
        giveMemoryBack();
}

// ------------------------------------------------------- remote browsing

bool frmMain::AddFileToList(const CFtpFile& file) {
    FileListView::Item item;
    item.name = file.FileName;
    item.icon = file.IsDirectory ? 3 : GetImageNumber(file.FileName);
    item.size = file.FileSize;
    item.lastWrite = file.LastWriteTime;
    item.secondsKnown = file.SecondsKnown;
    item.permissions = file.Permissions;
    item.owner = file.Owner;
    item.group = file.Group;
    return lvListView->addItem(item);
}

void frmMain::FillDirectoryListing(QTreeWidgetItem* node) {
    runCommand([this, node] { ListDirectory(node); });
}

void frmMain::syncChildren(QTreeWidgetItem* node, const CFtpFiles& files, bool freshTags) {
    const QString key = NodeIndex::key(node);
    const bool separate = isRootNode(node) && !key.endsWith(QLatin1Char('/'));
    QList<NodeIndex::Child> folders;
    QSet<QString> listed;
    const QString here = nodeServerPath(node);
    for (const CFtpFiles::Entry& entry : files) {
        if (!entry || !entry->IsDirectory || !isFolderName(entry->FileName))
            continue;
        const QString& name = entry->FileName;
        const QString childKey = separate ? key + QLatin1Char('/') + name + QLatin1Char('/')
                                          : key + name + QLatin1Char('/');
        listed.insert(childKey);
        // A link's target ("../doc") is read from the link's own folder; the
        // tag holds it as a path from the root.
        const QString target = entry->FilePath.isEmpty()
                                   ? QString()
                                   : LinkTargets::resolve(here, entry->FilePath).mid(1);
        folders.append({childKey, name, target});
    }
    // Folders gone from the listing (renamed, removed) lose their nodes;
    // those still there keep theirs with what was listed below them.
    for (int i = node->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* child = node->child(i);
        if (!listed.contains(NodeIndex::key(child)))
            m_Nodes.remove(child);
    }
    if (freshTags) {
        // A link may point elsewhere now.
        for (const NodeIndex::Child& folder : std::as_const(folders)) {
            if (QTreeWidgetItem* child = findNode(folder.key))
                child->setData(0, TreeTagRole, folder.tag);
        }
    }
    m_Nodes.addChildren(node, folders, 2, 3);
}

bool frmMain::ListDirectory(QTreeWidgetItem* node, bool freshChildren) {
    ensureOpen();
    const NodeRef target(m_Nodes, node);
    m_ListingNode = target;
    const auto listingDone = qScopeGuard([this] { m_ListingNode.reset(); });
    engine().setPassiveMode(Check1->isChecked());
    auto files = std::make_shared<CFtpFiles>();
    const QString folder = nodeServerPath(node);
    const bool listed = engineCall(tr("listing of %1").arg(folder),
                                   [&](CFtpConnection& c) { return c.EnumFiles(files); });
    m_ListingNode.reset();
    node = target.get();

    if (!listed) {
        // The list keeps the folder it showed; the selection goes back to it.
        const qint32 n = engine().FtpGetLastError();
        setStatusText(tr("Directory listing failed."));
        restoreSelection();
        if (node && !m_ListedNode)
            node->setExpanded(true);
        ask(errorBoxText(n), Prompts::OkOnly, Prompts::Exclamation);
        return false;
    }

    // The folder's node went while the listing ran (Stop, a new connection):
    // the list keeps the folder it shows rather than show one of no node.
    if (!node)
        return false;
    std::vector<FileListView::Item> items;
    if (files) {
        items.reserve(size_t(files->Count()));
        for (const CFtpFiles::Entry& entry : *files) {
            if (!entry)
                continue;
            FileListView::Item& item = items.emplace_back();
            item.name = entry->FileName;
            item.icon = entry->IsDirectory ? 3 : GetImageNumber(entry->FileName);
            item.size = entry->FileSize;
            item.lastWrite = entry->LastWriteTime;
            item.secondsKnown = entry->SecondsKnown;
            item.permissions = entry->Permissions;
            item.owner = entry->Owner;
            item.group = entry->Group;
        }
        syncChildren(node, *files, freshChildren);
    }
    const bool wasBig = lvListView->count() >= TrimAfterRows;
    files.reset();
    lvListView->setItems(std::move(items));
    if (wasBig)
        giveMemoryBack();
    m_ListedNode = NodeRef(m_Nodes, node);
    // The tree shows the listed folder, unless the user is moving through it
    // with the keys: that folder is listed in a moment.
    if (!m_KeyboardListTimer->isActive())
        selectNode(node);
    node->setExpanded(true);
    return true;
}

void frmMain::RefreshCurrentDirectory() {
    runCommand([this] {
        QTreeWidgetItem* listed = m_ListedNode ? m_ListedNode.get() : tvTreeView->currentItem();
        if (!listed)
            return;
        // The listing decides which children the folder has, once it
        // arrived; those still there keep what was listed below them. A
        // failed listing leaves them as they were.
        ListDirectory(listed, true);
    });
}

void frmMain::tvTreeView_NodeClick(QTreeWidgetItem* Node) {
    m_KeyboardListTimer->stop();
    runCommand([this, Node] { NodeClick(Node); });
}

void frmMain::ListSelectedNode() {
    tvTreeView_NodeClick(tvTreeView->currentItem());
}

void frmMain::NodeClick(QTreeWidgetItem* Node) {
    if (!Node)
        return;
    ensureOpen();
    if (working()) {
        if (QTreeWidgetItem* current = m_CurrentNode.get())
            selectNode(current);
        else
            restoreSelection();
        return;
    }
    m_CurrentNode = NodeRef(m_Nodes, Node);
    const NodeRef target = m_CurrentNode;
    // A message still unread came with an earlier reply; only this
    // directory change's own message is shown.
    dropPendingMessage();
    for (int reconnects = 0;; ++reconnects) {
        const QString path = nodeServerPath(Node);
        const bool changed = engineCall(tr("change to %1").arg(path), [&](CFtpConnection& c) {
            return c.SetCurrentDirectory(path);
        });
        if (!(Node = target.get()))
            return;
        if (changed) {
            // The directory change's own message; a listing's replies never
            // open a window.
            const QString message = engine().WelcomeMessage();
            if (!Node->data(0, TreeTagRole).toString().isEmpty()) {
                // A link's folder: from now on its path is the one the server
                // reports, so every later command acts where the list shows.
                const QString where =
                    engineCall(tr("asking the server where it is"),
                               [](CFtpConnection& c) { return c.GetCurrentDirectory(); });
                if (!(Node = target.get()))
                    return;
                if (where.startsWith(QLatin1Char('/')))
                    Node->setData(0, TreeTagRole, where.mid(1));
            }
            if (!ListDirectory(Node)) {
                returnToListedFolder(target);
                return;
            }
            if (!message.isEmpty())
                showMessageWindow(tr("Message from %1").arg(engine().FtpServer()), message);
            return;
        }
        const qint32 n = engine().FtpGetLastError();
        if (isConnectionLost(n) && reconnects < MaxNodeClickReconnects) {
            const bool connected = connectEngine();
            dropPendingMessage();
            if (connected && (Node = target.get()))
                continue;
            restoreSelection();
            if (connected)
                return;
            ask(failureText(tr("The connection cannot be established."),
                            errorDescription(engine().FtpGetLastError())),
                Prompts::OkOnly, Prompts::Exclamation);
            return;
        }
        // A folder that is gone, refused or a broken link: the user learns
        // why, and the selection goes back to the folder the list shows.
        restoreSelection();
        if (n == CFtpConnection::ErrBusy || n == CFtpConnection::ErrCancelled)
            return;
        ask(failureText(tr("Can't open directory %1.").arg(path), failureReason(n)),
            Prompts::OkOnly, Prompts::Exclamation, tr("Can't open directory"));
        return;
    }
}

void frmMain::UpOneLevel() {
    runCommand([this] {
        QTreeWidgetItem* from = m_ListedNode ? m_ListedNode.get() : tvTreeView->currentItem();
        if (!from)
            return;
        ensureOpen();
        // The root has no parent: it stays selected and is listed again.
        QTreeWidgetItem* up = from->parent() ? from->parent() : from;
        const NodeRef target(m_Nodes, up);
        selectNode(up);
        const QString full = nodeFullPath(up);
        const int slash = full.indexOf(QLatin1Char('/'));
        const QString path = slash < 0 ? full : full.mid(slash);
        dropPendingMessage();
        const bool changed = engineCall(tr("change to %1").arg(path), [&](CFtpConnection& c) {
            return c.SetCurrentDirectory(path);
        });
        if (!changed) {
            const qint32 n = engine().FtpGetLastError();
            restoreSelection();
            if (n != CFtpConnection::ErrBusy && n != CFtpConnection::ErrCancelled)
                ask(failureText(tr("Can't open directory %1.").arg(path), failureReason(n)),
                    Prompts::OkOnly, Prompts::Exclamation, tr("Can't open directory"));
            return;
        }
        QTreeWidgetItem* node = target.get();
        if (node && !ListDirectory(node))
            returnToListedFolder(target);
    });
}

void frmMain::returnToListedFolder(const NodeRef& from) {
    QTreeWidgetItem* listed = m_ListedNode.get();
    if (!listed || m_ListedNode.key() == from.key())
        return;
    const QString path = nodeServerPath(listed);
    engineCall(tr("change to %1").arg(path),
               [&](CFtpConnection& c) { return c.SetCurrentDirectory(path); });
    dropPendingMessage();
}

void frmMain::lvListView_DblClick() {
    OpenSelected();
}

void frmMain::OpenSelected() {
    runCommand([this] {
        const QList<int> rows = lvListView->selectedRows();
        const int row = selectedListRow();
        if (row < 0)
            return;
        if (lvListView->icon(row) != 3) {
            if (rows.size() == 1 && openLinkAsFolder(row))
                return;
            // Files download: one through the save dialog, several through
            // the queue (Enter opens folders, it does not fetch them).
            if (rows.size() > 1) {
                QList<int> files;
                for (int r : rows) {
                    if (lvListView->icon(r) != 3)
                        files << r;
                }
                DownloadThroughQueue(files);
            } else {
                DownloadSelectedFile();
            }
            return;
        }
        const QString name = lvListView->text(row);
        if (name == QLatin1String(".."))
            return UpOneLevel();
        if (name == QLatin1String("."))
            return RefreshCurrentDirectory();
        QTreeWidgetItem* listed = m_ListedNode.get();
        QTreeWidgetItem* node =
            listed ? findNode(NodeIndex::key(listed) + name + QLatin1Char('/')) : nullptr;
        if (!node)
            return;
        selectNode(node);
        NodeClick(node);
    });
}

bool frmMain::openLinkAsFolder(int row) {
    QTreeWidgetItem* listed = m_ListedNode.get();
    if (!listed || !lvListView->text(row, FileListView::Permissions).startsWith(QLatin1Char('l')))
        return false;
    const QString name = lvListView->text(row);
    if (!isFolderName(name))
        return false;
    const NodeRef folder(m_Nodes, listed);
    // The link's own path: the server follows it wherever it points.
    QString path = nodeServerPath(listed);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    path += name;
    dropPendingMessage();
    const bool changed = engineCall(tr("change to %1").arg(path),
                                    [&](CFtpConnection& c) { return c.SetCurrentDirectory(path); });
    dropPendingMessage();
    if (!changed) {
        const qint32 n = engine().FtpGetLastError();
        // Refused: a link to a file after all, which the caller downloads.
        if ((n >= 37 && n <= 57) || n == CFtpConnection::ErrUnexpectedReply)
            return false;
        if (n != CFtpConnection::ErrBusy && n != CFtpConnection::ErrCancelled)
            ask(failureText(tr("Can't open %1.").arg(path), failureReason(n)), Prompts::OkOnly,
                Prompts::Exclamation, tr("Can't open directory"));
        return true;
    }
    if (!(listed = folder.get()))
        return true;
    const QString key = NodeIndex::key(listed) + name + QLatin1Char('/');
    QTreeWidgetItem* node = findNode(key);
    if (!node)
        node = addNode(listed, key, name, 2, 3);
    if (!node)
        return true;
    const QString where = engineCall(tr("asking the server where it is"),
                                     [](CFtpConnection& c) { return c.GetCurrentDirectory(); });
    if (!(node = findNode(key)))
        return true;
    if (where.startsWith(QLatin1Char('/')))
        node->setData(0, TreeTagRole, where.mid(1));
    const NodeRef opened(m_Nodes, node);
    selectNode(node);
    m_CurrentNode = opened;
    if (!ListDirectory(node))
        returnToListedFolder(opened);
    return true;
}

// ------------------------------------------------------- session workflow

void frmMain::showTitle(const QString& text) {
    // The padlock promises that nothing of the session crosses in clear:
    // the control connection and every data connection are TLS.
    const bool locked = !text.isEmpty() && m_FtpConnection &&
                        m_SessionView == SessionView::Connected && m_FtpConnection->SessionOpen() &&
                        m_FtpConnection->Encrypted() && m_FtpConnection->DataProtected();
    Label1->setText(text);
    imgLock->setVisible(locked);
    imgLock->setToolTip(locked
                            ? tr("Encrypted: %1").arg(m_FtpConnection->ServerCertificate().protocol)
                            : QString());
    Label1->setToolTip(imgLock->toolTip());
    placeTitleLabel();
}

void frmMain::placeTitleLabel() {
    const int left = imgLock->isHidden() ? 120 : 120 + toTwips(imgLock->width()) + 60;
    Label1->setGeometry(toPixels(left), Label1->y(),
                        std::max(0, toPixels(m_TitleLabelRight - left)),
                        Label1->sizeHint().height());
    if (!imgLock->isHidden())
        imgLock->move(toPixels(120), Label1->y() + (Label1->height() - imgLock->height()) / 2);
}

bool frmMain::askAboutCertificate(const platform::TlsPeer& peer) {
    const QString server = ServerAddress::display(engine().FtpServer(), engine().Port(), 0);
    const QString text = tr("The certificate of %1 is not trusted:").arg(server) +
                         QStringLiteral("\n\n") + FtpSecurity::describe(peer) +
                         QStringLiteral("\n\n") +
                         tr("Yes: always trust this certificate for this server.\n"
                            "No: trust it for this session only.\n"
                            "Cancel: do not connect (nothing has been sent yet).");
    const Prompts::Answer answer = m_Prompts.messageBox(
        this, text, Prompts::YesNoCancel, Prompts::Exclamation, tr("Unknown certificate"));
    if (answer == Prompts::Yes && m_FtpConnection)
        TrustStore::trust(m_FtpConnection->FtpServer(), m_FtpConnection->Port(), peer.sha256);
    return answer == Prompts::Yes || answer == Prompts::No;
}

bool frmMain::askAboutDowngrade(CFtpConnection::Downgrade what) {
    if (m_Unloaded || !m_FtpConnection)
        return false;
    const QString host = m_FtpConnection->FtpServer();
    const quint16 port = m_FtpConnection->Port();
    if (TrustStore::downgradeAllowed(host, port, what))
        return true;
    const QString risk =
        what == CFtpConnection::Downgrade::NoTls
            ? tr("This server does not offer FTP over TLS; your password and files will cross "
                 "the network in clear.")
            : tr("This server does not protect its data connections with TLS; your files will "
                 "cross the network in clear.");
    bool always = false;
    const Prompts::Answer answer = m_Prompts.checkedQuestion(
        this, ServerAddress::display(host, port, 0) + QStringLiteral("\n\n") + risk,
        tr("Connect without encryption?"), tr("Connect"), tr("&Always for this server"), always);
    if (answer != Prompts::Ok)
        return false;
    if (always)
        TrustStore::allowDowngrade(host, port, what);
    return true;
}

void frmMain::ConnectToServer() {
    runCommand([this] { ConnectToServerBody(); });
}

void frmMain::mnuConnect_Click() {
    ConnectToServer();
}

void frmMain::ConnectToServerBody() {
    const std::unique_ptr<frmConnect> dialog = showConnectDialog();
    if (dialog->Action() != 0 || dialog->result() != QDialog::Accepted)
        return;
    // The dialog made host and port with the one parser; they are used as
    // they are and shown as they are.
    Site site;
    site.host = dialog->URL();
    site.port = dialog->Port();
    site.encryption = dialog->Encryption();
    site.user = dialog->UserName();
    site.passive = Check1->isChecked();
    ConnectBody(site, dialog->Password());
}

void frmMain::ConnectBody(const Site& site, const QString& password) {
    // The command is disabled while the engine works; should it come here
    // all the same, nothing is cleared for a connect that cannot start.
    if (working())
        return;
    Check1->setChecked(site.passive);
    saveConnectChoices();
    // A site's local folder is where the file dialogs start; they follow
    // the user's own choices from there.
    if (!site.localFolder.isEmpty()) {
        rememberFolder("DownloadFolder", site.localFolder, false);
        rememberFolder("UploadFolder", site.localFolder, false);
    }
    engine().setFtpServer(site.host);
    engine().setUserName(site.user);
    engine().setPassword(password);
    engine().setPassiveMode(Check1->isChecked());
    engine().setPort(site.port);
    engine().setSecurity(site.encryption);
    engine().setExtensions(true);
    // A message the last session left unread is not this server's.
    dropPendingMessage();
    m_SessionView = SessionView::Connecting;
    clearTree();
    clearList();
    showTitle(QString());
    setStatusText(tr("Connecting to %1 ...").arg(serverText()));
    if (!connectEngine()) {
        const qint32 n = engine().FtpGetLastError();
        ask(errorDescription(n), Prompts::OkOnly, Prompts::Exclamation, tr(ConnectTitle));
        return;
    }
    m_SessionView = SessionView::Connected;
    // The queue of this server is taken up (and resumed, when the user said so).
    startQueueSession();
    const QString welcome = engine().WelcomeMessage();
    if (!welcome.isEmpty())
        showMessageWindow(tr("Welcome message from %1").arg(engine().FtpServer()), welcome);
    showTitle(serverText());
    openStartFolder(site.remoteFolder);

    // The tree path down to the initial directory: / -> pub -> incoming.
    clearTree();
    const QString directory = engine().CurrentDirectory();
    const int slash = directory.indexOf(QLatin1Char('/'));
    const QString rootText = slash < 0 ? QStringLiteral("/") : directory.left(slash + 1);
    QTreeWidgetItem* node = addNode(nullptr, rootText, rootText, 1);
    if (slash >= 0) {
        const QStringList pieces =
            directory.mid(slash + 1).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (const QString& piece : pieces) {
            const QString key = NodeIndex::key(node) + piece + QLatin1Char('/');
            QTreeWidgetItem* child = addNode(node, key, piece, 2, 3);
            node->setExpanded(true);
            node = child ? child : findNode(key);
        }
    }
    selectNode(node);
    m_CurrentNode = NodeRef(m_Nodes, node);
    updateCommands();
    ListDirectory(node);
    selectStartFile();
}

void frmMain::StopCommand() {
    if (!m_FtpConnection || m_Unloaded)
        return;
    if (working()) {
        // The running call ends within a second with 61 and its command
        // reports the stop; nothing here waits for it.
        m_StopAsked = true;
        m_FtpConnection->CancelAnyCall();
        setStatusText(tr("Stopping: %1 ...").arg(m_Activity));
        return;
    }
    // The single file the queue moves for the window stops; the session stays.
    if (m_Transfers && m_Transfers->stopFiles()) {
        setStatusText(tr("Stopping: %1 ...").arg(m_strTransferFileName));
        return;
    }
    if (m_SessionView == SessionView::Disconnected)
        return;
    engineCall(tr("disconnecting"), [](CFtpConnection& c) { return c.CloseConnection(); });
    showDisconnected(tr("Disconnected."));
}

// -------------------------------------------------------------- download

void frmMain::mnuDownload_Click() {
    runCommand([this] {
        const QList<int> rows = lvListView->selectedRows();
        bool folders = false;
        for (int row : rows)
            folders = folders || lvListView->icon(row) == 3;
        // One file keeps its own questions; several, or folders, go to the queue.
        if (rows.size() > 1 || folders)
            DownloadThroughQueue(rows);
        else
            DownloadSelectedFile();
    });
}

void frmMain::beginTransfer(const QString& name, qint64 size) {
    m_strTransferFileName = name;
    m_lTransferFileSize = size;
    m_TransferClock.invalidate();
}

void frmMain::endTransfer(bool arrived, bool upload, bool cancelled) {
    m_TransferClock.invalidate();
    if (arrived)
        return;
    // A cancelled or failed transfer leaves no stale figures behind.
    ProgressBar1->setValue(0);
    m_ProgressValue = 0;
    setStatusText(
        (upload ? (cancelled ? tr("Upload of %1 cancelled.") : tr("Upload of %1 failed."))
                : (cancelled ? tr("Download of %1 cancelled.") : tr("Download of %1 failed.")))
            .arg(m_strTransferFileName));
}

void frmMain::DownloadSelectedFile() {
    const int row = selectedListRow();
    // Nothing is selected: there is nothing to name in the dialog either.
    if (row < 0)
        return;
    if (lvListView->icon(row) == 3) {
        ask(tr("Select a file to download, please. A folder opens with Enter or a double-click."),
            Prompts::OkOnly, Prompts::Information, tr("Download file"));
        return;
    }
    const QString remoteName = lvListView->text(row);
    const qint64 remoteSize = lvListView->size(row);
    QString why;
    const auto localName = LocalName::fromRemote(remoteName, &why);
    if (!localName) {
        reportUnsafeNames({why});
        return;
    }
    // The dialog opens where the last download went.
    const QString folder = rememberedFolder("DownloadFolder");
    const QString localPath = m_Prompts.saveFileName(
        this, tr("Download file and save as..."),
        folder.isEmpty() ? *localName : QDir(folder).filePath(*localName), tr("All Files (*)"));
    if (localPath.isEmpty() || !listedNode())
        return;
    rememberFolder("DownloadFolder", localPath, true);
    // The answers decide where the queue starts: nothing is asked again.
    Conflict::Policy decided = Conflict::Policy::Overwrite;
    if (LocalFileExists(localPath)) {
        const qint64 localLength = QFileInfo(localPath).size();
        const QString remoteSizeText = QString::number(remoteSize);
        if (localLength < remoteSize) {
            const Prompts::Answer answer =
                ask(existsQuestion(localPath, remoteSizeText, localLength,
                                   tr("Do you want to append lost data to existing file?")),
                    Prompts::YesNoCancel, Prompts::Question, tr("File already exists"));
            if (answer == Prompts::Yes)
                decided = Conflict::Policy::Resume;
            else if (answer != Prompts::No)
                return;
        } else {
            const Prompts::Answer answer =
                ask(existsQuestion(localPath, remoteSizeText, localLength,
                                   tr("Do you want to cancel download?")),
                    Prompts::YesNo, Prompts::Question, tr("File already exists"));
            if (answer != Prompts::No)
                return;
        }
    }
    beginTransfer(remoteName, remoteSize);
    startQueueSession();
    m_Transfers->downloadFile(
        {joinRemote(nodeServerPath(listedNode()), remoteName), false, remoteSize}, localPath,
        decided);
    setStatusText(tr("Queued for download: %1.").arg(remoteName));
}

void frmMain::reportUnsafeNames(const QStringList& reasons) {
    for (const QString& reason : reasons)
        m_FtpConnection_SessionProtocolMessage(tr("%1; skipped.").arg(reason),
                                               CFtpConnection::ApplicationMessage);
    setStatusText(reasons.size() == 1
                      ? tr("Skipped a file whose name is not safe on this computer.")
                      : tr("Skipped %1 files whose names are not safe on this computer.")
                            .arg(reasons.size()));
    QString text =
        tr("These files were not downloaded: their names could write outside the chosen folder.") +
        CrLf + CrLf;
    for (int i = 0; i < reasons.size() && i < NamedInQuestion; ++i)
        text += reasons[i] + CrLf;
    if (reasons.size() > NamedInQuestion)
        text += andMore(reasons.size() - NamedInQuestion);
    ask(text.trimmed(), Prompts::OkOnly, Prompts::Exclamation, tr("Download file"));
}

// ---------------------------------------------------------------- upload

void frmMain::mnuUpload_Click() {
    runCommand([this] { UploadBody(); });
}

void frmMain::UploadBody() {
    // An open dialog: the file must exist, and choosing it asks no
    // "replace?" question as a save dialog would.
    const QStringList localPaths = m_Prompts.openFileNames(
        this, tr("Select file to upload"), rememberedFolder("UploadFolder"), tr("All Files (*)"));
    if (localPaths.isEmpty())
        return;
    rememberFolder("UploadFolder", localPaths.front(), true);
    // One file keeps its own questions; several go to the queue.
    if (localPaths.size() == 1) {
        UploadLocalFile(localPaths.front());
        return;
    }
    if (!listedNode())
        return;
    startQueueSession();
    m_Transfers->upload(localPaths, nodeServerPath(listedNode()), listedEntries());
    setStatusText(tr("%1 files queued for upload.").arg(localPaths.size()));
}

void frmMain::UploadLocalFile(const QString& localPath) {
    if (!listedNode())
        return;
    const QString remoteName = QFileInfo(localPath).fileName();
    const int match = lvListView->rowOfName(remoteName);
    // A missing or unreadable file is reported here, before anything is sent.
    const qint64 localLength = platform::LocalFile::fileLength(localPath);
    // The answers decide where the queue starts: nothing is asked again.
    Conflict::Policy decided = Conflict::Policy::Overwrite;
    if (match >= 0) {
        const qint64 remoteSize = lvListView->size(match);
        const QString remoteSizeText = FormatFileSize(remoteSize);
        if (remoteSize < localLength) {
            const Prompts::Answer answer =
                ask(existsQuestion(remoteName, remoteSizeText, localLength,
                                   tr("Do you want to append lost data to existing file?")),
                    Prompts::YesNoCancel, Prompts::Question, tr("File already exists"));
            if (answer == Prompts::Yes)
                decided = Conflict::Policy::Resume;
            else if (answer != Prompts::No)
                return;
        } else {
            const Prompts::Answer answer =
                ask(existsQuestion(remoteName, remoteSizeText, localLength,
                                   tr("Do you want to cancel upload?")),
                    Prompts::YesNo, Prompts::Question, tr("File already exists"));
            if (answer != Prompts::No)
                return;
        }
    }
    beginTransfer(remoteName, localLength);
    startQueueSession();
    m_Transfers->uploadFile(localPath, nodeServerPath(listedNode()), listedEntries(), decided);
    setStatusText(tr("%1 queued for upload.").arg(QDir::toNativeSeparators(localPath)));
}

// ------------------------------------------------ remote file management

void frmMain::mnuCreateDir_Click() {
    runCommand([this] { CreateDirBody(); });
}

void frmMain::CreateDirBody() {
    const QString name = m_Prompts.inputBox(this, tr("Enter directory name, please."),
                                            tr("Create new directory"), QString());
    if (name.isEmpty())
        return;
    const bool created = engineCall(tr("creating %1").arg(name),
                                    [&](CFtpConnection& c) { return c.CreateDirectory(name); });
    if (!created) {
        ask(tr("Can't create new directory.") + CrLf + CrLf +
                serverResponse(engine().GetLastServerResponse()),
            Prompts::OkOnly, Prompts::NoIcon, tr("Can't create directory"));
        return;
    }
    if (QTreeWidgetItem* listed = m_ListedNode.get())
        ListDirectory(listed);
}

void frmMain::mnuDelete_Click() {
    runCommand([this] { DeleteBody(); }, tr("Delete file or directory"));
}

void frmMain::DeleteBody() {
    struct Target {
        QString name;
        bool directory;
    };
    QList<Target> targets;
    for (int row : lvListView->selectedRows()) {
        if (!isDotEntry(lvListView->text(row)))
            targets.append({lvListView->text(row), lvListView->icon(row) == 3});
    }
    const NodeRef folder = m_ListedNode;
    if (targets.isEmpty() || !folder) {
        ask(tr("Select file or directory to delete, please."), Prompts::OkOnly,
            Prompts::Information, tr("Delete file or directory"));
        return;
    }
    // Paths come from the folder the list shows, whatever the tree's
    // selection is by now; a link's folder by the path the server reported.
    QTreeWidgetItem* folderNode = folder.get();
    QString base = folder.key();
    if (folderNode && !folderNode->data(0, TreeTagRole).toString().isEmpty()) {
        base = nodeServerPath(folderNode);
        if (!base.endsWith(QLatin1Char('/')))
            base += QLatin1Char('/');
    }
    QString question;
    if (targets.size() == 1) {
        question = (targets[0].directory ? tr("Do you really want to remove directory %1?")
                                         : tr("Do you really want to delete file %1?"))
                       .arg(base + targets[0].name);
    } else {
        question = tr("Do you really want to delete these %1 entries?")
                       .arg(QString::number(targets.size())) +
                   CrLf;
        for (int i = 0; i < targets.size() && i < NamedInQuestion; ++i)
            question += CrLf + base + targets[i].name;
        if (targets.size() > NamedInQuestion)
            question += CrLf + andMore(targets.size() - NamedInQuestion);
    }
    if (ask(question, Prompts::YesNoCancel, Prompts::NoIcon, tr("Delete file")) != Prompts::Yes)
        return;
    QStringList failures;
    bool anyDone = false;
    for (const Target& target : targets) {
        const QString path = base + target.name;
        const bool done = engineCall(tr("deleting %1").arg(path), [&](CFtpConnection& c) {
            return target.directory ? c.RemoveDirectory(path) : c.DeleteFile(path);
        });
        if (done) {
            anyDone = true;
            if (target.directory)
                m_Nodes.remove(findNode(folder.key() + target.name + QLatin1Char('/')));
            continue;
        }
        const QString response = engine().GetLastServerResponse();
        if (targets.size() == 1) {
            const bool dir = target.directory;
            ask((dir ? tr("Can't remove directory.") : tr("Can't delete file.")) + CrLf + CrLf +
                    serverResponse(response),
                Prompts::OkOnly, Prompts::NoIcon,
                dir ? tr("Can't remove directory") : tr("Can't delete file"));
            return;
        }
        failures << path + QStringLiteral(": ") + response.trimmed();
        if (isConnectionLost(engine().FtpGetLastError()))
            break;
    }
    if (!failures.isEmpty())
        ask(tr("Can't delete %1 of %2 entries.")
                    .arg(QString::number(failures.size()), QString::number(targets.size())) +
                CrLf + CrLf + failures.join(CrLf),
            Prompts::OkOnly, Prompts::NoIcon, tr("Can't delete file"));
    if (anyDone) {
        if (QTreeWidgetItem* node = folder.get())
            ListDirectory(node);
    }
}

void frmMain::mnuRemoveDir_Click() {
    runCommand([this] { RemoveDirBody(); }, tr("Remove Directory"));
}

void frmMain::RemoveDirBody() {
    QTreeWidgetItem* selected = tvTreeView->currentItem();
    if (!selected) {
        ask(tr("Select a directory in the tree to remove, please."), Prompts::OkOnly,
            Prompts::Information, tr("Remove Directory"));
        return;
    }
    if (isRootNode(selected))
        return;
    if (ask(tr("Do you really want to remove directory: %1").arg(selected->text(0)), Prompts::YesNo,
            Prompts::Question, tr("Remove Directory")) != Prompts::Yes)
        return;
    const QString key = NodeIndex::key(selected);
    const NodeRef parentRef(m_Nodes, selected->parent());
    const bool removed = engineCall(tr("removing %1").arg(key),
                                    [&](CFtpConnection& c) { return c.RemoveDirectory(key); });
    if (!removed) {
        ask(tr("Can't remove directory.") + CrLf + CrLf +
                serverResponse(engine().GetLastServerResponse()),
            Prompts::OkOnly, Prompts::NoIcon, tr("Can't remove directory"));
        return;
    }
    m_Nodes.remove(findNode(key));
    QTreeWidgetItem* parent = parentRef.get();
    if (!parent)
        return;
    selectNode(parent);
    // The connection's directory is most often the one just removed: change
    // to the parent first, or the listing would fail.
    const QString path = nodeServerPath(parent);
    dropPendingMessage();
    engineCall(tr("change to %1").arg(path),
               [&](CFtpConnection& c) { return c.SetCurrentDirectory(path); });
    dropPendingMessage();
    if ((parent = parentRef.get()))
        ListDirectory(parent);
}

void frmMain::mnuRename_Click() {
    runCommand([this] { RenameBody(); }, tr("Rename File"));
}

void frmMain::RenameBody() {
    const int row = selectedListRow();
    if (row < 0 || isDotEntry(lvListView->text(row))) {
        ask(tr("Select file to rename, please."), Prompts::OkOnly, Prompts::Information,
            tr("Rename File"));
        return;
    }
    const QString oldName = lvListView->text(row);
    const bool directory = lvListView->icon(row) == 3;
    // The box opens with the current name to edit; confirming it is the
    // one question.
    const QString newName = m_Prompts.inputBox(this, tr("Enter new file name for %1").arg(oldName),
                                               tr("Rename File"), oldName);
    if (newName.isEmpty() || newName == oldName)
        return;
    const NodeRef folder = m_ListedNode;
    const bool renamed = engineCall(tr("renaming %1").arg(oldName), [&](CFtpConnection& c) {
        return c.RenameFile(oldName, newName);
    });
    if (!renamed) {
        ask(tr("Can't rename file.") + CrLf + CrLf +
                serverResponse(engine().GetLastServerResponse()),
            Prompts::OkOnly, Prompts::NoIcon, tr("Can't rename file"));
        return;
    }
    // The folder's node takes the new name with the folders listed below
    // it; a name that moved it elsewhere takes the node away.
    if (directory) {
        QTreeWidgetItem* node = findNode(folder.key() + oldName + QLatin1Char('/'));
        if (!isFolderName(newName) ||
            !m_Nodes.rename(node, folder.key() + newName + QLatin1Char('/'), newName))
            m_Nodes.remove(node);
    }
    if (QTreeWidgetItem* node = folder.get())
        ListDirectory(node);
}
