#pragma once

#include "CFtpFiles.h"

#include <QByteArray>
#include <QByteArrayView>
#include <functional>
#include <QString>
#include <QStringList>
#include <memory>

// The tolerant parser of LIST output: Unix `ls -l` style and DOS style.
// Pure: bytes in, records out; it never fails and never throws.

// Every line of the listing that is not empty, not a "total" line and (in the
// Unix style) not "." or "..", as one entry, in order. Bytes are read as UTF-8.
// The listing keeps the bytes (shared, not copied) and reads each entry from
// its line when it is first asked for (see CFtpFiles).
std::shared_ptr<CFtpFiles> ParseListing(const QByteArray& text);

// Fields of one prepared line (no "\r", blank runs collapsed): 9 when it
// starts with "l", "-" or "d", otherwise 4. The last field holds the rest of
// the line; fields the line has no blank for stay empty.
QStringList SplitListingLine(const QString& line);

// The listed date. A year-or-time text holding ":" is a time of day in the
// last six months: the current year, or last year for a date after tomorrow.
// Returns FtpDate::Zero when the date cannot be read.
double BuildListingDate(const QString& day, const QString& month, const QString& yearOrTime);
// The same with the current year given, for callers that need a fixed clock.
double BuildListingDate(const QString& day, const QString& month, const QString& yearOrTime,
                        int currentYear);

namespace ListingParser {

// Reads a listing one line at a time (the line without its "\n"; the first
// line of the listing may start with a byte-order mark), sharing what
// neighbouring lines repeat; null for a line that is no entry. ParseListing
// reads its lines with one; a listing read as it arrives uses one of its own.
using EntryReader = std::function<CFtpFiles::Entry(QByteArrayView line, bool firstLine)>;
EntryReader MakeEntryReader();

// Date and time columns of a DOS-style line ("05-12-02", "10:30AM"; also
// four-digit years, "/" or "." separators, 24-hour times and ISO dates).
// dayFirst reads "05-12-02" as 5 December; a date that is impossible in the
// preferred order is read in the other. Returns FtpDate::Zero when unreadable.
double ParseDosDateTime(const QString& date, const QString& time, bool dayFirst);

// Whether the user's locale writes the day before the month. The C locale
// has no preference and takes the servers' usual month-first order.
bool LocaleReadsDayFirst();

} // namespace ListingParser
