#include "ListingParser.h"

#include "FtpDate.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <array>

namespace {

constexpr QChar kBlank = QLatin1Char(' ');

bool isUnixLine(QStringView line) {
    if (line.isEmpty())
        return false;
    const QChar first = line.front();
    return first == QLatin1Char('l') || first == QLatin1Char('-') || first == QLatin1Char('d');
}

// Only blanks count: tabs belong to the text.
QStringView trimBlanks(QStringView text) {
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && text[from] == kBlank)
        ++from;
    while (to > from && text[to - 1] == kBlank)
        --to;
    return text.sliced(from, to - from);
}

// Collapses blank runs into buf (reused across lines) and returns the result.
QStringView collapseBlanks(QStringView line, QString& buf) {
    buf.resize(line.size());
    QChar* to = buf.data();
    bool previousBlank = false;
    for (const QChar c : line) {
        if (c == kBlank && previousBlank)
            continue;
        previousBlank = c == kBlank;
        *to++ = c;
    }
    return QStringView(buf.constData(), to - buf.constData());
}

// The fields of a collapsed line as views into it: 9 for the Unix style,
// 4 otherwise; the last one holds the rest of the line.
struct Fields {
    std::array<QStringView, 9> at;
    int count = 0;
    int splits = 0; // columns cut off before the last field
};

Fields splitFields(QStringView line) {
    Fields fields;
    const int n = isUnixLine(line) ? 8 : 3;
    fields.count = n + 1;
    QStringView rest = line;
    for (int i = 0; i < n; ++i) {
        const qsizetype blank = rest.indexOf(kBlank);
        if (blank < 0)
            break;
        fields.at[i] = rest.left(blank);
        rest = trimBlanks(rest.sliced(blank + 1));
        ++fields.splits;
    }
    fields.at[n] = rest;
    return fields;
}

// The text of the original line after its first `splits` columns and the
// blank run that follows the last of them: the name with its own blanks.
QStringView restOfOriginal(QStringView original, int splits) {
    qsizetype pos = 0;
    for (int i = 0; i < splits; ++i) {
        const qsizetype blank = original.indexOf(kBlank, pos);
        if (blank < 0)
            return {};
        pos = blank;
        while (pos < original.size() && original[pos] == kBlank)
            ++pos;
    }
    return original.sliced(pos);
}

qint64 readSize(QStringView text) {
    bool ok = false;
    const qint64 size = text.toLongLong(&ok, 10);
    return ok && size >= 0 ? size : 0;
}

int monthNumber(QStringView month, bool& ok) {
    static const std::array<QLatin1StringView, 12> names = {
        QLatin1StringView("Jan"), QLatin1StringView("Feb"), QLatin1StringView("Mar"),
        QLatin1StringView("Apr"), QLatin1StringView("May"), QLatin1StringView("Jun"),
        QLatin1StringView("Jul"), QLatin1StringView("Aug"), QLatin1StringView("Sep"),
        QLatin1StringView("Oct"), QLatin1StringView("Nov"), QLatin1StringView("Dec")};
    for (int i = 0; i < 12; ++i) {
        if (month == names[i]) {
            ok = true;
            return i + 1;
        }
    }
    return month.toShort(&ok);
}

// today is asked of the caller: reading the clock (and the time zone file)
// once per line would cost more than the rest of the parse.
double listingDate(QStringView day, QStringView month, QStringView yearOrTime, int currentYear,
                   QDate today) {
    bool dayOk = false;
    bool monthOk = false;
    bool yearOk = true;
    const int d = day.toShort(&dayOk);
    const int m = monthNumber(month, monthOk);
    const qsizetype colon = yearOrTime.indexOf(QLatin1Char(':'));
    if (colon < 0) {
        const int y = yearOrTime.toShort(&yearOk);
        if (!dayOk || !monthOk || !yearOk)
            return FtpDate::Zero;
        return FtpDate::FromCalendar(y, m, d).value_or(FtpDate::Zero);
    }
    // "ls -l" gives the time of day instead of the year for the last six
    // months; a date after tomorrow can only be last year's.
    bool hourOk = false;
    bool minuteOk = false;
    const int hour = yearOrTime.left(colon).toShort(&hourOk);
    const int minute = yearOrTime.sliced(colon + 1).toShort(&minuteOk);
    if (!dayOk || !monthOk || !hourOk || !minuteOk || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59)
        return FtpDate::Zero;
    int y = currentYear;
    if (y == today.year() && QDate(y, m, d).isValid() && QDate(y, m, d) > today.addDays(1))
        --y;
    return FtpDate::FromCalendar(y, m, d, hour, minute).value_or(FtpDate::Zero);
}

// Permissions, owner and group mostly repeat from line to line: an equal
// text shares the previous line's string instead of holding its own copy,
// which for a long listing is most of the records' memory.
const QString& shared(QStringView text, QString& previous) {
    if (previous != text)
        previous = text.toString();
    return previous;
}

struct SharedTexts {
    QString permissions;
    QString owner;
    QString group;
    // The date columns of the previous line and their value: neighbours
    // mostly share a date, and reading one costs calendar arithmetic.
    QString month;
    QString day;
    QString yearOrTime;
    double date = 0;
};

bool isLink(const Fields& fields) {
    return fields.at[0].startsWith(QLatin1Char('l'));
}

// The name of a Unix-style entry in the rest of its line: for a link, what
// stands before "->" (empty when there is no arrow).
QStringView unixName(QStringView rest, bool link) {
    if (!link)
        return rest;
    const qsizetype arrow = rest.indexOf(QLatin1StringView("->"));
    QStringView name = arrow >= 0 ? rest.left(arrow) : QStringView();
    if (name.endsWith(kBlank))
        name.chop(1);
    return name;
}

void fillUnix(CFtpFile& file, const Fields& fields, QStringView name, QDate today,
              SharedTexts& texts) {
    const QStringView permissions = fields.at[0];
    file.Permissions = shared(permissions, texts.permissions);
    file.IsDirectory = permissions.startsWith(QLatin1Char('d'));
    file.Owner = shared(fields.at[2], texts.owner);
    file.Group = shared(fields.at[3], texts.group);
    file.FileSize = readSize(fields.at[4]);
    file.FileName = unixName(name, isLink(fields)).toString();
    if (isLink(fields)) {
        const qsizetype arrow = name.indexOf(QLatin1StringView("->"));
        if (arrow >= 0) {
            file.FilePath = name.sliced(arrow + 2).toString();
            if (file.FilePath.startsWith(kBlank))
                file.FilePath.remove(0, 1);
        } else {
            // No target to read: keep what the server showed as the target.
            file.FilePath = name.toString();
        }
        const QStringView last =
            QStringView(file.FilePath).sliced(file.FilePath.lastIndexOf(QLatin1Char('/')) + 1);
        file.IsDirectory = !last.contains(QLatin1Char('.'));
    }
    if (texts.month != fields.at[5] || texts.day != fields.at[6] ||
        texts.yearOrTime != fields.at[7] || texts.month.isNull()) {
        texts.month = fields.at[5].toString();
        texts.day = fields.at[6].toString();
        texts.yearOrTime = fields.at[7].toString();
        texts.date = listingDate(fields.at[6], fields.at[5], fields.at[7], today.year(), today);
    }
    file.LastWriteTime = texts.date;
}

void fillDos(CFtpFile& file, const Fields& fields, QStringView name, bool dayFirst) {
    if (fields.at[2] == QLatin1StringView("<DIR>")) {
        file.IsDirectory = true;
        file.FileSize = 0;
    } else {
        file.FileSize = readSize(fields.at[2]);
    }
    file.FileName = name.toString();
    file.LastWriteTime =
        ListingParser::ParseDosDateTime(fields.at[0].toString(), fields.at[1].toString(), dayFirst);
}

int twoDigitYear(int yy) {
    return yy < 30 ? 2000 + yy : 1900 + yy;
}

} // namespace

namespace {

// The decoder drops a byte-order mark at the start of what it is given: only
// the listing's first line may lose one; on later lines they are text.
QString decodeLine(QByteArrayView bytes, bool firstLine) {
    constexpr QByteArrayView Mark("\xEF\xBB\xBF");
    if (firstLine || !bytes.startsWith(Mark))
        return QString::fromUtf8(bytes);
    qsizetype marks = 0;
    while (bytes.sliced(marks * Mark.size()).startsWith(Mark))
        ++marks;
    return QString(marks, QChar(0xFEFF)) + QString::fromUtf8(bytes.sliced(marks * Mark.size()));
}

// One line of a listing made ready to read: decoded, without CR, blank runs
// collapsed (into a buffer reused from line to line) and split into fields.
struct Line {
    QString original;
    Fields fields;
    QStringView name; // the rest of the original after the split columns
};

// Prepares the line of `bytes`; false when it is no entry: empty, a "total"
// line, or in the Unix style "." or "..".
bool prepareLine(QByteArrayView bytes, bool firstLine, QString& collapsed, Line& out) {
    out.original = decodeLine(bytes, firstLine);
    if (out.original.contains(QLatin1Char('\r')))
        out.original.remove(QLatin1Char('\r'));
    const QStringView line = collapseBlanks(out.original, collapsed);
    if (line.isEmpty() ||
        line.left(5).compare(QLatin1StringView("total"), Qt::CaseInsensitive) == 0)
        return false;
    out.fields = splitFields(line);
    out.name = restOfOriginal(out.original, out.fields.splits);
    if (out.fields.count != 9)
        return true;
    const QStringView name = unixName(out.name, isLink(out.fields));
    return name != QLatin1StringView(".") && name != QLatin1StringView("..");
}

// Whether the line of `bytes` is an entry, read from the bytes where that is
// certain: only a line that is empty, starts with "total", holds a CR before
// its end, or has a blank before a dot (where "." and ".." names stand) needs
// the full reading. Blanks, dots and CR are single bytes in UTF-8 and no
// other character decodes to them, so both readings agree.
bool isEntryLine(QByteArrayView bytes, bool firstLine, QString& collapsed, Line& scratch) {
    QByteArrayView line = bytes;
    if (line.endsWith('\r'))
        line.chop(1);
    const bool plain = !firstLine && !line.isEmpty() && !line.contains('\r') &&
                       !line.contains(QByteArrayView(" .")) &&
                       !(line.size() >= 5 &&
                         line.first(5).compare(QByteArrayView("total"), Qt::CaseInsensitive) == 0);
    return plain || prepareLine(bytes, firstLine, collapsed, scratch);
}

QByteArrayView lineAt(QByteArrayView all, qsizetype start) {
    const qsizetype end = all.indexOf('\n', start);
    return all.sliced(start, (end < 0 ? all.size() : end) - start);
}

} // namespace

std::shared_ptr<CFtpFiles> ParseListing(const QByteArray& text) {
    auto files = std::make_shared<CFtpFiles>();
    QString buffer;
    Line scratch;

    // Line by line from the bytes: decoding the whole listing at once would
    // hold a second, twice as large copy of it. A line end byte never occurs
    // inside a UTF-8 sequence, so lines decode alone just as they would together.
    // This pass only finds the entries; each is read when it is asked for.
    const QByteArrayView all(text);
    for (qsizetype start = 0; start <= all.size();) {
        const QByteArrayView bytes = lineAt(all, start);
        if (isEntryLine(bytes, start == 0, buffer, scratch))
            files->AddLine(start);
        start += bytes.size() + 1;
    }

    // The reader shares the caller's bytes rather than copying them. Every
    // line it is asked for was found to be an entry above.
    files->SetLineReader([text, read = ListingParser::MakeEntryReader()](qint64 position) {
        auto file = read(lineAt(text, position), position == 0);
        return file ? file : std::make_shared<CFtpFile>();
    });
    return files;
}

QStringList SplitListingLine(const QString& line) {
    const Fields fields = splitFields(line);
    QStringList out;
    out.reserve(fields.count);
    for (int i = 0; i < fields.count; ++i)
        out.append(fields.at[i].toString());
    return out;
}

double BuildListingDate(const QString& day, const QString& month, const QString& yearOrTime) {
    const QDate today = QDate::currentDate();
    return listingDate(day, month, yearOrTime, today.year(), today);
}

double BuildListingDate(const QString& day, const QString& month, const QString& yearOrTime,
                        int currentYear) {
    return listingDate(day, month, yearOrTime, currentYear, QDate::currentDate());
}

namespace ListingParser {

double ParseDosDateTime(const QString& date, const QString& time, bool dayFirst) {
    static const QRegularExpression datePattern(
        QStringLiteral("^(\\d{1,4})[-/.](\\d{1,2})[-/.](\\d{1,4})$"));
    static const QRegularExpression timePattern(
        QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?\\s*([AaPp][Mm])?$"));

    const auto dm = datePattern.match(date);
    if (!dm.hasMatch())
        return FtpDate::Zero;
    const QString first = dm.captured(1);
    const QString last = dm.captured(3);
    const int a = first.toInt();
    const int b = dm.captured(2).toInt();
    const int c = last.toInt();

    QDate calendar;
    if (first.size() == 4) {
        calendar = QDate(a, b, c);
    } else if (first.size() <= 2 && (last.size() == 2 || last.size() == 4)) {
        const int year = last.size() == 2 ? twoDigitYear(c) : c;
        calendar = dayFirst ? QDate(year, b, a) : QDate(year, a, b);
        if (!calendar.isValid())
            calendar = dayFirst ? QDate(year, a, b) : QDate(year, b, a);
    }
    if (!calendar.isValid() || calendar.year() < 100)
        return FtpDate::Zero;

    int hour = 0;
    int minute = 0;
    int second = 0;
    const auto tm = timePattern.match(time);
    if (tm.hasMatch()) {
        hour = tm.captured(1).toInt();
        minute = tm.captured(2).toInt();
        second = tm.captured(3).toInt();
        const QString suffix = tm.captured(4).toUpper();
        if (!suffix.isEmpty()) {
            if (hour < 1 || hour > 12)
                hour = minute = second = 0;
            else if (suffix == QLatin1StringView("AM"))
                hour = hour == 12 ? 0 : hour;
            else
                hour = hour == 12 ? 12 : hour + 12;
        }
    }
    // An unreadable time still leaves a good date, at midnight.
    return FtpDate::FromCalendar(calendar.year(), calendar.month(), calendar.day(), hour, minute,
                                 second)
        .value_or(FtpDate::FromDate(calendar));
}

EntryReader MakeEntryReader() {
    return [dayFirst = LocaleReadsDayFirst(), today = QDate::currentDate(), texts = SharedTexts(),
            collapsed = QString(),
            line = Line()](QByteArrayView bytes, bool firstLine) mutable -> CFtpFiles::Entry {
        if (!prepareLine(bytes, firstLine, collapsed, line))
            return nullptr;
        auto file = std::make_shared<CFtpFile>();
        if (line.fields.count == 9)
            fillUnix(*file, line.fields, line.name, today, texts);
        else
            fillDos(*file, line.fields, line.name, dayFirst);
        return file;
    };
}

bool LocaleReadsDayFirst() {
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C)
        return false;
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    const qsizetype day = format.indexOf(QLatin1Char('d'));
    const qsizetype month = format.indexOf(QLatin1Char('M'));
    return day >= 0 && month >= 0 && day < month;
}

} // namespace ListingParser
