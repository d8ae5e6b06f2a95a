#pragma once

#include <QString>
#include <optional>

// Log-in names and passwords from a .netrc file, read as curl, lftp and wget
// read it: "machine NAME", "default", "login NAME", "password TEXT" (and
// "account", "macdef" skipped), words separated by blanks or line breaks, a
// word in double quotes may hold blanks and \" \\ escapes, and "#" starts a
// comment that runs to the end of the line.
namespace Netrc {

struct Entry {
    QString login;    // empty: the entry names none
    QString password; // empty: the entry names none
};

// The entry for host: the first "machine" with that host (and, when login is
// given, that login or none), else "default". Nothing when none fits.
std::optional<Entry> find(const QString& text, const QString& host, const QString& login);

// The file krellin-cli reads when no --netrc-file is given: $HOME/.netrc.
QString defaultPath();

} // namespace Netrc
