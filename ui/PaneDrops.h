#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <functional>

class QAbstractItemView;
class QMimeData;
class QWidget;

// Drag and drop on the remote panes. Files dropped from the file manager
// become an upload into the folder under the pointer; entries dragged out of
// the list and dropped on another folder become a move there. The window
// decides what a point means (hooks) and what a drop does (signals); this
// class only speaks Qt's drag events.
class PaneDrops : public QObject {
    Q_OBJECT
public:
    // What an internal drag carries: the source folder's node key, then one
    // name a line.
    static constexpr const char* RemoteMime = "application/x-krellin-remote-entries";

    struct Hooks {
        // True while a drop may start something: a session open, the engine at rest.
        std::function<bool()> accepting;
        // The tree node key of the folder at a point of a watched viewport,
        // or empty where nothing can be dropped.
        std::function<QString(QWidget* viewport, const QPoint& pos)> folderAt;
        // The listed folder's key and the selected names, for a drag out of the list.
        std::function<QString()> listedKey;
        std::function<QStringList()> selectedNames;
    };

    PaneDrops(Hooks hooks, QObject* parent = nullptr);

    // Takes drops on the view; with dragSource, drags start from its selection.
    void watch(QAbstractItemView* view, bool dragSource);

    // The local paths of a drop from outside: every URL a local file or
    // folder that exists; empty when any is not (a web link, a vanished file).
    static QStringList localPaths(const QMimeData* data);
    static QMimeData* remoteEntries(const QString& folderKey, const QStringList& names);
    // The source folder's key and the names of an internal drag; empty when none.
    static QStringList remoteNames(const QMimeData* data, QString* folderKey);

signals:
    void localDropped(const QStringList& localPaths, const QString& folderKey);
    void remoteDropped(const QString& fromKey, const QStringList& names, const QString& folderKey);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The folder a drag may land on, or empty: not busy, a known kind of
    // data, and no entry dropped on the folder it came from.
    QString target(QWidget* viewport, const QPoint& pos, const QMimeData* data) const;
    void startDrag(QWidget* viewport);

    Hooks m_Hooks;
    QPointer<QWidget> m_PressedIn;
    QPoint m_PressedAt;
};
