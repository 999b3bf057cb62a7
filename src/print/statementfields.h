#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

namespace orvane {

// One item record of a statement: "?"-separated unit, name, quantity, unit price and amount (a sixth
// and seventh part are not read). A missing part is empty.
struct StatementItem
{
    QString unit;
    QString name;
    QString quantity;
    QString unitPrice;
    QString amount;
};

// The totals block after the item records, in its order; a field beyond the statement's text is
// nullopt (the layout then leaves out what needs it).
struct StatementTotals
{
    std::optional<QString> fee;           // treatment fee of this visit
    std::optional<QString> tax;           // consumption tax
    std::optional<QString> cash;          // cash received
    std::optional<QString> change;        // change given; negative: minus what is left unpaid
    std::optional<QString> staff;         // number of the staff member in charge
    std::optional<QString> credit;        // paid by credit card
    std::optional<QString> balanceBefore; // outstanding balance before this visit
    std::optional<QString> insurance;     // covered by insurance
};

// A statement command's text taken apart: the one place that knows which field is which. The fields
// are the text after the first "prt" (at most 2000 characters) cut at "_", at most 101 of them:
// reception number, addressee, item count, the item records, the totals block; the date and the
// insurance marker are the last two, found from the end.
struct StatementFields
{
    QString statementText;
    std::optional<QString> receptionNumber;
    std::optional<QString> addressee;
    // As many records as the count in field 2 asks for and the text holds. A count that is no number
    // stands for the fields between the count and the last twelve (totals block, date, marker).
    QList<StatementItem> items;
    StatementTotals totals;
    std::optional<QString> dateText; // the date's field as written
    QDate date;                      // 30 December 1899 when the field is missing or no date
    bool dateRead = false;           // the field converted to a date
    bool insurance = false;          // the marker reads as a number other than 0
};

StatementFields parseStatement(const QString& commandText);

// Why a command's statement would not print as the web system meant it, nullopt when it would: its date
// does not convert, or its totals or item amounts are there, not empty and not numbers. A number is the
// whole field (text/legacytext.h wholeNumber), not a leading number followed by other text. The text is
// for the desk's staff.
std::optional<QString> statementProblem(const QString& commandText);

} // namespace orvane
