#pragma once

#include <QString>

// A listing the server cut short still ends with a positive reply; only its
// text says so (pure-ftpd: "226-Output truncated to 10000 matches"). Pure:
// reply lines in, a verdict out.
namespace TruncatedListing {

// The line of a listing's final reply (its lines joined by "\r\n" or "\n")
// that says the listing is incomplete, without its code; empty when none does.
QString notice(const QString& replyText);

} // namespace TruncatedListing
