#include "text/numberformat.h"

#include "text/legacytext.h"

#include <QLocale>

#include <cmath>
#include <optional>
#include <utility>

namespace orvane::text {
namespace {

// value * 10^decimals rounded, halves away from zero, judged on the value's shortest decimal form:
// 1.005 is a half (its binary value lies just below), 0.4999999999 is not.
double roundedHalfAway(double magnitude, int decimals)
{
    const QString text = QString::number(magnitude, 'f', QLocale::FloatingPointShortest);
    const qsizetype point = text.indexOf(u'.');
    const QString whole = point < 0 ? text : text.left(point);
    const QString fraction = point < 0 ? QString() : text.mid(point + 1);
    const QString kept = whole + fraction.left(decimals).leftJustified(decimals, u'0');
    const bool up = fraction.size() > decimals && fraction[decimals] >= u'5';
    return kept.toDouble() + (up ? 1 : 0);
}

bool isDigitPlace(QChar c)
{
    return c == u'0' || c == u'#';
}

// Digits of a non-negative whole number held in a double, without leading zeros ("" for 0).
QString wholeDigits(double whole)
{
    if (whole < 1.0)
        return {};
    return QString::number(whole, 'f', 0);
}

// Fills the integer places right to left with the digits, keeping literals where they stand; digits
// beyond the places go in front (the places always begin with a digit place).
QString fillIntegerPlaces(const QString& places, const QString& digits)
{
    QString out;
    qsizetype next = digits.size() - 1;
    for (qsizetype i = places.size() - 1; i >= 0; --i) {
        const QChar c = places[i];
        if (isDigitPlace(c)) {
            if (next >= 0)
                out.prepend(digits[next--]);
            else if (c == u'0')
                out.prepend(u'0');
        } else {
            out.prepend(c);
        }
    }
    if (next >= 0)
        out.prepend(digits.left(next + 1));
    return out;
}

QString groupThousands(const QString& digits)
{
    QString out;
    const qsizetype n = digits.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out.append(u',');
        out.append(digits[i]);
    }
    return out;
}

// The first and last digit place of a pattern, nullopt when it has none.
std::optional<std::pair<qsizetype, qsizetype>> digitPlaces(const QString& pattern)
{
    qsizetype first = -1;
    qsizetype last = -1;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (isDigitPlace(pattern[i])) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (first < 0)
        return std::nullopt;
    return std::pair{first, last};
}

} // namespace

QString formatNumber(double value, const QString& pattern)
{
    const auto places = digitPlaces(pattern);
    if (!places)
        return pattern;
    const auto [first, last] = *places;

    const QString prefix = pattern.left(first);
    QString body = pattern.mid(first, last - first + 1);
    const QString suffix = pattern.mid(last + 1);

    const qsizetype point = body.indexOf(u'.');
    QString integerPlaces = point < 0 ? body : body.left(point);
    const QString fractionPlaces = point < 0 ? QString() : body.mid(point + 1);
    int decimals = 0;
    for (const QChar c : fractionPlaces)
        if (isDigitPlace(c))
            ++decimals;

    const bool grouping = integerPlaces.contains(u',');
    if (grouping)
        integerPlaces.remove(u',');

    const double scale = std::pow(10.0, decimals);
    const double magnitude = std::fabs(value);
    const double scaled = roundedHalfAway(magnitude, decimals);
    const bool negative = value < 0 && scaled > 0;
    const double whole = std::floor(scaled / scale);
    const double fraction = scaled - whole * scale;

    QString integerText = fillIntegerPlaces(integerPlaces, wholeDigits(whole));
    if (grouping)
        integerText = groupThousands(integerText);

    QString fractionText;
    if (point >= 0) {
        QString digits =
            decimals > 0 ? QString::number(fraction, 'f', 0).rightJustified(decimals, u'0') : QString();
        // Optional decimal places drop their trailing zeros.
        qsizetype keep = digits.size();
        for (qsizetype i = fractionPlaces.size() - 1, d = digits.size() - 1; i >= 0 && d >= 0; --i) {
            if (!isDigitPlace(fractionPlaces[i]))
                continue;
            if (fractionPlaces[i] == u'#' && digits[d] == u'0' && keep == d + 1)
                keep = d;
            --d;
        }
        fractionText = u'.' + digits.left(keep);
    }

    QString out = prefix + integerText + fractionText + suffix;
    if (negative)
        out.prepend(u'-');
    return out;
}

QString formatText(const QString& value, const QString& pattern)
{
    const std::optional<double> number = wholeNumber(value);
    if (!number)
        return value;
    return formatNumber(*number, pattern);
}

QString frameText(const QString& value, const QString& pattern)
{
    const auto places = digitPlaces(pattern);
    if (!places)
        return value;
    return pattern.left(places->first) + value + pattern.mid(places->second + 1);
}

QString formatAt(const QString& value, const QString& pattern)
{
    const qsizetype lastAt = pattern.lastIndexOf(u'@');
    if (lastAt < 0)
        return value + pattern;
    const qsizetype places = pattern.count(u'@');
    return value.rightJustified(places, u' ') + pattern.mid(lastAt + 1);
}

} // namespace orvane::text
