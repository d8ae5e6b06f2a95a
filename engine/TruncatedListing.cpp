#include "TruncatedListing.h"

#include <QList>
#include <QStringView>

namespace TruncatedListing {

QString notice(const QString& replyText) {
    const auto lines = QStringView(replyText).split(u'\n');
    for (const QStringView line : lines) {
        if (!line.contains(QLatin1StringView("truncated"), Qt::CaseInsensitive))
            continue;
        // "226-Output truncated ..." or "226 Output truncated ...": the text
        // after the code; a continuation line without one as it is.
        QString text = line.trimmed().toString();
        if (text.size() >= 4 && text[0].isDigit() && text[1].isDigit() && text[2].isDigit() &&
            (text[3] == u' ' || text[3] == u'-'))
            text = text.mid(4).trimmed();
        return text;
    }
    return {};
}

} // namespace TruncatedListing
