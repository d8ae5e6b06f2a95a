#pragma once

#include "CFtpFiles.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

// Machine listings (MLSD, and the entry line of an MLST reply): a list of
// "fact=value;" pairs, one blank, then the name. Facts give exact sizes, the
// type of each entry and modification times in UTC to the second. The same
// CFtpFile records come out as from a LIST, so the callers see no difference.
// Pure: bytes in, records out; it never fails and never throws.
namespace MlsdParser {

// One entry line, without its line end. Empty for a line that is not an
// entry (no "; " before a name, an empty name) and for the listed directory
// itself and its parent (type cdir and pdir, or the names "." and "..").
std::optional<CFtpFile> ParseEntry(QStringView line);

// Every entry of an MLSD data stream, in order. Lines end with "\r\n" or
// "\n"; bytes are read as UTF-8.
std::shared_ptr<CFtpFiles> ParseListing(const QByteArray& text);

// A "modify" fact (YYYYMMDDHHMMSS, optionally ".sss"), which is UTC, as the
// engine's day count in the local time zone. Empty when unreadable.
std::optional<double> ParseTime(QStringView value);

// "-rwxr-xr-x" from an octal mode ("0755", "755", "0o755") and a type letter.
// Empty when the mode is not octal or has more than 4 digits.
QString PermissionsText(QStringView mode, QChar type);

} // namespace MlsdParser
