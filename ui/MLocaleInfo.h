#pragma once

#include <QString>

// The font character set that matches the user's locale.
namespace MLocaleInfo {

// The character set for the locale's ANSI code page (0 = ANSI when the code
// page is not in the table or cannot be read).
qint16 GetLocaleCharset();

// The table itself: code page as decimal text to character set.
qint16 CharsetForCodePage(const QString& codePageText);

} // namespace MLocaleInfo
