#pragma once

#include <QDate>
#include <QString>

namespace orvane::text {

// A date by a pattern of "yyyy" (four-digit year), "mm" or "MM" (two-digit month), "dd" (two-digit
// day) and "aaaa" (full Japanese weekday name such as 火曜日); every other character is copied.
QString formatDate(const QDate& date, const QString& pattern);

// The date zero of the legacy date type, which an unconvertible date keeps.
QDate dateZero();

// A date written as year, month and day separated by "/" (after the caller's "-" replacement);
// an invalid QDate when the text is not such a date.
QDate parseDate(const QString& text);

} // namespace orvane::text
