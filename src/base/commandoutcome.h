#pragma once

#include <QString>
#include <QStringView>

namespace orvane {

// What became of one command, as the page that set it may learn it: carried out, or not and why. The
// reason words are fixed (the extension and the pages' helper read them); the text is the staff's.
struct CommandOutcome
{
    bool ok = true;
    QString reason; // empty when carried out as asked
    QString text;

    static CommandOutcome carriedOut() { return {true, {}, QStringLiteral("実行しました")}; }
    static CommandOutcome notCarriedOut(QStringView reason, const QString& text)
    {
        return {false, reason.toString(), text};
    }
    bool operator==(const CommandOutcome&) const = default;
};

// The reason words.
namespace reasons {
inline constexpr QStringView kRepeated = u"repeated";         // ok: a double click, carried out once
inline constexpr QStringView kBadCommand = u"bad-command";    // a receipt or statement that would print wrong
inline constexpr QStringView kNotACommand = u"not-a-command"; // not the command cookie or not the site
inline constexpr QStringView kPrinterProblem = u"printer-problem"; // the page waits for the printer
inline constexpr QStringView kLate = u"late";          // reached the bridge too late to be carried out
inline constexpr QStringView kNoBridge = u"no-bridge"; // no bridge running for the browser's host
} // namespace reasons

} // namespace orvane
