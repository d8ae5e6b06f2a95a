#include "ListingFormat.h"

#include "FtpDate.h"
#include "TerminalText.h"

#include <QStringBuilder>
#include <QTextStream>

namespace ListingFormat {

namespace {

// Listings repeat a handful of dates; formatting each anew costs more than the rest.
const QString& isoDate(double date) {
    thread_local double lastDate = 0.0;
    thread_local QString lastIso = FtpDate::ToIso(0.0);
    if (date != lastDate) {
        lastDate = date;
        lastIso = FtpDate::ToIso(date);
    }
    return lastIso;
}

// A JSON string literal. Besides what JSON demands, DEL and the C1 controls
// are escaped too, so the document is as safe to show as the text output.
void appendJsonString(QString& out, QStringView text) {
    static constexpr char Hex[] = "0123456789abcdef";
    out += QLatin1Char('"');
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '"') {
            out += QLatin1StringView("\\\"");
        } else if (u == '\\') {
            out += QLatin1StringView("\\\\");
        } else if (u == '\n') {
            out += QLatin1StringView("\\n");
        } else if (u == '\r') {
            out += QLatin1StringView("\\r");
        } else if (u == '\t') {
            out += QLatin1StringView("\\t");
        } else if (TerminalText::isControl(u)) {
            const char escaped[] = {'\\', 'u', '0', '0', Hex[u >> 4], Hex[u & 0xf]};
            out += QLatin1StringView(escaped, 6);
        } else if (u == 0xFEFF) {
            // Written raw at the start of a string, QJsonDocument takes it
            // for a byte order mark and drops it.
            out += QLatin1StringView("\\ufeff");
        } else {
            out += c;
        }
    }
    out += QLatin1Char('"');
}

void appendMember(QString& out, QLatin1StringView key, QStringView text) {
    out += QLatin1Char('"') % key % QLatin1StringView("\":");
    appendJsonString(out, text);
}

} // namespace

QChar typeOf(const CFtpFile& file) {
    if (file.Permissions.startsWith(QLatin1Char('l')))
        return QLatin1Char('l');
    return file.IsDirectory ? QLatin1Char('d') : QLatin1Char('-');
}

QString textLine(const CFtpFile& file) {
    using TerminalText::escape;
    const QChar type = typeOf(file);
    const QChar tab = QLatin1Char('\t');
    QString line = type % tab % QString::number(file.FileSize) % tab % isoDate(file.LastWriteTime) %
                   tab % escape(file.Permissions) % tab % escape(file.Owner) % tab %
                   escape(file.Group) % tab % escape(file.FileName);
    if (type == QLatin1Char('l'))
        line += QLatin1StringView("\t-> ") + escape(file.FilePath);
    return line;
}

QString jsonObject(const CFtpFile& file) {
    const QChar type = typeOf(file);
    QString out;
    out.reserve(160 + file.FileName.size());
    out += QLatin1StringView("{\"type\":\"") % type % QLatin1StringView("\",\"directory\":") %
           QLatin1StringView(file.IsDirectory ? "true" : "false") %
           QLatin1StringView(",\"size\":") % QString::number(file.FileSize) %
           QLatin1StringView(",\"modified\":\"") % isoDate(file.LastWriteTime) %
           QLatin1StringView("\",");
    appendMember(out, QLatin1StringView("permissions"), file.Permissions);
    out += QLatin1Char(',');
    appendMember(out, QLatin1StringView("owner"), file.Owner);
    out += QLatin1Char(',');
    appendMember(out, QLatin1StringView("group"), file.Group);
    out += QLatin1Char(',');
    appendMember(out, QLatin1StringView("name"), file.FileName);
    if (type == QLatin1Char('l')) {
        out += QLatin1Char(',');
        appendMember(out, QLatin1StringView("target"), file.FilePath);
    }
    out += QLatin1Char('}');
    return out;
}

void writeJson(CFtpFiles& files, QTextStream& out) {
    out << "[\n";
    const bool empty = files.Count() == 0;
    for (bool first = true; files.Count() > 0; first = false) {
        out << (first ? "" : ",\n") << jsonObject(*files.Item(1));
        files.Remove(1);
    }
    out << (empty ? "]\n" : "\n]\n");
}

QByteArray json(const CFtpFiles& files) {
    CFtpFiles copy = files;
    QString text;
    QTextStream out(&text);
    writeJson(copy, out);
    out.flush();
    return text.toUtf8();
}

} // namespace ListingFormat
