#include "FtpDate.h"

#include <QRegularExpression>
#include <cmath>

namespace {

const QDate kEpoch(1899, 12, 30);
constexpr qint64 kMsPerDay = 24LL * 60 * 60 * 1000;

// Splits a value into whole days and milliseconds of the day, honouring the
// sign convention of the day count (fraction always counts forward).
bool split(double value, qint64& days, qint64& ms) {
    if (!std::isfinite(value) || std::fabs(value) > 4.0e6)
        return false;
    const double whole = std::trunc(value);
    days = static_cast<qint64>(whole);
    ms = std::llround(std::fabs(value - whole) * kMsPerDay);
    if (ms >= kMsPerDay) {
        // Rounding reached the next midnight.
        ms = 0;
        days += value < 0 ? -1 : 1;
    }
    return true;
}

} // namespace

namespace FtpDate {

std::optional<double> FromCalendar(int year, int month, int day) {
    // Carry months into years first, so that the day carry sees the right month lengths.
    const qint64 monthIndex = static_cast<qint64>(year) * 12 + (month - 1);
    const qint64 y = monthIndex >= 0 ? monthIndex / 12 : -((-monthIndex + 11) / 12);
    const int m = static_cast<int>(monthIndex - y * 12) + 1;
    if (y < 100 || y > 9999)
        return std::nullopt;
    const QDate date = QDate(static_cast<int>(y), m, 1).addDays(static_cast<qint64>(day) - 1);
    if (!date.isValid() || date.year() < 100 || date.year() > 9999)
        return std::nullopt;
    return FromDate(date);
}

std::optional<double> FromCalendar(int year, int month, int day, int hour, int minute, int second) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    const auto date = FromCalendar(year, month, day);
    if (!date)
        return std::nullopt;
    const double fraction = (hour * 3600 + minute * 60 + second) / 86400.0;
    return *date < 0 ? *date - fraction : *date + fraction;
}

double FromDate(QDate date) {
    if (!date.isValid())
        return Zero;
    return static_cast<double>(kEpoch.daysTo(date));
}

double FromDateTime(const QDateTime& value) {
    if (!value.isValid())
        return Zero;
    const double days = FromDate(value.date());
    const double fraction = value.time().msecsSinceStartOfDay() / static_cast<double>(kMsPerDay);
    return days < 0 ? days - fraction : days + fraction;
}

QDate ToDate(double value) {
    qint64 days = 0;
    qint64 ms = 0;
    if (!split(value, days, ms))
        return {};
    return kEpoch.addDays(days);
}

QTime ToTime(double value) {
    qint64 days = 0;
    qint64 ms = 0;
    if (!split(value, days, ms))
        return {};
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms));
}

QDateTime ToDateTime(double value) {
    const QDate date = ToDate(value);
    if (!date.isValid())
        return {};
    return QDateTime(date, ToTime(value));
}

QString ToIso(double value) {
    const QDate date = ToDate(value);
    if (!date.isValid())
        return {};
    return date.toString(Qt::ISODate) + QLatin1Char('T') +
           ToTime(value).toString(QStringLiteral("HH:mm:ss"));
}

QString TimeFormat(const QLocale& locale, bool seconds) {
    QString format = locale.timeFormat(QLocale::ShortFormat);
    const bool hasSeconds = format.contains(QLatin1Char('s'));
    if (seconds == hasSeconds)
        return format;
    if (!seconds) {
        // "HH:mm:ss" -> "HH:mm"; the separator before the seconds goes too.
        static const QRegularExpression secondsPart(QStringLiteral("[^hHmaApP]?s+"));
        return format.remove(secondsPart);
    }
    // The minutes are followed by their seconds, with the locale's separator.
    const qsizetype minutes = format.lastIndexOf(QStringLiteral("mm"));
    if (minutes < 0)
        return format;
    const qsizetype hour = format.indexOf(QLatin1Char('h'), 0, Qt::CaseInsensitive);
    const QChar separator = hour >= 0 && minutes > 0 ? format.at(minutes - 1) : QLatin1Char(':');
    return format.insert(minutes + 2, separator + QStringLiteral("ss"));
}

QString ToText(double value, const QLocale& locale, bool seconds) {
    const QDate date = ToDate(value);
    if (!date.isValid())
        return {};
    const QTime time = ToTime(value);
    QString text = locale.toString(date, QLocale::ShortFormat);
    if (time.msecsSinceStartOfDay() != 0)
        text += QLatin1Char(' ') + locale.toString(time, TimeFormat(locale, seconds));
    return text;
}

} // namespace FtpDate
