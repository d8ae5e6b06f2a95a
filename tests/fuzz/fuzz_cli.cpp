// krellin-cli's command line: the arguments (the input cut at NUL bytes), the
// URL and the -c word splitting. Whatever the user types, nothing that could
// reach the server as a second command line (CR, LF, NUL) gets through.

#include "CliArguments.h"
#include "FtpUrl.h"

#include <cstdlib>

namespace {

bool lineSafe(const QString& text) {
    return !text.contains(u'\r') && !text.contains(u'\n') && !text.contains(QChar());
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
