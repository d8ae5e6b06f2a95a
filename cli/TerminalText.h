#pragma once

#include <QString>

// Everything krellin-cli prints that it did not write itself (a server's
// replies and names, fault descriptions, paths) passes through here on its
// way to a terminal. A server can put ESC, BEL, CSI (also as the one
// character U+009B) or line breaks into any text; printed raw they would
// move the cursor, retitle the window or forge lines of output.
namespace TerminalText {

// The text with every control character written as a visible escape:
// \t, \n and \r; \xHH for the other C0 controls (U+0000..U+001F) and DEL;
// \uHHHH for the C1 controls (U+0080..U+009F). A backslash becomes \\, so
// every backslash in the result starts an escape and none can be forged.
QString escape(const QString& text);

// True for the characters escape() rewrites other than the backslash.
constexpr bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

} // namespace TerminalText
