#pragma once

#include "base/settings.h"
#include "print/printsurface.h"
#include "text/result.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

namespace orvane {

// Reads the receipt counter file: one number, blanks around it skipped. 0 when the file is missing,
// empty or holds no number.
qint32 readReceiptCounter(const QString& path);
// Writes the counter file: the number with one leading blank (its sign place) and CR LF. A failed
// write keeps the stored number.
Result<> writeReceiptCounter(const QString& path, qint32 number);

struct ReceiptOutcome
{
    qint32 number = 0;     // the number printed
    Result<> counterSaved; // whether the next number reached the counter file
};

// The receipt's fields: the text after the first "rsh" of the command text (at most 500 characters) cut
// at "/": customer name, amount received, tax, staff number.
QStringList receiptFields(const QString& commandText);

// Why the command's receipt would not print as the web system meant it, nullopt when it would: its
// amount is missing or not a number, or its tax or staff field is there, not empty and not a number (a
// number is the whole field, text/legacytext.h wholeNumber). The text is for the desk's staff.
std::optional<QString> receiptProblem(const QString& commandText);

// Prints a numbered receipt (A5 landscape) for the text after the first "rsh" of the command text:
// customer name, amount received, tax and staff number separated by "/". The receipt number is the one
// stored in the counter file, which then holds the next one.
ReceiptOutcome printReceipt(PrintSurface& surface, const QString& commandText, const Settings& settings,
                            const QDate& today, const QString& counterPath);

} // namespace orvane
