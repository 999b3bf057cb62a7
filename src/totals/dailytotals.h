#pragma once

#include "text/result.h"

#include <QString>

namespace orvane {

// The day's takings file: one line per printed statement, in the ANSI code page with CR LF line ends.
// "日計スタート" empties it; the program never reads it back.

// The line of one statement: the statement text and entry 4 of the command file's lines, each without
// blanks around it, joined by "/".
QString dailyTotalsLine(const QString& statementText, const QString& cookieLine4);

// Appends the line, or says why the file cannot be opened or written (the file then keeps its old
// size: no fragment of the line is left in it).
Result<> appendDailyTotal(const QString& path, const QString& line);

// Starts a new day: a non-empty file is first copied to backupPath (replacing an earlier copy), so a
// press by mistake can be undone; then the file is emptied (created when missing).
Result<> startNewDay(const QString& path, const QString& backupPath);

} // namespace orvane
