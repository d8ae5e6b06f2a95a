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

QString collapseBlanks(QStringView line) {
    QString out(line.size(), Qt::Uninitialized);
    QChar* to = out.data();
    bool previousBlank = false;
    for (const QChar c : line) {
        if (c == kBlank && previousBlank)
            continue;
        previousBlank = c == kBlank;
        *to++ = c;
    }
    out.truncate(to - out.constData());
    return out;
}

// Splits a collapsed line; also reports how many columns were cut off before
// the last field, so that the last field can be taken from the original line.
QStringList splitFields(const QString& line, int& splits) {
    const int n = isUnixLine(line) ? 8 : 3;
    QStringList fields(n + 1);
    QStringView rest = line;
    splits = 0;
    for (int i = 0; i < n; ++i) {
        const qsizetype blank = rest.indexOf(kBlank);
        if (blank < 0)
            break;
        fields[i] = rest.left(blank).toString();
        rest = trimBlanks(rest.sliced(blank + 1));
        ++splits;
    }
    fields[n] = rest.toString();
    return fields;
}

// The text of the original line after its first `splits` columns and the
// blank run that follows the last of them: the name with its own blanks.
QString restOfOriginal(const QString& original, int splits) {
    qsizetype pos = 0;
    for (int i = 0; i < splits; ++i) {
        const qsizetype blank = original.indexOf(kBlank, pos);
        if (blank < 0)
            return {};
        pos = blank;
        while (pos < original.size() && original[pos] == kBlank)
            ++pos;
    }
    return original.mid(pos);
}

qint64 readSize(const QString& text) {
    bool ok = false;
    const qint64 size = text.toLongLong(&ok, 10);
    return ok && size >= 0 ? size : 0;
}

int monthNumber(const QString& month, bool& ok) {
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

void fillUnix(CFtpFile& file, const QStringList& fields, const QString& name, int currentYear) {
    file.Permissions = fields[0];
    file.IsDirectory = fields[0].startsWith(QLatin1Char('d'));
    file.Owner = fields[2];
    file.Group = fields[3];
    file.FileSize = readSize(fields[4]);
    if (fields[0].startsWith(QLatin1Char('l'))) {
        const qsizetype arrow = name.indexOf(QLatin1StringView("->"));
        if (arrow >= 0) {
            file.FileName = name.left(arrow);
            if (file.FileName.endsWith(kBlank))
                file.FileName.chop(1);
            file.FilePath = name.mid(arrow + 2);
            if (file.FilePath.startsWith(kBlank))
                file.FilePath.remove(0, 1);
        } else {
            // No target to read: keep what the server showed as the target.
            file.FilePath = name;
        }
        const QString last = file.FilePath.mid(file.FilePath.lastIndexOf(QLatin1Char('/')) + 1);
        file.IsDirectory = !last.contains(QLatin1Char('.'));
    } else {
        file.FileName = name;
    }
    file.LastWriteTime = BuildListingDate(fields[6], fields[5], fields[7], currentYear);
}

void fillDos(CFtpFile& file, const QStringList& fields, const QString& name, bool dayFirst) {
    if (fields[2] == QLatin1StringView("<DIR>")) {
        file.IsDirectory = true;
        file.FileSize = 0;
    } else {
        file.FileSize = readSize(fields[2]);
    }
    file.FileName = name;
    file.LastWriteTime = ListingParser::ParseDosDateTime(fields[0], fields[1], dayFirst);
}

int twoDigitYear(int yy) {
    return yy < 30 ? 2000 + yy : 1900 + yy;
}

} // namespace

std::shared_ptr<CFtpFiles> ParseListing(const QByteArray& text) {
    auto files = std::make_shared<CFtpFiles>();
    const QString all = QString::fromUtf8(text);
    const bool dayFirst = ListingParser::LocaleReadsDayFirst();
    const int currentYear = QDate::currentDate().year();

    qsizetype start = 0;
    while (start <= all.size()) {
        qsizetype end = all.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = all.size();
        QString original = all.sliced(start, end - start);
        start = end + 1;

        if (original.contains(QLatin1Char('\r')))
            original.remove(QLatin1Char('\r'));
        const QString line = collapseBlanks(original);
        if (line.isEmpty() ||
            QStringView(line).left(5).compare(QLatin1StringView("total"), Qt::CaseInsensitive) == 0)
            continue;

        int splits = 0;
        const QStringList fields = splitFields(line, splits);
        const QString name = restOfOriginal(original, splits);
        auto file = std::make_shared<CFtpFile>();
        if (fields.size() == 9) {
            fillUnix(*file, fields, name, currentYear);
            if (file->FileName == QLatin1StringView(".") ||
                file->FileName == QLatin1StringView(".."))
                continue;
        } else {
            fillDos(*file, fields, name, dayFirst);
        }
        files->Add(file, file->FileName);
    }
    return files;
}

QStringList SplitListingLine(const QString& line) {
    int splits = 0;
    return splitFields(line, splits);
}

double BuildListingDate(const QString& day, const QString& month, const QString& yearOrTime) {
    return BuildListingDate(day, month, yearOrTime, QDate::currentDate().year());
}

double BuildListingDate(const QString& day, const QString& month, const QString& yearOrTime,
                        int currentYear) {
    bool dayOk = false;
    bool monthOk = false;
    bool yearOk = true;
    const int d = day.toShort(&dayOk);
    const int m = monthNumber(month, monthOk);
    const int y = yearOrTime.contains(QLatin1Char(':')) ? currentYear : yearOrTime.toShort(&yearOk);
    if (!dayOk || !monthOk || !yearOk)
        return FtpDate::Zero;
    return FtpDate::FromCalendar(y, m, d).value_or(FtpDate::Zero);
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
