#pragma once

#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

// The remote folder tree's nodes by key (an absolute directory path ending
// in "/"): found through a hash, never by walking the tree. Every change of
// the tree's nodes goes through here so the hash stays true.
class NodeIndex {
public:
    // Node data: key, tag (a link's target), images shown collapsed and expanded.
    static constexpr int KeyRole = 0x0100 + 1; // Qt::UserRole + 1
    static constexpr int TagRole = 0x0100 + 2;
    static constexpr int ImageRole = 0x0100 + 3;
    static constexpr int ExpandedImageRole = 0x0100 + 4;

    explicit NodeIndex(QTreeWidget* tree = nullptr) : m_Tree(tree) {}
    void setTree(QTreeWidget* tree) { m_Tree = tree; }

    static QString key(const QTreeWidgetItem* node);
    QTreeWidgetItem* find(const QString& key) const { return m_Nodes.value(key); }

    // A new node, or nullptr when one with the key exists already. Without a
    // parent the node is a top-level one.
    QTreeWidgetItem* add(QTreeWidgetItem* parent, const QString& key, const QString& text,
                         int image, int expandedImage = 0);
    struct Child {
        QString key;
        QString text;
        QString tag;
    };
    // Adds, in one step, the children whose keys are new (a listing's
    // folders); existing nodes keep their data.
    void addChildren(QTreeWidgetItem* parent, const QList<Child>& children, int image,
                     int expandedImage);
    // Gives a node a new key and text; its subtree keeps its nodes under
    // keys that follow the new one, and the node moves to its sorted place.
    // False when the new key is taken or the node unknown.
    bool rename(QTreeWidgetItem* node, const QString& newKey, const QString& newText);
    // The order of folders among their siblings: by name ignoring case, as
    // the file list sorts them.
    static bool before(const QString& a, const QString& b);
    // Deletes a node with its subtree.
    void remove(QTreeWidgetItem* node);
    void removeChildren(QTreeWidgetItem* node);
    void clear();
    int size() const { return int(m_Nodes.size()); }

private:
    static constexpr int ImageCount = 4;
    QTreeWidgetItem* newNode(const QString& key, const QString& text, int image, int expandedImage);
    void forget(QTreeWidgetItem* node);
    // Puts a node among its parent's children (or the top level) in order.
    void insertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* node);

    QTreeWidget* m_Tree = nullptr;
    QHash<QString, QTreeWidgetItem*> m_Nodes;
    QIcon m_Icons[ImageCount];
};

// A node remembered by its key across an engine call: the wait may delete
// nodes, so the reference resolves each time it is read and then reads as
// null for a node that is gone.
class NodeRef {
public:
    NodeRef() = default;
    NodeRef(const NodeIndex& index, const QTreeWidgetItem* node)
        : m_Index(node ? &index : nullptr), m_Key(NodeIndex::key(node)) {}

    QTreeWidgetItem* get() const { return m_Index ? m_Index->find(m_Key) : nullptr; }
    QTreeWidgetItem* operator->() const { return get(); }
    explicit operator bool() const { return get() != nullptr; }
    // The key stays readable after the node is gone.
    const QString& key() const { return m_Key; }
    void reset() { *this = NodeRef(); }

private:
    const NodeIndex* m_Index = nullptr;
    QString m_Key;
};
