#pragma once

#include <QString>

// Texts for the customer pole display: two lines of 20 columns, upper line first, made of fixed-width
// fields. Half-width katakana take one column (one byte in the display's code page).
namespace orvane::display {

// The display program's command line for a text: vfddisp.exe "TEXT", quoted so that the program
// reads the text as it stands (a trailing backslash, a double quote).
QString commandLine(const QString& text);

// Label field: the label followed by blanks, cut to width (first characters kept).
QString labelField(const QString& label, int width);
// Amount field: blanks, the backslash (the yen sign on the display) and the amount formatted
// "#,###,##0" (a text that is not a number is shown as it stands), cut to width keeping the last
// characters.
QString amountField(const QString& amount, int width);

// Total to pay, from the amount text of a Total command.
QString totalText(const QString& amount);
// Total to pay of a printed statement.
QString statementTotalText(double amount);
// Amount paid in and change.
QString paidChangeText(const QString& paid, const QString& change);
// One item: code, unit price, quantity (shown as it stands), amount.
QString itemText(const QString& code, const QString& unitPrice, const QString& quantity,
                 const QString& amount);
QString welcomeText();
// The blank display shown when a command file cannot be read.
QString blankText();

} // namespace orvane::display
