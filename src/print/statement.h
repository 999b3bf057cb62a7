#pragma once

#include "base/settings.h"
#include "print/printsurface.h"

#include <QString>
#include <optional>

namespace orvane {

struct StatementOutcome
{
    // Everything after the first "prt" of the command text (at most 2000 characters).
    QString statementText;
    // The treatment fee, for the customer display; nullopt when the fee could not be read.
    std::optional<double> fee;
    int pages = 0;
};

// Prints the itemised treatment statement (A5 portrait) of the command text: the text after the
// first "prt" holds the fields separated by "_": reception number, addressee, item count, the item
// records ("?"-separated unit, name, quantity, unit price, amount), the totals block (fee, tax, cash,
// change, staff, -, credit, balance, -, insurance), the date and the insurance marker. Each page
// carries the header, up to 16 item rows (15 with insurance) and the footer block; the last page
// carries the totals and the reception number as an NW-7 barcode.
StatementOutcome printStatement(PrintSurface& surface, const QString& commandText, const Settings& settings);

// The row grid of the statement: row r lies at this Y, in twips.
constexpr int statementRowY(int row)
{
    return 300 + 1300 + 350 * row;
}

} // namespace orvane
