#include "NodeIndex.h"

#include <QTest>
#include <QTreeWidget>

// The tree's nodes by key: the hash must stay true through every change, and
// a remembered node must read as gone once it is.
class tst_NodeIndex : public QObject {
    Q_OBJECT

    // / with pub (and pub/in, pub/in/deep) and etc.
    static void build(NodeIndex& index) {
        QTreeWidgetItem* root = index.add(nullptr, QStringLiteral("/"), QStringLiteral("/"), 1);
        QTreeWidgetItem* pub =
            index.add(root, QStringLiteral("/pub/"), QStringLiteral("pub"), 2, 3);
        QTreeWidgetItem* in =
            index.add(pub, QStringLiteral("/pub/in/"), QStringLiteral("in"), 2, 3);
        index.add(in, QStringLiteral("/pub/in/deep/"), QStringLiteral("deep"), 2, 3);
        index.add(root, QStringLiteral("/etc/"), QStringLiteral("etc"), 2, 3);
    }

private slots:
    void findAndRefuseDuplicates() {
        QTreeWidget tree;
        NodeIndex index(&tree);
        build(index);
        QCOMPARE(index.size(), 5);
        QTreeWidgetItem* in = index.find(QStringLiteral("/pub/in/"));
        QVERIFY(in);
        QCOMPARE(in->text(0), QStringLiteral("in"));
        QCOMPARE(NodeIndex::key(in), QStringLiteral("/pub/in/"));
        QCOMPARE(in->data(0, NodeIndex::ExpandedImageRole).toInt(), 3);
        QVERIFY(!index.add(in, QStringLiteral("/pub/in/"), QStringLiteral("in"), 2));
        QCOMPARE(in->childCount(), 1);
        QVERIFY(!index.find(QStringLiteral("/pub/in")));
    }

    // Removing a node forgets its whole subtree; its siblings stay.
    void removeForgetsTheSubtree_data() {
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QStringList>("gone");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("a leaf") << "/etc/" << QStringList{"/etc/"}
                                << QStringList{"/", "/pub/", "/pub/in/", "/pub/in/deep/"};
        QTest::newRow("a subtree") << "/pub/" << QStringList{"/pub/", "/pub/in/", "/pub/in/deep/"}
                                   << QStringList{"/", "/etc/"};
        QTest::newRow("the root") << "/" << QStringList{"/", "/pub/", "/etc/", "/pub/in/deep/"}
                                  << QStringList{};
    }
    void removeForgetsTheSubtree() {
        QFETCH(QString, removed);
        QFETCH(QStringList, gone);
        QFETCH(QStringList, kept);
        QTreeWidget tree;
        NodeIndex index(&tree);
        build(index);
        const NodeRef deep(index, index.find(QStringLiteral("/pub/in/deep/")));
        index.remove(index.find(removed));
        for (const QString& key : gone)
            QVERIFY2(!index.find(key), qPrintable(key));
        for (const QString& key : kept)
            QVERIFY2(index.find(key), qPrintable(key));
        QCOMPARE(bool(deep), kept.contains(QStringLiteral("/pub/in/deep/")));
        QCOMPARE(deep.key(), QStringLiteral("/pub/in/deep/"));
        // A key that is free again takes a new node.
        QVERIFY(index.add(nullptr, removed, QStringLiteral("again"), 2));
        index.remove(nullptr); // nothing to do
    }

    void removeChildrenAndClear() {
        QTreeWidget tree;
        NodeIndex index(&tree);
        build(index);
        QTreeWidgetItem* pub = index.find(QStringLiteral("/pub/"));
        index.removeChildren(pub);
        QCOMPARE(pub->childCount(), 0);
        QVERIFY(!index.find(QStringLiteral("/pub/in/deep/")));
        QCOMPARE(index.size(), 3);
        index.clear();
        QCOMPARE(index.size(), 0);
        QCOMPARE(tree.topLevelItemCount(), 0);
    }

    // A listing's folders go in at once; existing nodes keep their subtree.
    void addChildrenKeepsExisting() {
        QTreeWidget tree;
        NodeIndex index(&tree);
        build(index);
        QTreeWidgetItem* pub = index.find(QStringLiteral("/pub/"));
        QList<NodeIndex::Child> children;
        for (const QString& name :
             {QStringLiteral("in"), QStringLiteral("new"), QStringLiteral("link")})
            children.append(
                {QStringLiteral("/pub/") + name + QLatin1Char('/'), name,
                 name == QLatin1String("link") ? QStringLiteral("usr/bin") : QString()});
        index.addChildren(pub, children, 2, 3);
        QCOMPARE(pub->childCount(), 3);
        QVERIFY(index.find(QStringLiteral("/pub/in/deep/")));
        QCOMPARE(index.find(QStringLiteral("/pub/link/"))->data(0, NodeIndex::TagRole).toString(),
                 QStringLiteral("usr/bin"));
        QCOMPARE(index.size(), 7);
    }
};

QTEST_MAIN(tst_NodeIndex)
#include "tst_NodeIndex.moc"
