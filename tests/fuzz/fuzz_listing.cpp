// The listing parser on whole listings of arbitrary bytes (both styles,
// invalid UTF-8, NUL), and the krellin-cli output built from its entries:
// never more entries than lines, one text line per entry, valid JSON.

#include "ListingFormat.h"
#include "ListingParser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::shared_ptr<CFtpFiles> files = ParseListing(text);
    if (!files || files->Count() > text.count('\n') + 1)
        std::abort();
    for (const CFtpFiles::Entry& file : *files) {
        if (!file)
            std::abort();
        const QString line = ListingFormat::textLine(*file);
        if (line.contains(u'\n') || line.contains(u'\r'))
            std::abort();
    }
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(ListingFormat::json(*files), &error);
    if (error.error != QJsonParseError::NoError || !json.isArray() ||
        json.array().size() != files->Count())
        std::abort();
    return 0;
}
