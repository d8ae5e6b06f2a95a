#pragma once

#include "CFtpFiles.h"

#include <QByteArray>
#include <QString>

// Output of `ls`: one entry a line, tab-separated, or a JSON array.
namespace ListingFormat {

// 'l' for links, 'd' for directories, '-' for everything else.
QChar typeOf(const CFtpFile& file);

// type, size, ISO date, permissions, owner, group, name [, "-> " target].
// Backslash, tab, line ends and other control characters in texts are
// written as escapes (\\, \t, \n, \r, \xHH) so each entry stays one line.
QString textLine(const CFtpFile& file);

// A JSON array of objects: type, directory, size, modified, permissions,
// owner, group, name and, for links, target. Ends with a line end.
QByteArray json(const CFtpFiles& files);

QString escapeField(const QString& text);

} // namespace ListingFormat
