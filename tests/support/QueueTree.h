#pragma once

#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QString>

// The folder tree the queue's tests move: nested and empty folders, files
// of awkward sizes, and a link back up that must never be followed.
inline const QList<QPair<QString, qint64>> TreeFiles = {
    {"a.bin", 100000}, {"empty.txt", 0},          {"sub/b.bin", 4096},
    {"sub/c.bin", 1},  {"sub/deep/d.bin", 70001}, {"sub/deep/e.bin", 3000},
};

inline bool writeTree(const QString& root) {
    for (const auto& [name, size] : TreeFiles) {
        const QString path = root + '/' + name;
        if (!QDir().mkpath(QFileInfo(path).absolutePath()) ||
            !TestUtil::writePatternFile(path, size))
            return false;
    }
    // A link back up into the tree: followed, it would never end.
    return QDir().mkpath(root + "/hollow") && QFile::link("../../sub", root + "/sub/deep/up");
}

// Every file of the tree, byte-exact, under both roots; the empty folder
// too. Empty when they match, else what differs.
inline QString compareTrees(const QString& expected, const QString& actual) {
    for (const auto& [name, size] : TreeFiles) {
        if (TestUtil::fileChecksum(actual + '/' + name) !=
            TestUtil::fileChecksum(expected + '/' + name))
            return name + " differs";
    }
    if (QFileInfo::exists(actual + "/sub/deep/up"))
        return QStringLiteral("the link back up was followed");
    return QFileInfo(actual + "/hollow").isDir() ? QString() : QStringLiteral("hollow is missing");
}
