#pragma once

#include "CFtpFiles.h"

#include <QByteArray>
#include <QString>

class QTextStream;

// Output of `ls`: one entry a line, tab-separated, or a JSON array.
namespace ListingFormat {

// 'l' for links, 'd' for directories, '-' for everything else.
QChar typeOf(const CFtpFile& file);

// type, size, ISO date, permissions, owner, group, name [, "-> " target].
// Texts go through TerminalText::escape, so each entry stays one line and
// no control character of the server's reaches the terminal.
QString textLine(const CFtpFile& file);

// One entry as a JSON object on one line: type, directory, size, modified,
// permissions, owner, group, name and, for links, target. Control characters
// (C0, DEL and C1) in texts are written as \u escapes.
QString jsonObject(const CFtpFile& file);

// The listing as a JSON array (one object a line), written entry by entry,
// each entry taken off the listing once written: neither the output nor the
// records of a long listing ever exist whole in memory.
void writeJson(CFtpFiles& files, QTextStream& out);

// The JSON document of a listing as UTF-8 bytes; the listing stays as it is.
QByteArray json(const CFtpFiles& files);

} // namespace ListingFormat
