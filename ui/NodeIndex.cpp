#include "NodeIndex.h"

#include "Artwork.h"

#include <QTreeWidget>

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

QTreeWidgetItem* NodeIndex::add(QTreeWidgetItem* parent, const QString& key, const QString& text,
                                int image, int expandedImage) {
    if (m_Nodes.contains(key))
        return nullptr;
    QTreeWidgetItem* node = newNode(key, text, image, expandedImage);
    if (parent)
        parent->addChild(node);
    else
        m_Tree->addTopLevelItem(node);
    m_Nodes.insert(key, node);
    return node;
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
    // One insertion for the lot: the view lays out once, not once per folder.
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
