#pragma once

#include "base/settings.h"
#include "print/printsurface.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace orvane {

// Reads the receipt counter file: one number, blanks around it skipped. 0 when the file is missing,
// empty or holds no number.
qint32 readReceiptCounter(const QString& path);
// Writes the counter file: the number with one leading blank (its sign place) and CR LF.
bool writeReceiptCounter(const QString& path, qint32 number);

struct ReceiptOutcome
{
    qint32 number = 0;          // the number printed
    bool counterWritten = true; // false when the counter file could not be written
};

// Prints a numbered receipt (A5 landscape) for the text after the first "rsh" of the command text:
// customer name, amount received, tax and staff number separated by "/". The receipt number is the one
// stored in the counter file, which then holds the next one.
ReceiptOutcome printReceipt(PrintSurface& surface, const QString& commandText, const Settings& settings,
                            const QDate& today, const QString& counterPath);

} // namespace orvane
