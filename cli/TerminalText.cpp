#include "TerminalText.h"

#include <algorithm>

namespace TerminalText {

QString escape(const QString& text) {
    const bool plain = std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return isControl(c.unicode()) || c == QLatin1Char('\\');
    });
    if (plain)
        return text;
    static constexpr char Hex[] = "0123456789abcdef";
    QString out;
    out.reserve(text.size() + 16);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\\') {
            out += QLatin1StringView("\\\\");
        } else if (u == '\t') {
            out += QLatin1StringView("\\t");
        } else if (u == '\n') {
            out += QLatin1StringView("\\n");
        } else if (u == '\r') {
            out += QLatin1StringView("\\r");
        } else if (u < 0x20 || u == 0x7f) {
            const char escaped[] = {'\\', 'x', Hex[u >> 4], Hex[u & 0xf]};
            out += QLatin1StringView(escaped, 4);
        } else if (u >= 0x80 && u <= 0x9f) {
            const char escaped[] = {'\\', 'u', '0', '0', Hex[u >> 4], Hex[u & 0xf]};
            out += QLatin1StringView(escaped, 6);
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace TerminalText
