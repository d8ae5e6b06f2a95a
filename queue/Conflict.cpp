#include "Conflict.h"

#include <QFileInfo>

namespace Conflict {

Plan decide(Policy policy, const QueueItem& item, const Target& target) {
    switch (policy) {
    case Policy::Ask: // the caller asks first; unanswered means skip
    case Policy::Skip:
        return {Action::Skip, 0};
    case Policy::Overwrite:
        return {Action::Transfer, 0};
    case Policy::Rename:
        return {Action::Rename, 0};
    case Policy::Resume:
        if (item.size >= 0 && target.size >= item.size)
            return {Action::Skip, 0};
        return {Action::Resume, qMax<qint64>(0, target.size)};
    case Policy::OverwriteIfNewer:
        // Without both times there is no telling which is newer: skip.
        if (item.sourceTime > 0 && target.time > 0 && item.sourceTime > target.time)
            return {Action::Transfer, 0};
        return {Action::Skip, 0};
    case Policy::OverwriteIfSizeDiffers:
        if (item.size >= 0 && target.size == item.size)
            return {Action::Skip, 0};
        return {Action::Transfer, 0};
    }
    return {Action::Skip, 0};
}

QString freeName(const QString& path, const std::function<bool(const QString&)>& taken) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = path.left(slash + 1);
    const QString name = path.mid(slash + 1);
    // The extension stays at the end: "report (1).pdf". A leading dot is a
    // hidden file's name, not an extension.
    qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        dot = name.size();
    for (int n = 1; n < 10000; ++n) {
        const QString candidate =
            folder + name.left(dot) + QStringLiteral(" (%1)").arg(n) + name.mid(dot);
        if (!taken(candidate))
            return candidate;
    }
    return {};
}

QString policyText(Policy policy) {
    switch (policy) {
    case Policy::Ask:
        return QStringLiteral("Ask");
    case Policy::Overwrite:
        return QStringLiteral("Overwrite");
    case Policy::Resume:
        return QStringLiteral("Resume");
    case Policy::Skip:
        return QStringLiteral("Skip");
    case Policy::Rename:
        return QStringLiteral("Rename");
    case Policy::OverwriteIfNewer:
        return QStringLiteral("Overwrite if newer");
    case Policy::OverwriteIfSizeDiffers:
        return QStringLiteral("Overwrite if size differs");
    }
    return {};
}

} // namespace Conflict
