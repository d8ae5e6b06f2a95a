#include "Site.h"

#include "SiteStore.h"

#include <QUuid>

Site* SiteList::find(const QString& id) {
    for (Site& site : sites) {
        if (site.id == id)
            return &site;
    }
    return nullptr;
}

const Site* SiteList::find(const QString& id) const {
    return const_cast<SiteList*>(this)->find(id);
}

QString SiteList::uniqueName(const QString& folder, const QString& name,
                             const QString& except) const {
    auto taken = [&](const QString& candidate) {
        for (const Site& site : sites) {
            if (site.id != except && site.folder == folder &&
                site.name.compare(candidate, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    };
    QString candidate = name;
    for (int n = 2; taken(candidate) && n <= sites.size() + 1; ++n)
        candidate = QStringLiteral("%1 (%2)").arg(name).arg(n);
    return candidate;
}

QString SiteList::add(Site site) {
    site.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    site.folder = SiteStore::normalFolder(site.folder);
    site.name = uniqueName(site.folder, site.name);
    addFolder(site.folder);
    sites.append(site);
    return site.id;
}

void SiteList::addFolder(const QString& folder) {
    const QString canonical = SiteStore::normalFolder(folder);
    if (canonical.isEmpty())
        return;
    QString path;
    for (const QString& piece : canonical.split(QLatin1Char('/'))) {
        path = path.isEmpty() ? piece : path + QLatin1Char('/') + piece;
        if (!folders.contains(path))
            folders.append(path);
    }
}
