#pragma once

#include <QString>

// Number and text patterns of the printed forms and the customer display.
//
// A number pattern is literal text around a run of digit places: "0" is a place that is always shown,
// "#" one shown only when significant, a "," among the places asks for grouping by thousands, "."
// followed by places fixes the decimals; every other character is copied where it stands. The value is
// rounded to the places shown, halves away from zero; a negative value gets a leading "-".
namespace orvane::text {

QString formatNumber(double value, const QString& pattern);

// A text formatted by a number pattern: a text that is a number as a whole is formatted as that number;
// any other text, the empty one included, is returned unchanged.
QString formatText(const QString& value, const QString& pattern);

// A text set between the fixed characters around a number pattern's digit places ("￥" + value + "─").
QString frameText(const QString& value, const QString& pattern);

// The "@" text pattern: the text right-aligned in as many places as the pattern has "@" (a longer text
// is kept whole), followed by the pattern's characters after the last "@".
QString formatAt(const QString& value, const QString& pattern);

} // namespace orvane::text
