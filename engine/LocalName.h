#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// The one way a server's name becomes the name of a local file. A listing
// line or a reply is the server's to write: a name such as "../../.bashrc",
// "/etc/passwd" or "C:\boot.ini" must never choose a place outside the
// folder the user picked. Pure: text in, text out.
namespace LocalName {

// The name itself when it is safe as one component of a local path;
// otherwise empty, with *why (when given) saying what is wrong with it.
// Refused: an empty name, "." and "..", any "/" or "\", a drive prefix
// ("C:"), NUL and every other control character (C0, DEL, C1).
std::optional<QString> fromRemote(QStringView name, QString* why = nullptr);

// The same for the last component of a remote path ("pub/a.txt" gives
// "a.txt"), for commands that name a path rather than a listed entry.
std::optional<QString> fromRemotePath(QStringView path, QString* why = nullptr);

} // namespace LocalName
