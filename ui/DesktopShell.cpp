#include "DesktopShell.h"

#include <QDesktopServices>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

namespace DesktopShell {

namespace {

// Qt hands the file to xdg-open and reports success as soon as xdg-open has
// started, even when no program is registered for the type; ask first.
bool hasHandlerFor(const QString& path) {
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return false;
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished(1000);
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           !query.readAllStandardOutput().trimmed().isEmpty();
}

} // namespace

bool openDocument(const QString& path) {
    if (!hasHandlerFor(path))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

} // namespace DesktopShell
