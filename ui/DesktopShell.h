#pragma once

#include <QString>
#include <QUrl>

// The desktop's "open" action for documents and addresses.
namespace DesktopShell {

// Opens a local file with the desktop's handler for its type. False when the
// desktop has no handler for it or the handler could not be started.
bool openDocument(const QString& path);

// Opens an address (a web page) in the desktop's browser.
bool openUrl(const QUrl& url);

} // namespace DesktopShell
