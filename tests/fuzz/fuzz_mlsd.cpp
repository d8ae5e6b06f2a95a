// The MLSD parser on whole listings of arbitrary bytes, then krellin-cli's
// text and JSON output of its entries: never more entries than lines, never
// "." or "..", one text line per entry, valid JSON. The same bytes go to the
// FEAT and EPSV parsers, which must stay within their bounds.

#include "ExtendedAddress.h"
#include "FtpFeatures.h"
#include "ListingFormat.h"
#include "MlsdParser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::shared_ptr<CFtpFiles> files = MlsdParser::ParseListing(text);
    if (!files || files->Count() > text.count('\n') + 1)
        std::abort();
    for (const CFtpFiles::Entry& file : *files) {
        if (!file || file->FileName.isEmpty() || file->FileName == QLatin1String(".") ||
            file->FileName == QLatin1String("..") || file->FileSize < 0)
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

    const QString reply = QString::fromUtf8(text);
    const FtpFeatures features = FtpFeatures::FromReply(reply);
    if (!features.Known() && (features.AuthTls() || features.Epsv() || features.Mlst()))
        std::abort();
    if (const auto port = ExtendedAddress::ParseEpsvReply(reply); port && *port == 0)
        std::abort();
    if (const auto endpoint = ExtendedAddress::ParseEprtArgument(reply);
        endpoint && (endpoint->port == 0 || endpoint->address.isNull()))
        std::abort();
    return 0;
}
