#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

// The engine's date-time: a day count from 1899-12-30 00:00 whose fraction is
// the time of day (0.5 is noon). Before the epoch the sign applies to the day
// part only: -1.25 is 1899-12-29 06:00. The zero value means "no date".
namespace FtpDate {

constexpr double Zero = 0.0;

// Midnight of a calendar date. Out-of-range values carry over: day 31 of
// month 4 is 1 May, month 13 is January of the next year, day 0 is the last
// day of the previous month. Empty when the result lies outside 100..9999.
std::optional<double> FromCalendar(int year, int month, int day);

// The same with a time of day added; hours, minutes and seconds must be in range.
std::optional<double> FromCalendar(int year, int month, int day, int hour, int minute,
                                   int second = 0);

double FromDateTime(const QDateTime& value);
double FromDate(QDate date);

// Calendar date and clock time of a value, both valid for any finite value
// whose date lies within QDate's range.
QDate ToDate(double value);
QTime ToTime(double value);
QDateTime ToDateTime(double value);

// "yyyy-MM-ddTHH:mm:ss", no zone: the listing's clock is the server's own.
QString ToIso(double value);

// For people: the locale's short date, and its time unless midnight. The
// seconds show only when the listing gave them (seconds): a listing precise
// to the minute must not show an invented ":00".
QString ToText(double value, const QLocale& locale = QLocale::system(), bool seconds = false);

// The locale's short time format with the seconds taken out, or put in.
QString TimeFormat(const QLocale& locale, bool seconds);

} // namespace FtpDate
