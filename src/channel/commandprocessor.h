#pragma once

#include "base/commandoutcome.h"
#include "base/settings.h"
#include "platform/launcher.h"

#include <QString>
#include <array>
#include <functional>
#include <optional>

namespace orvane {

// The lines of the last command file read: entry 1 is the command text, entries 0 and 4 go to the
// status label. A new file overwrites the entries up to its own line count; the others keep the
// earlier file's lines.
using CookieLines = std::array<QString, 11>;

// What the command keys do outside the command channel.
struct CommandHandlers
{
    std::function<void(const QString& number)> phoneCall;
    std::function<void(const QString& commandText)> printReceipt;
    // Prints the statement of the command text; returns its treatment fee, or nullopt when the fee
    // could not be read.
    std::function<std::optional<double>(const QString& commandText)> printStatement;
    std::function<void(const QString& caption)> setLabel;
    // A key whose document was refused (print/statementfields.h says why): no page, no number, no line
    // in the daily totals; the command's other keys run.
    std::function<void(const QString& key, const QString& problem, const QString& commandText)> refused;
    // How the display program ended (display/displayfault.h), told later; nothing waits for it.
    ProgramLauncher::Finished displayEnded;
};

// Splits the text at LF into the lines; a text of more than 11 lines fills all 11 entries with its
// first lines and returns nothing. Otherwise returns the status label's caption: entry 0 followed by
// entry 4.
std::optional<QString> SplitCookieLines(const QString& text, CookieLines& lines);

// The command file's text as the one-line read takes it: everything up to the first carriage return.
// nullopt when the file cannot be opened.
std::optional<QString> readCommandFile(const QString& path);

// Carries out one command file, as its source read it (nullopt: a changed file that could not be
// opened): splits it into the lines, tests the command keys of its command text in their fixed order
// (tell, dicm, Total, wel, nykin, rsh, prt, id) and at the end starts the display program once with the
// last display text. A file that cannot be opened blanks the display. A file of fewer than two lines
// carries no command: its lines are taken, nothing is carried out.
//
// Where the cookiehost setting is set, a file carries a command only when its own third line (the site
// of its first cookie) names that host or one below it, so that another web site's cookies cannot
// trigger commands; where cookiename is set, only when its first line (the first cookie's name) is
// that name, so that the web system's other cookies (a session, a CSRF token) cannot either. A receipt
// or statement that would print wrong is refused whole (CommandHandlers::refused). Returns what became
// of the command: carried out, or why not.
CommandOutcome ProcessCommandFile(const std::optional<QString>& text, CookieLines& lines,
                                  const Settings& settings, ProgramLauncher& launcher,
                                  const CommandHandlers& handlers);

// True when the host of a cookie's site line ("host/path", the host perhaps with a leading dot) is
// cookiehost or a host below it.
bool isWebSystemSite(const QString& siteLine, const QString& cookiehost);

// The viewer command line of a dicm command's arguments.
QString viewerCommandLine(const QString& arguments, const QString& dicmpath);

// The viewer with two sample images, to check the viewer's installation.
QString viewerTestCommandLine();

} // namespace orvane
