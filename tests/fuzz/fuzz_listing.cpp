// The listing parser on whole listings of arbitrary bytes (both styles,
// invalid UTF-8, NUL), and the krellin-cli output built from its entries:
// never more entries than lines, one text line per entry, valid JSON, and
// no control character of the server's (C0, DEL, C1) raw in either output.

#include "ListingFormat.h"
#include "ListingParser.h"
#include "TerminalText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>

namespace {

// allowed: the one control character the format itself writes.
bool hasRawControl(QStringView text, char16_t allowed) {
    for (const QChar c : text) {
        if (c.unicode() != allowed && TerminalText::isControl(c.unicode()))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::shared_ptr<CFtpFiles> files = ParseListing(text);
    if (!files || files->Count() > text.count('\n') + 1)
        std::abort();
    for (const CFtpFiles::Entry& file : *files) {
        if (!file)
            std::abort();
        const QString line = ListingFormat::textLine(*file);
        if (hasRawControl(line, u'\t') || line.count(u'\t') < 6 || line.count(u'\t') > 7)
            std::abort();
    }
    const QByteArray bytes = ListingFormat::json(*files);
    if (hasRawControl(QString::fromUtf8(bytes), u'\n'))
        std::abort();
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !json.isArray() ||
        json.array().size() != files->Count())
        std::abort();
    // The escapes lose nothing: every name comes back as parsed.
    const QJsonArray entries = json.array();
    for (int i = 0; i < files->Count(); ++i) {
        if (entries[i].toObject()[QLatin1StringView("name")].toString() !=
            files->Item(i + 1)->FileName)
            std::abort();
    }
    return 0;
}
