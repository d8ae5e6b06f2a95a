#include "PaneDrops.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

PaneDrops::PaneDrops(Hooks hooks, QObject* parent) : QObject(parent), m_Hooks(std::move(hooks)) {}

void PaneDrops::watch(QAbstractItemView* view, bool dragSource) {
    view->setAcceptDrops(true);
    view->viewport()->setAcceptDrops(true);
    view->viewport()->installEventFilter(this);
    if (dragSource)
        view->viewport()->setProperty("krellinDragSource", true);
}

QStringList PaneDrops::localPaths(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return {};
    QStringList paths;
    for (const QUrl& url : data->urls()) {
        const QFileInfo info(url.toLocalFile());
        if (!url.isLocalFile() || !info.exists() || (!info.isFile() && !info.isDir()))
            return {};
        paths.append(info.absoluteFilePath());
    }
    return paths;
}

QMimeData* PaneDrops::remoteEntries(const QString& folderKey, const QStringList& names) {
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(RemoteMime),
                  (QStringList{folderKey} + names).join(QLatin1Char('\n')).toUtf8());
    return data;
}

QStringList PaneDrops::remoteNames(const QMimeData* data, QString* folderKey) {
    const QString mime = QString::fromLatin1(RemoteMime);
    if (!data || !data->hasFormat(mime))
        return {};
    QStringList lines = QString::fromUtf8(data->data(mime)).split(QLatin1Char('\n'));
    if (lines.size() < 2 || lines.front().isEmpty())
        return {};
    if (folderKey)
        *folderKey = lines.takeFirst();
    else
        lines.removeFirst();
    // A name is one path component: a drag from another program that claims
    // this type cannot make a move climb out of its folder.
    for (const QString& name : lines)
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
            name.contains(QLatin1Char('/')))
            return {};
    return lines;
}

QString PaneDrops::target(QWidget* viewport, const QPoint& pos, const QMimeData* data) const {
    if (!m_Hooks.accepting())
        return {};
    const QString folder = m_Hooks.folderAt(viewport, pos);
    if (folder.isEmpty())
        return {};
    QString from;
    const QStringList names = remoteNames(data, &from);
    if (!names.isEmpty()) {
        // Not back into its own folder, nor a folder into itself or below it.
        if (folder == from)
            return {};
        for (const QString& name : names)
            if (folder.startsWith(from + name + QLatin1Char('/')))
                return {};
        return folder;
    }
    return localPaths(data).isEmpty() ? QString() : folder;
}

bool PaneDrops::eventFilter(QObject* watched, QEvent* event) {
    auto* viewport = qobject_cast<QWidget*>(watched);
    if (!viewport)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        const bool internal = drag->mimeData()->hasFormat(QString::fromLatin1(RemoteMime));
        if (target(viewport, drag->position().toPoint(), drag->mimeData()).isEmpty()) {
            drag->ignore();
        } else {
            drag->setDropAction(internal ? Qt::MoveAction : Qt::CopyAction);
            drag->accept();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString folder = target(viewport, drop->position().toPoint(), drop->mimeData());
        if (folder.isEmpty()) {
            drop->ignore();
            return true;
        }
        QString from;
        const QStringList names = remoteNames(drop->mimeData(), &from);
        if (!names.isEmpty()) {
            drop->setDropAction(Qt::MoveAction);
            drop->accept();
            emit remoteDropped(from, names, folder);
        } else {
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            emit localDropped(localPaths(drop->mimeData()), folder);
        }
        return true;
    }
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        m_PressedIn = nullptr;
        if (mouse->button() == Qt::LeftButton && viewport->property("krellinDragSource").toBool()) {
            m_PressedIn = viewport;
            m_PressedAt = mouse->position().toPoint();
        }
        return false;
    }
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_PressedIn != viewport || !(mouse->buttons() & Qt::LeftButton) ||
            (mouse->position().toPoint() - m_PressedAt).manhattanLength() <
                QApplication::startDragDistance())
            return false;
        // Only a press on a selected entry drags; elsewhere the view's own
        // rubber band selects.
        auto* view = qobject_cast<QAbstractItemView*>(viewport->parentWidget());
        if (!view || !view->selectionModel() ||
            !view->selectionModel()->isSelected(view->indexAt(m_PressedAt))) {
            m_PressedIn = nullptr;
            return false;
        }
        m_PressedIn = nullptr;
        startDrag(viewport);
        return true;
    }
    default:
        return false;
    }
}

void PaneDrops::startDrag(QWidget* viewport) {
    if (!m_Hooks.accepting())
        return;
    const QStringList names = m_Hooks.selectedNames();
    const QString from = m_Hooks.listedKey();
    if (names.isEmpty() || from.isEmpty())
        return;
    auto* drag = new QDrag(viewport);
    drag->setMimeData(remoteEntries(from, names));
    drag->exec(Qt::MoveAction);
}
