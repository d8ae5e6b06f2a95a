#include "LinkTargets.h"

#include <QHash>
#include <QStringList>

namespace LinkTargets {

bool lacksTarget(const CFtpFile& file) {
    return file.Permissions.startsWith(u'l') && file.FilePath.isEmpty();
}

void complete(const std::vector<CFtpFile*>& links, const CFtpFiles& listing) {
    if (links.empty())
        return;
    QHash<QString, const CFtpFile*> byName;
    for (const CFtpFiles::Entry& entry : listing) {
        if (entry && entry->Permissions.startsWith(u'l') && !entry->FilePath.isEmpty())
            byName.insert(entry->FileName, entry.get());
    }
    for (CFtpFile* link : links) {
        const auto found = byName.constFind(link->FileName);
        if (found == byName.constEnd())
            continue;
        link->FilePath = (*found)->FilePath;
        link->IsDirectory = (*found)->IsDirectory;
    }
}

QString resolve(QStringView folder, QStringView target) {
    QStringList parts;
    const auto walk = [&parts](QStringView path) {
        for (const QStringView piece : path.split(u'/', Qt::SkipEmptyParts)) {
            if (piece == u".")
                continue;
            if (piece == u"..") {
                if (!parts.isEmpty())
                    parts.removeLast();
                continue;
            }
            parts.append(piece.toString());
        }
    };
    if (!target.startsWith(u'/'))
        walk(folder);
    walk(target);
    return QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

} // namespace LinkTargets
