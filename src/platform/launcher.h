#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "platform/windowspath.h"
#include "text/result.h"

namespace orvane {

// How a started program's window is shown on Windows; no meaning on other systems.
enum class WindowStyle { Hide = 0, NormalFocus = 1, MinimizedFocus = 2 };

// Starts external programs without waiting for them.
class ProgramLauncher
{
public:
    virtual ~ProgramLauncher() = default;

    // A Windows command line (the display program, the viewer): program and arguments split by the
    // Windows rules, arguments in the ANSI code page those programs read.
    virtual Result<> startCommandLine(const QString& commandLine, WindowStyle style) = 0;

    // How a followed program ended: its exit status (128 + the signal for one killed) and the last
    // line it wrote to standard error.
    using Finished = std::function<void(int exitStatus, const QString& errorLine)>;
    // The same, told later on this thread how the program ended; nothing waits for it. A launcher that
    // cannot follow programs starts it unfollowed.
    virtual Result<> startCommandLine(const QString& commandLine, WindowStyle style, Finished finished)
    {
        Q_UNUSED(finished);
        return startCommandLine(commandLine, style);
    }

    // A program of this system (bare name searched on PATH, or a path) with its arguments as they stand,
    // in this system's own encoding.
    virtual Result<> startProgram(const QString& program, const QStringList& arguments) = 0;
};

// Arguments of a command line after its program, split as Windows programs split them: blanks and tabs
// separate arguments outside double quotes; 2n backslashes before a quote give n backslashes and the
// quote toggles quoting; 2n+1 give n backslashes and a literal quote; "" inside quotes is one quote;
// other backslashes are literal.
QStringList splitWindowsArguments(const QString& arguments);

// The argument quoted so that splitWindowsArguments (and every Windows program) reads it back as it
// stands, trailing backslashes and double quotes included.
QString quoteWindowsArgument(const QString& argument);

// A command line resolved to what is started: the native program path and the argument bytes.
struct ResolvedCommand
{
    QString program;
    QList<QByteArray> arguments;
};

// Resolves a Windows command line: a quoted program runs to its closing quote; an unquoted one with
// blanks is tried prefix by prefix at each blank, as Windows does. A program with a drive letter maps
// through the path mapper, one with another path is taken as a native path, a bare name is searched in
// the folders of pathVariable; each is tried as written and then without a trailing ".exe". Arguments
// that begin with a drive letter and ":\" become native paths; all arguments are encoded in the ANSI
// code page. The error names what could not be found.
Result<ResolvedCommand> resolveCommandLine(const QString& commandLine, const WindowsPathMapper& mapper,
                                           const QString& pathVariable);

// The executable a program name or path stands for, with the same rules; nullopt when none exists.
std::optional<QString> resolveProgram(const QString& program, const WindowsPathMapper& mapper,
                                      const QString& pathVariable);

// Starts programs as processes of this system: directly, never through a shell, not waited for and
// reaped so that none is left behind as a zombie.
class ProcessLauncher final : public ProgramLauncher
{
public:
    explicit ProcessLauncher(WindowsPathMapper mapper);

    Result<> startCommandLine(const QString& commandLine, WindowStyle style) override;
    Result<> startCommandLine(const QString& commandLine, WindowStyle style, Finished finished) override;
    Result<> startProgram(const QString& program, const QStringList& arguments) override;

    // Starts a resolved command, followed when finished is given; the error says why it could not be
    // started.
    static Result<> spawn(const ResolvedCommand& command, Finished finished = {});

private:
    WindowsPathMapper m_mapper;
};

} // namespace orvane
