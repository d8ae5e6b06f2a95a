#include "NodeIndex.h"

#include "Artwork.h"

#include <QTreeWidget>
#include <algorithm>

QString NodeIndex::key(const QTreeWidgetItem* node) {
    return node ? node->data(0, KeyRole).toString() : QString();
}

QTreeWidgetItem* NodeIndex::newNode(const QString& key, const QString& text, int image,
                                    int expandedImage) {
    auto* node = new QTreeWidgetItem;
    node->setText(0, text);
    node->setData(0, KeyRole, key);
    node->setData(0, ImageRole, image);
    node->setData(0, ExpandedImageRole, expandedImage);
    // Drawn once per image: the nodes of a big folder share one icon.
    if (image >= 0 && image < ImageCount) {
        if (m_Icons[image].isNull())
            m_Icons[image] = Artwork::treeIcon(image);
        node->setIcon(0, m_Icons[image]);
    }
    return node;
}

bool NodeIndex::before(const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

void NodeIndex::insertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* node) {
    const int count = parent ? parent->childCount() : m_Tree->topLevelItemCount();
    auto textAt = [&](int i) {
        return (parent ? parent->child(i) : m_Tree->topLevelItem(i))->text(0);
    };
    int low = 0;
    int high = count;
    while (low < high) {
        const int middle = (low + high) / 2;
        if (before(node->text(0), textAt(middle)))
            high = middle;
        else
            low = middle + 1;
    }
    if (parent)
        parent->insertChild(low, node);
    else
        m_Tree->insertTopLevelItem(low, node);
}

QTreeWidgetItem* NodeIndex::add(QTreeWidgetItem* parent, const QString& key, const QString& text,
                                int image, int expandedImage) {
    if (m_Nodes.contains(key))
        return nullptr;
    QTreeWidgetItem* node = newNode(key, text, image, expandedImage);
    insertSorted(parent, node);
    m_Nodes.insert(key, node);
    return node;
}

bool NodeIndex::rename(QTreeWidgetItem* node, const QString& newKey, const QString& newText) {
    const QString oldKey = key(node);
    if (!node || m_Nodes.value(oldKey) != node || (newKey != oldKey && m_Nodes.contains(newKey)))
        return false;
    // Taking the node out of the view forgets which of its folders were open.
    QList<QTreeWidgetItem*> subtree{node};
    QList<QTreeWidgetItem*> expanded;
    for (int i = 0; i < subtree.size(); ++i) {
        QTreeWidgetItem* n = subtree.at(i);
        if (n->isExpanded())
            expanded << n;
        for (int c = 0; c < n->childCount(); ++c)
            subtree << n->child(c);
        const QString k = key(n);
        m_Nodes.remove(k);
        const QString renamed = newKey + k.mid(oldKey.size());
        n->setData(0, KeyRole, renamed);
        m_Nodes.insert(renamed, n);
    }
    node->setText(0, newText);
    QTreeWidgetItem* parent = node->parent();
    const bool current = m_Tree && m_Tree->currentItem() == node;
    if (parent)
        parent->takeChild(parent->indexOfChild(node));
    else
        m_Tree->takeTopLevelItem(m_Tree->indexOfTopLevelItem(node));
    insertSorted(parent, node);
    for (QTreeWidgetItem* n : std::as_const(expanded))
        n->setExpanded(true);
    if (current)
        m_Tree->setCurrentItem(node);
    return true;
}

void NodeIndex::addChildren(QTreeWidgetItem* parent, const QList<Child>& children, int image,
                            int expandedImage) {
    QList<QTreeWidgetItem*> added;
    for (const Child& child : children) {
        if (m_Nodes.contains(child.key))
            continue;
        QTreeWidgetItem* node = newNode(child.key, child.text, image, expandedImage);
        node->setData(0, TagRole, child.tag);
        m_Nodes.insert(child.key, node);
        added << node;
    }
    const int existing = parent ? parent->childCount() : m_Tree->topLevelItemCount();
    if (existing > 0) {
        // A few new folders beside known ones: each to its place.
        for (QTreeWidgetItem* node : std::as_const(added))
            insertSorted(parent, node);
        return;
    }
    // One insertion for the lot: the view lays out once, not once per folder.
    std::sort(added.begin(), added.end(), [](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
        return before(a->text(0), b->text(0));
    });
    if (parent)
        parent->addChildren(added);
    else
        m_Tree->addTopLevelItems(added);
}

void NodeIndex::forget(QTreeWidgetItem* node) {
    // Each node is visited once: the walk ends with the subtree.
    QList<QTreeWidgetItem*> pending{node};
    while (!pending.isEmpty()) {
        QTreeWidgetItem* n = pending.takeLast();
        const auto it = m_Nodes.constFind(key(n));
        if (it != m_Nodes.constEnd() && *it == n)
            m_Nodes.erase(it);
        for (int i = 0; i < n->childCount(); ++i)
            pending << n->child(i);
    }
}

void NodeIndex::remove(QTreeWidgetItem* node) {
    if (!node)
        return;
    forget(node);
    delete node; // takes itself out of its parent
}

void NodeIndex::removeChildren(QTreeWidgetItem* node) {
    if (!node || node->childCount() == 0)
        return;
    const QList<QTreeWidgetItem*> children = node->takeChildren();
    for (QTreeWidgetItem* child : children)
        forget(child);
    qDeleteAll(children);
}

void NodeIndex::clear() {
    m_Nodes.clear();
    m_Tree->clear();
}
