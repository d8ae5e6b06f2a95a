// Drops on the main window's panes: local files and folders uploaded into a
// remote folder, remote entries moved to another folder. Both run as
// commands after the drop event has returned, so no wait runs inside a
// drag's event handler.

#include "frmMain.h"

#include "CFtpConnection.h"
#include "FileListView.h"
#include "PaneDrops.h"
#include "Prompts.h"
#include "WindowTransfers.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileInfo>
#include <QListView>
#include <QRadioButton>
#include <QTreeView>
#include <QTreeWidget>

namespace {

QString joinRemote(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

} // namespace

void frmMain::createDrops() {
    PaneDrops::Hooks hooks;
    hooks.accepting = [this] { return commandEnabled(QStringLiteral("Upload")); };
    hooks.folderAt = [this](QWidget* viewport, const QPoint& pos) -> QString {
        if (viewport == tvTreeView->viewport()) {
            const QTreeWidgetItem* node = tvTreeView->itemAt(pos);
            return node ? NodeIndex::key(node) : QString();
        }
        // On the list: the folder entry under the pointer when it has a node,
        // anywhere else the listed folder.
        const auto* view = qobject_cast<QAbstractItemView*>(viewport->parentWidget());
        const int row = view ? view->indexAt(pos).row() : -1;
        if (row >= 0 && lvListView->icon(row) == 3) {
            const QString name = lvListView->text(row);
            if (name != QLatin1String(".") && name != QLatin1String("..") &&
                findNode(listedKey() + name + QLatin1Char('/')))
                return listedKey() + name + QLatin1Char('/');
        }
        return listedNode() ? listedKey() : QString();
    };
    hooks.listedKey = [this] { return listedNode() ? listedKey() : QString(); };
    hooks.selectedNames = [this] {
        QStringList names;
        for (int row : lvListView->selectedRows()) {
            const QString name = lvListView->text(row);
            if (name != QLatin1String(".") && name != QLatin1String(".."))
                names.append(name);
        }
        return names;
    };
    m_Drops = new PaneDrops(std::move(hooks), this);
    m_Drops->watch(tvTreeView, false);
    m_Drops->watch(lvListView->detailsView(), true);
    m_Drops->watch(lvListView->iconView(), true);
    // Qt's list view takes drops back whenever its movement is set, as each
    // view mode does.
    connect(lvListView, &FileListView::viewModeChanged, this,
            [this] { lvListView->iconView()->viewport()->setAcceptDrops(true); });
    connect(
        m_Drops, &PaneDrops::localDropped, this,
        [this](const QStringList& paths, const QString& folder) {
            runCommand([this, paths, folder] { UploadDroppedBody(paths, folder); },
                       tr("Upload File"));
        },
        Qt::QueuedConnection);
    connect(
        m_Drops, &PaneDrops::remoteDropped, this,
        [this](const QString& from, const QStringList& names, const QString& folder) {
            runCommand([this, from, names, folder] { MoveDroppedBody(from, names, folder); },
                       tr("Move"));
        },
        Qt::QueuedConnection);
}

// The target folder is listed first, so the user sees where the files go
// and the queue knows what is there already; the queue's connections move
// the files and walk the folders, the browsing session stays free.
void frmMain::UploadDroppedBody(const QStringList& localPaths, const QString& folderKey) {
    QTreeWidgetItem* node = findNode(folderKey);
    if (!node)
        return;
    if (node != listedNode()) {
        NodeClick(node);
        if (listedKey() != folderKey)
            return;
    }
    startQueueSession();
    m_Transfers->upload(localPaths, nodeServerPath(node), listedEntries());
    setStatusText(tr("Queued for upload: %1.").arg(localPaths.size()));
}

void frmMain::MoveDroppedBody(const QString& fromKey, const QStringList& names,
                              const QString& folderKey) {
    QTreeWidgetItem* from = findNode(fromKey);
    QTreeWidgetItem* to = findNode(folderKey);
    if (!from || !to || from != listedNode())
        return;
    const QString fromPath = nodeServerPath(from);
    const QString toPath = nodeServerPath(to);
    const QString what = names.size() == 1 ? names.front() : tr("%1 entries").arg(names.size());
    if (ask(tr("Move %1 from %2 to %3?").arg(what, fromPath, toPath), Prompts::YesNo,
            Prompts::Question, tr("Move")) != Prompts::Yes)
        return;
    const NodeRef listed(m_Nodes, from);
    QStringList failed;
    for (const QString& name : names) {
        const bool folder = findNode(fromKey + name + QLatin1Char('/')) != nullptr;
        const bool moved = engineCall(tr("moving %1").arg(name), [&](CFtpConnection& c) {
            return c.RenameFile(joinRemote(fromPath, name), joinRemote(toPath, name));
        });
        if (!moved)
            failed.append(tr("%1: %2").arg(name, engine().GetLastServerResponse().trimmed()));
        else if (folder)
            // The target's listing brings the folder back under its new parent.
            m_Nodes.remove(findNode(fromKey + name + QLatin1Char('/')));
    }
    if (QTreeWidgetItem* again = listed.get())
        ListDirectory(again);
    if (!failed.isEmpty())
        ask(tr("Can't move:\r\n\r\n%1").arg(failed.join(QStringLiteral("\r\n"))), Prompts::OkOnly,
            Prompts::NoIcon, tr("Move"));
}
