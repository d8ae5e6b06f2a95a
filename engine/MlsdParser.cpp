#include "MlsdParser.h"

#include "FtpDate.h"

#include <QDateTime>

namespace {

struct Facts {
    QStringView type;
    QStringView size;
    QStringView sizd;
    QStringView modify;
    QStringView mode;
    QStringView ownerName;
    QStringView owner;
    QStringView uid;
    QStringView groupName;
    QStringView group;
    QStringView gid;
    QStringView unique;
};

// Fact names are case-insensitive; servers write "UNIX.mode", "unix.mode"
// and "Type" alike.
void keep(Facts& facts, QStringView name, QStringView value) {
    const auto is = [name](const char* known) {
        return name.compare(QLatin1StringView(known), Qt::CaseInsensitive) == 0;
    };
    if (is("type"))
        facts.type = value;
    else if (is("size"))
        facts.size = value;
    else if (is("sizd"))
        facts.sizd = value;
    else if (is("modify"))
        facts.modify = value;
    else if (is("unix.mode"))
        facts.mode = value;
    else if (is("unix.ownername"))
        facts.ownerName = value;
    else if (is("unix.owner"))
        facts.owner = value;
    else if (is("unix.uid"))
        facts.uid = value;
    else if (is("unix.groupname"))
        facts.groupName = value;
    else if (is("unix.group"))
        facts.group = value;
    else if (is("unix.gid"))
        facts.gid = value;
    else if (is("unique"))
        facts.unique = value;
}

std::optional<qint64> readSize(QStringView text) {
    if (text.isEmpty())
        return std::nullopt;
    for (const QChar c : text) {
        if (c.unicode() < '0' || c.unicode() > '9')
            return std::nullopt;
    }
    bool ok = false;
    const qint64 size = text.toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(size) : std::nullopt;
}

QStringView firstOf(QStringView a, QStringView b, QStringView c = {}) {
    return !a.isEmpty() ? a : !b.isEmpty() ? b : c;
}

bool startsWithNoCase(QStringView text, const char* prefix) {
    return text.startsWith(QLatin1StringView(prefix), Qt::CaseInsensitive);
}

int digitsValue(QStringView text, bool& ok) {
    int value = 0;
    for (const QChar c : text) {
        if (c.unicode() < '0' || c.unicode() > '9') {
            ok = false;
            return 0;
        }
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

} // namespace

namespace MlsdParser {

std::optional<double> ParseTime(QStringView value) {
    QStringView whole = value;
    QStringView fraction;
    const qsizetype dot = value.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        whole = value.left(dot);
        fraction = value.sliced(dot + 1);
        if (fraction.isEmpty())
            return std::nullopt;
    }
    if (whole.size() != 14)
        return std::nullopt;
    bool ok = true;
    const int year = digitsValue(whole.sliced(0, 4), ok);
    const int month = digitsValue(whole.sliced(4, 2), ok);
    const int day = digitsValue(whole.sliced(6, 2), ok);
    const int hour = digitsValue(whole.sliced(8, 2), ok);
    const int minute = digitsValue(whole.sliced(10, 2), ok);
    const int second = digitsValue(whole.sliced(12, 2), ok);
    // Only the milliseconds count; further digits are checked, not used.
    const int ms = fraction.isEmpty() ? 0 : digitsValue(fraction.left(3), ok);
    const int scale = fraction.size() >= 3 ? 1 : fraction.size() == 2 ? 10 : 100;
    if (fraction.size() > 3)
        digitsValue(fraction.sliced(3), ok);
    if (!ok || year < 100)
        return std::nullopt;
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, fraction.isEmpty() ? 0 : ms * scale);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    const QDateTime local = QDateTime(date, time, Qt::UTC).toLocalTime();
    if (!local.isValid() || local.date().year() < 100 || local.date().year() > 9999)
        return std::nullopt;
    return FtpDate::FromDateTime(local);
}

QString PermissionsText(QStringView mode, QChar type) {
    // pyftpdlib writes Python's octal form, "0o644".
    if (startsWithNoCase(mode, "0o"))
        mode = mode.sliced(2);
    if (mode.isEmpty() || mode.size() > 4)
        return {};
    int bits = 0;
    for (const QChar c : mode) {
        if (c.unicode() < '0' || c.unicode() > '7')
            return {};
        bits = bits * 8 + (c.unicode() - '0');
    }
    QString text(10, QLatin1Char('-'));
    text[0] = type;
    static const char letters[] = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i) {
        if (bits & (0400 >> i))
            text[i + 1] = QLatin1Char(letters[i]);
    }
    // setuid, setgid and sticky show in the execute columns, as ls writes them.
    const auto special = [&text](int column, bool set, char withX, char withoutX) {
        if (set)
            text[column] = QLatin1Char(text[column] == QLatin1Char('-') ? withoutX : withX);
    };
    special(3, bits & 04000, 's', 'S');
    special(6, bits & 02000, 's', 'S');
    special(9, bits & 01000, 't', 'T');
    return text;
}

std::optional<CFtpFile> ParseEntry(QStringView line) {
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    Facts facts;
    qsizetype pos = 0;
    // Each pass consumes one "fact;" or ends, so the loop is bounded by the line.
    while (pos < line.size() && line[pos] != QLatin1Char(' ')) {
        const qsizetype semicolon = line.indexOf(QLatin1Char(';'), pos);
        if (semicolon < 0)
            return std::nullopt;
        const QStringView fact = line.sliced(pos, semicolon - pos);
        const qsizetype equals = fact.indexOf(QLatin1Char('='));
        if (equals > 0)
            keep(facts, fact.left(equals), fact.sliced(equals + 1));
        pos = semicolon + 1;
    }
    // Exactly one blank separates the facts from the name; any further
    // blanks belong to the name.
    if (pos >= line.size() || pos + 1 >= line.size())
        return std::nullopt;
    const QStringView name = line.sliced(pos + 1);
    if (name == QLatin1StringView(".") || name == QLatin1StringView(".."))
        return std::nullopt;

    CFtpFile file;
    file.FileName = name.toString();
    QChar typeLetter = QLatin1Char('-');
    const QStringView type = facts.type;
    if (type.compare(QLatin1StringView("cdir"), Qt::CaseInsensitive) == 0 ||
        type.compare(QLatin1StringView("pdir"), Qt::CaseInsensitive) == 0)
        return std::nullopt;
    if (type.compare(QLatin1StringView("dir"), Qt::CaseInsensitive) == 0) {
        file.IsDirectory = true;
        typeLetter = QLatin1Char('d');
    } else if (startsWithNoCase(type, "OS.unix=slink") ||
               startsWithNoCase(type, "OS.unix=symlink")) {
        // proftpd names the target ("OS.unix=slink:/usr/bin"); others only say
        // it is a link. A known target is judged as in a LIST: a last path
        // component without "." is taken for a directory.
        typeLetter = QLatin1Char('l');
        const qsizetype colon = type.indexOf(QLatin1Char(':'));
        if (colon >= 0) {
            file.FilePath = type.sliced(colon + 1).toString();
            const QStringView last =
                QStringView(file.FilePath).sliced(file.FilePath.lastIndexOf(QLatin1Char('/')) + 1);
            file.IsDirectory = !file.FilePath.isEmpty() && !last.contains(QLatin1Char('.'));
        }
    }
    file.FileSize = readSize(facts.size).value_or(readSize(facts.sizd).value_or(0));
    if (const auto time = ParseTime(facts.modify)) {
        file.LastWriteTime = *time;
        file.SecondsKnown = true;
    }
    if (!facts.mode.isEmpty())
        file.Permissions = PermissionsText(facts.mode, typeLetter);
    file.Owner = firstOf(facts.ownerName, facts.owner, facts.uid).toString();
    file.Group = firstOf(facts.groupName, facts.group, facts.gid).toString();
    file.UniqueId = facts.unique.toString();
    return file;
}

std::shared_ptr<CFtpFiles> ParseListing(const QByteArray& text) {
    auto files = std::make_shared<CFtpFiles>();
    qsizetype start = 0;
    // Each pass consumes one line.
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        const QString line = QString::fromUtf8(QByteArrayView(text).sliced(start, end - start));
        if (auto file = ParseEntry(line))
            files->Add(std::make_shared<CFtpFile>(std::move(*file)), {});
        start = end + 1;
    }
    return files;
}

} // namespace MlsdParser
