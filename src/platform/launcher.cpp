#include "platform/launcher.h"

#include "base/logging.h"
#include "platform/windowspath.h"
#include "text/ansicodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace orvane {
namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isExecutableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

QStringList withoutExe(const QString& name)
{
    QStringList names{name};
    if (name.endsWith(u".exe", Qt::CaseInsensitive))
        names.append(name.chopped(4));
    return names;
}

} // namespace

QStringList splitWindowsArguments(const QString& arguments)
{
    QStringList out;
    QString current;
    bool started = false;
    bool quoted = false;
    const qsizetype n = arguments.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = arguments[i];
        if (isBlank(c) && !quoted) {
            if (started)
                out.append(current);
            current.clear();
            started = false;
            ++i;
            continue;
        }
        started = true;
        if (c == u'\\') {
            qsizetype backslashes = 0;
            while (i < n && arguments[i] == u'\\') {
                ++backslashes;
                ++i;
            }
            if (i < n && arguments[i] == u'"') {
                current += QString(backslashes / 2, u'\\');
                if (backslashes % 2 == 1) {
                    current += u'"';
                    ++i;
                }
                // An even count leaves the quote to the next pass, which toggles quoting.
            } else {
                current += QString(backslashes, u'\\');
            }
            continue;
        }
        if (c == u'"') {
            if (quoted && i + 1 < n && arguments[i + 1] == u'"') {
                current += u'"';
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        current += c;
        ++i;
    }
    if (started)
        out.append(current);
    return out;
}

std::optional<QString> resolveProgram(const QString& program, const WindowsPathMapper& mapper,
                                      const QString& pathVariable)
{
    if (program.isEmpty())
        return std::nullopt;
    if (WindowsPathMapper::isDrivePath(program)) {
        for (const QString& name : withoutExe(program)) {
            const std::optional<QString> native = mapper.toNative(name);
            if (native && isExecutableFile(*native))
                return native;
        }
        return std::nullopt;
    }
    if (program.contains(u'/') || program.contains(u'\\')) {
        QString native = program;
        native.replace(u'\\', u'/');
        for (const QString& name : withoutExe(native))
            if (isExecutableFile(name))
                return QFileInfo(name).absoluteFilePath();
        return std::nullopt;
    }
    const QStringList folders = pathVariable.split(u':', Qt::SkipEmptyParts);
    for (const QString& name : withoutExe(program)) {
        for (const QString& folder : folders) {
            const QString candidate = QDir(folder).filePath(name);
            if (isExecutableFile(candidate))
                return candidate;
        }
    }
    return std::nullopt;
}

QString quoteWindowsArgument(const QString& argument)
{
    QString quoted = QStringLiteral("\"");
    qsizetype backslashes = 0;
    for (const QChar c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled and the quote escaped; elsewhere they stand as they are.
        quoted += QString(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted += QString(backslashes * 2, u'\\'); // the closing quote follows
    return quoted + u'"';
}

Result<ResolvedCommand> resolveCommandLine(const QString& commandLine, const WindowsPathMapper& mapper,
                                           const QString& pathVariable)
{
    qsizetype start = 0;
    while (start < commandLine.size() && isBlank(commandLine[start]))
        ++start;
    const QString line = commandLine.mid(start);

    std::optional<QString> program;
    QString rest;
    QString tried;
    if (line.startsWith(u'"')) {
        const qsizetype close = line.indexOf(u'"', 1);
        tried = line.mid(1, close < 0 ? -1 : close - 1);
        program = resolveProgram(tried, mapper, pathVariable);
        rest = close < 0 ? QString() : line.mid(close + 1);
    } else {
        // Each blank ends a candidate program path; the whole line is the last candidate.
        for (qsizetype i = 0; i <= line.size() && !program; ++i) {
            if (i < line.size() && !isBlank(line[i]))
                continue;
            if (i == 0 || isBlank(line[i - 1]))
                continue;
            const QString candidate = line.left(i);
            // The error names the program as given: the longest candidate that names an .exe, else
            // the first word.
            if (tried.isEmpty() || candidate.endsWith(u".exe", Qt::CaseInsensitive))
                tried = candidate;
            program = resolveProgram(candidate, mapper, pathVariable);
            if (program)
                rest = line.mid(i);
        }
    }
    if (!program)
        return fail(QStringLiteral("プログラム %1 が見つかりません").arg(tried));

    ResolvedCommand command{*program, {}};
    for (const QString& argument : splitWindowsArguments(rest)) {
        // A path mapped to this system names a file here: it goes out in the file system's encoding.
        // Everything else is read by a Windows program, in its code page.
        std::optional<QString> native;
        if (WindowsPathMapper::isDrivePath(argument))
            native = mapper.toNative(argument);
        command.arguments.append(native ? QFile::encodeName(*native) : text::encodeAnsi(argument));
    }
    return command;
}

ProcessLauncher::ProcessLauncher(WindowsPathMapper mapper) : m_mapper(std::move(mapper)) {}

Result<> ProcessLauncher::startCommandLine(const QString& commandLine, WindowStyle style)
{
    return startCommandLine(commandLine, style, {});
}

Result<> ProcessLauncher::startCommandLine(const QString& commandLine, WindowStyle, Finished finished)
{
    const Result<ResolvedCommand> command =
        resolveCommandLine(commandLine, m_mapper, qEnvironmentVariable("PATH"));
    if (!command) {
        qCWarning(lcApp) << "cannot start" << commandLine << ":" << command.error();
        return fail(command.error());
    }
    return spawn(*command, std::move(finished));
}

Result<> ProcessLauncher::startProgram(const QString& program, const QStringList& arguments)
{
    const std::optional<QString> path = resolveProgram(program, m_mapper, qEnvironmentVariable("PATH"));
    if (!path) {
        const QString error = QStringLiteral("プログラム %1 が見つかりません").arg(program);
        qCWarning(lcApp) << "cannot start" << program << ":" << error;
        return fail(error);
    }
    ResolvedCommand command{*path, {}};
    for (const QString& argument : arguments)
        command.arguments.append(argument.toLocal8Bit());
    return spawn(command);
}

} // namespace orvane
