#include "FtpFeatures.h"

namespace {

// FEAT replies are short; a server that floods is cut here.
constexpr qsizetype MaxFeatures = 200;

QStringList splitLines(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList splitParameters(const QString& parameters) {
    QStringList items;
    const QStringList parts = parameters.split(QLatin1Char(';'));
    for (const QString& part : parts) {
        const QString item = part.trimmed();
        if (!item.isEmpty())
            items.append(item);
    }
    return items;
}

} // namespace

FtpFeatures FtpFeatures::FromReply(const QString& replyText) {
    FtpFeatures features;
    const QStringList lines = splitLines(replyText);
    if (lines.size() < 2 || !lines.first().startsWith(QLatin1String("211-")) ||
        !lines.last().startsWith(QLatin1String("211 ")))
        return features;
    features.m_Known = true;
    for (qsizetype i = 1; i + 1 < lines.size() && features.m_Features.size() < MaxFeatures; ++i) {
        // RFC 2389 indents each feature by one blank; some servers do not.
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1String("211")))
            continue;
        const qsizetype blank = line.indexOf(QLatin1Char(' '));
        const QString name = (blank < 0 ? line : line.left(blank)).toUpper();
        const QString parameters = blank < 0 ? QString() : line.mid(blank + 1).trimmed();
        auto existing = features.m_Features.find(name);
        if (existing == features.m_Features.end())
            features.m_Features.insert(name, parameters);
        else if (!parameters.isEmpty())
            *existing =
                existing->isEmpty() ? parameters : *existing + QLatin1Char(';') + parameters;
    }
    return features;
}

bool FtpFeatures::Has(const QString& name) const {
    return m_Features.contains(name.toUpper());
}

QString FtpFeatures::Parameters(const QString& name) const {
    return m_Features.value(name.toUpper());
}

bool FtpFeatures::AuthTls() const {
    const QStringList mechanisms = splitParameters(Parameters(QStringLiteral("AUTH")));
    for (const QString& mechanism : mechanisms) {
        if (mechanism.compare(QLatin1String("TLS"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool FtpFeatures::RestStream() const {
    return Has(QStringLiteral("REST")) &&
           Parameters(QStringLiteral("REST"))
               .contains(QLatin1String("STREAM"), Qt::CaseInsensitive);
}

QStringList FtpFeatures::MlstFacts() const {
    QStringList facts = splitParameters(Parameters(QStringLiteral("MLST")));
    for (QString& fact : facts) {
        if (fact.endsWith(QLatin1Char('*')))
            fact.chop(1);
        fact = fact.toLower();
    }
    return facts;
}

QStringList FtpFeatures::MlstFactsEnabled() const {
    QStringList enabled;
    const QStringList facts = splitParameters(Parameters(QStringLiteral("MLST")));
    for (const QString& fact : facts) {
        if (fact.endsWith(QLatin1Char('*')))
            enabled.append(fact.chopped(1).toLower());
    }
    return enabled;
}
