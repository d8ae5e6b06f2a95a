#include "ListingFormat.h"

#include "FtpDate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ListingFormat {

QChar typeOf(const CFtpFile& file) {
    if (file.Permissions.startsWith(QLatin1Char('l')))
        return QLatin1Char('l');
    return file.IsDirectory ? QLatin1Char('d') : QLatin1Char('-');
}

QString escapeField(const QString& text) {
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
    const QChar type = typeOf(file);
    QString line = QString(type) + QLatin1Char('\t') + QString::number(file.FileSize) +
                   QLatin1Char('\t') + FtpDate::ToIso(file.LastWriteTime) + QLatin1Char('\t') +
                   escapeField(file.Permissions) + QLatin1Char('\t') + escapeField(file.Owner) +
                   QLatin1Char('\t') + escapeField(file.Group) + QLatin1Char('\t') +
                   escapeField(file.FileName);
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
