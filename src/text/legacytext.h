#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Text helpers with the semantics the web system's commands and the settings file are written for:
// positions count from 1, and numbers are read from the front of a text.
namespace orvane::text {

// Characters of t from 1-based position start, at most count of them; empty when start lies past the
// end. A start below 1 counts from the first character. count must not be negative (callers check).
QString mid(const QString& t, qsizetype start, qsizetype count);

// The rest of t from 1-based position start.
QString mid(const QString& t, qsizetype start);

// 1-based position of the first occurrence of key in t (case-sensitive), 0 when absent.
qsizetype inStr(const QString& t, const QString& key);

// 1-based position of the first occurrence of key in t after 1-based position from (searching from
// from + 1), 0 when absent.
qsizetype inStrAfter(const QString& t, const QString& key, qsizetype from);

// The leading number of a text: blanks are ignored anywhere, digits with an optional sign and one
// decimal point are read up to the first character that cannot continue the number; a text without a
// leading number is 0.
double leadingNumber(const QString& t);

// The value of a text that is a number as a whole (blanks around it, an optional sign, digits with an
// optional decimal point and optional thousands commas); nullopt for any other text, the empty one
// included.
std::optional<double> wholeNumber(const QString& t);

// Cuts a text at every separator into at most 101 fields (indices 0 to 100); empty pieces count, the
// pieces past index 100 are dropped.
QStringList splitFields(const QString& text, QChar separator);

// Leading and trailing U+0020 blanks removed (only blanks, as the web system pads with them).
QString trimBlanks(const QString& t);

} // namespace orvane::text
