#include "channel/commandprocessor.h"

#include "base/logging.h"
#include "display/displayfault.h"
#include "display/displaytext.h"
#include "print/receipt.h"
#include "print/statementfields.h"
#include "text/ansicodec.h"
#include "text/legacytext.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace orvane {
namespace {

using text::inStr;
using text::mid;

const QString kViewer = QStringLiteral("C:\\Program Files\\Halden\\Pictora\\Pictora.exe");

// Mid with a length that may come out negative: a negative length leaves the value empty.
QString midOrEmpty(const QString& t, qsizetype start, qsizetype count)
{
    return count < 0 ? QString() : mid(t, start, count);
}

} // namespace

bool isWebSystemSite(const QString& siteLine, const QString& cookiehost)
{
    QString host = siteLine.left(siteLine.indexOf(u'/'));
    if (host.startsWith(u'.'))
        host.remove(0, 1);
    return host.compare(cookiehost, Qt::CaseInsensitive) == 0 ||
           host.endsWith(u'.' + cookiehost, Qt::CaseInsensitive);
}

std::optional<QString> SplitCookieLines(const QString& text, CookieLines& lines)
{
    qsizetype pos = 0; // 1-based position of the last LF taken, 0 before the first
    std::size_t count = 0;
    for (qsizetype q = text.indexOf(u'\n'); q >= 0; q = text.indexOf(u'\n', pos)) {
        if (count >= lines.size())
            return std::nullopt;
        lines[count++] = text.mid(pos, q - pos);
        pos = q + 1;
    }
    if (count >= lines.size())
        return std::nullopt;
    lines[count] = text.mid(pos);
    return lines[0] + lines[4];
}

std::optional<QString> readCommandFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // A command is a few lines; a huge file is read no further than its first MiB.
    constexpr qint64 kMaxCommandFile = 1 << 20;
    QByteArray bytes = file.read(kMaxCommandFile);
    const qsizetype cr = bytes.indexOf('\r');
    if (cr >= 0)
        bytes.truncate(cr);
    return text::decodeIncoming(bytes);
}

QString viewerCommandLine(const QString& arguments, const QString& dicmpath)
{
    QString replaced = arguments;
    replaced.replace(QStringLiteral("path"), u' ' + dicmpath);
    return kViewer + u"  " + replaced;
}

QString viewerTestCommandLine()
{
    return kViewer + u" C:\\testdicom\\20090313145252.dcm C:\\testdicom\\20090311141459.dcm";
}

CommandOutcome ProcessCommandFile(const std::optional<QString>& text, CookieLines& lines,
                                  const Settings& settings, ProgramLauncher& launcher,
                                  const CommandHandlers& handlers)
{
    CommandOutcome outcome = CommandOutcome::carriedOut();
    std::optional<QString> displayText;
    // A program that cannot start is named by the launcher's own warning (orvane.app); the command's
    // next step runs all the same.
    const auto runDisplay = [&] {
        if (!displayText)
            return;
        const Result<> started = launcher.startCommandLine(display::commandLine(*displayText),
                                                           WindowStyle::NormalFocus, handlers.displayEnded);
        if (!started && handlers.displayEnded)
            handlers.displayEnded(display::kDisplayNotStarted, started.error());
    };

    if (!text) {
        displayText = display::blankText();
        runDisplay();
        return CommandOutcome::notCarriedOut(reasons::kNotACommand, QStringLiteral("命令を読めませんでした"));
    }

    if (const std::optional<QString> caption = SplitCookieLines(*text, lines); caption && handlers.setLabel)
        handlers.setLabel(*caption);

    // Without a second line the command text would still be the previous file's: nothing to carry out.
    if (!text->contains(u'\n')) {
        qCDebug(lcChannel) << "a command file without a command line";
        return CommandOutcome::notCarriedOut(reasons::kNotACommand, QStringLiteral("命令がありません"));
    }
    if (const QString host = textOf(settings.cookiehost);
        !host.isEmpty() && (text->count(u'\n') < 2 || !isWebSystemSite(lines[2], host))) {
        qCDebug(lcChannel) << "cookie of" << lines[2] << "is not the web system's; ignored";
        return CommandOutcome::notCarriedOut(reasons::kNotACommand,
                                             QStringLiteral("Web システムのサイトの Cookie ではありません"));
    }

    if (const QString name = textOf(settings.cookiename); !name.isEmpty() && lines[0] != name) {
        qCDebug(lcChannel) << "cookie" << lines[0] << "is not the command cookie; ignored";
        return CommandOutcome::notCarriedOut(reasons::kNotACommand,
                                             QStringLiteral("命令の Cookie (%1) ではありません").arg(name));
    }

    const QString t = lines[1];
    qCDebug(lcChannel) << "command" << t;
    const auto refuse = [&](const QString& key, const QString& problem) {
        qCWarning(lcChannel).noquote() << "command" << key << "refused:" << problem << "in" << t;
        if (handlers.refused)
            handlers.refused(key, problem, t);
        outcome = CommandOutcome::notCarriedOut(reasons::kBadCommand, problem);
    };

    if (const qsizetype p = inStr(t, u"tell"_s); p > 0 && handlers.phoneCall)
        handlers.phoneCall(mid(t, p + 4, 30));

    if (const qsizetype p = inStr(t, u"dicm"_s); p > 0) {
        const QString commandLine = viewerCommandLine(mid(t, p + 4, 200), textOf(settings.dicmpath));
        (void)launcher.startCommandLine(commandLine, WindowStyle::MinimizedFocus);
    }

    if (const qsizetype p = inStr(t, u"Total"_s); p > 0)
        displayText = display::totalText(mid(t, p + 5, 30));

    if (inStr(t, u"wel"_s) > 0)
        displayText = display::welcomeText();

    if (inStr(t, u"nykin"_s) > 0) {
        // The paid amount starts right after a leading "nykin", wherever the key was found.
        const qsizetype q = inStr(t, u"/"_s);
        displayText = display::paidChangeText(midOrEmpty(t, 6, q - 6), mid(t, q + 1, 10));
    }

    if (inStr(t, u"rsh"_s) > 0 && handlers.printReceipt) {
        if (const std::optional<QString> problem = receiptProblem(t))
            refuse(u"rsh"_s, *problem);
        else
            handlers.printReceipt(t);
    }

    if (inStr(t, u"prt"_s) > 0 && handlers.printStatement) {
        if (const std::optional<QString> problem = statementProblem(t))
            refuse(u"prt"_s, *problem);
        else if (const std::optional<double> fee = handlers.printStatement(t))
            displayText = display::statementTotalText(*fee);
    }

    if (const qsizetype id = inStr(t, u"id"_s); id > 0) {
        const qsizetype tanka = inStr(t, u"tanka"_s);
        const qsizetype suu = inStr(t, u"suu"_s);
        const qsizetype kin = inStr(t, u"kin"_s);
        displayText = display::itemText(midOrEmpty(t, id + 2, tanka - id - 2),
                                        midOrEmpty(t, tanka + 5, suu - tanka - 5),
                                        midOrEmpty(t, suu + 3, kin - suu - 3), mid(t, kin + 3, 10));
    }

    runDisplay();
    return outcome;
}

} // namespace orvane
