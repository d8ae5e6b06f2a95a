#include "ListingFormat.h"

#include "FtpDate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringBuilder>
#include <algorithm>

namespace ListingFormat {

QChar typeOf(const CFtpFile& file) {
    if (file.Permissions.startsWith(QLatin1Char('l')))
        return QLatin1Char('l');
    return file.IsDirectory ? QLatin1Char('d') : QLatin1Char('-');
}

QString escapeField(const QString& text) {
    const bool plain = std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.unicode() < 0x20 || c.unicode() == 0x7f || c == QLatin1Char('\\');
    });
    if (plain)
        return text;
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\\')
            out += QLatin1StringView("\\\\");
        else if (u == '\t')
            out += QLatin1StringView("\\t");
        else if (u == '\n')
            out += QLatin1StringView("\\n");
        else if (u == '\r')
            out += QLatin1StringView("\\r");
        else if (u < 0x20 || u == 0x7f)
            out += QStringLiteral("\\x%1").arg(static_cast<int>(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString textLine(const CFtpFile& file) {
    // Listings repeat a handful of dates; formatting each anew costs more than the rest.
    thread_local double lastDate = 0.0;
    thread_local QString lastIso = FtpDate::ToIso(0.0);
    if (file.LastWriteTime != lastDate) {
        lastDate = file.LastWriteTime;
        lastIso = FtpDate::ToIso(lastDate);
    }
    const QChar type = typeOf(file);
    const QChar tab = QLatin1Char('\t');
    QString line = type % tab % QString::number(file.FileSize) % tab % lastIso % tab %
                   escapeField(file.Permissions) % tab % escapeField(file.Owner) % tab %
                   escapeField(file.Group) % tab % escapeField(file.FileName);
    if (type == QLatin1Char('l'))
        line += QLatin1StringView("\t-> ") + escapeField(file.FilePath);
    return line;
}

QByteArray json(const CFtpFiles& files) {
    QJsonArray array;
    for (const auto& file : files) {
        const QChar type = typeOf(*file);
        QJsonObject entry{
            {QStringLiteral("type"), QString(type)},
            {QStringLiteral("directory"), file->IsDirectory},
            {QStringLiteral("size"), file->FileSize},
            {QStringLiteral("modified"), FtpDate::ToIso(file->LastWriteTime)},
            {QStringLiteral("permissions"), file->Permissions},
            {QStringLiteral("owner"), file->Owner},
            {QStringLiteral("group"), file->Group},
            {QStringLiteral("name"), file->FileName},
        };
        if (type == QLatin1Char('l'))
            entry.insert(QStringLiteral("target"), file->FilePath);
        array.append(entry);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

} // namespace ListingFormat
