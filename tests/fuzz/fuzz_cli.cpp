// krellin-cli's command line: the arguments (the input cut at NUL bytes), the
// URL and the -c word splitting. Whatever the user types, nothing that could
// reach the server as a second command line (CR, LF, NUL) gets through.
// And its terminal output: any text, escaped, holds no control character
// and reads back as exactly the text it came from.

#include "CliArguments.h"
#include "FtpUrl.h"
#include "TerminalText.h"

#include <cctype>
#include <cstdlib>
#include <optional>

namespace {

bool lineSafe(const QString& text) {
    return !text.contains(u'\r') && !text.contains(u'\n') && !text.contains(QChar());
}

// Reads escape()'s output back; nullopt for what escape() never writes (a
// lone backslash, an unknown escape). Reading back to the very input proves
// the output ambiguous for no two texts.
std::optional<QString> unescape(QStringView text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\') {
            out += text[i];
            continue;
        }
        const QChar kind = i + 1 < text.size() ? text[++i] : QChar();
        if (kind == u'\\') {
            out += u'\\';
        } else if (kind == u't') {
            out += u'\t';
        } else if (kind == u'n') {
            out += u'\n';
        } else if (kind == u'r') {
            out += u'\r';
        } else if (kind == u'x' || kind == u'u') {
            const qsizetype digits = kind == u'x' ? 2 : 4;
            const QStringView hex = text.sliced(i + 1).left(digits);
            bool ok = hex.size() == digits;
            for (const QChar c : hex)
                ok = ok && c.unicode() < 0x80 && std::isxdigit(c.unicode());
            const char16_t code = ok ? char16_t(hex.toUInt(nullptr, 16)) : 0;
            if (!ok || !TerminalText::isControl(code))
                return std::nullopt;
            out += QChar(code);
            i += digits;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList arguments;
    for (const QByteArray& part : bytes.split('\0'))
        arguments << QString::fromUtf8(part);

    // Line breaks typed as such are the engine's to refuse; what must not
    // happen is a %0D, %0A or %00 decoded into one.
    bool typedBreaks = false;
    for (const QString& argument : arguments)
        typedBreaks = typedBreaks || !lineSafe(argument);

    QString error;
    const CliParseResult result = CliArguments::parse(arguments);
    if (!typedBreaks && !result.help && result.error.isEmpty()) {
        const FtpUrl& url = result.options.url;
        if (url.host.isEmpty() || !lineSafe(url.host) || !lineSafe(url.directory) ||
            !lineSafe(url.userName) || !lineSafe(url.password))
            std::abort();
    }

    const QString text = QString::fromUtf8(bytes);
    const QString shown = TerminalText::escape(text);
    for (const QChar c : shown) {
        if (TerminalText::isControl(c.unicode()))
            std::abort();
    }
    if (unescape(shown) != text)
        std::abort();

    const bool typed = !lineSafe(text);
    if (const auto url = FtpUrl::parse(text, &error); url && !typed) {
        if (!lineSafe(url->directory) || !lineSafe(url->userName) || !lineSafe(url->password))
            std::abort();
    }
    if (const auto decoded = FtpUrl::percentDecode(text, &error);
        decoded && !typed && !lineSafe(*decoded))
        std::abort();
    if (const auto words = CliArguments::splitWords(text, &error)) {
        if (const auto command = CliArguments::makeCommand(*words, &error))
            CliArguments::localNameFor(command->args.value(0), &error);
    } else if (error.isEmpty()) {
        std::abort(); // a refusal always says why
    }
    return 0;
}
