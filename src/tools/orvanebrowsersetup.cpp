// orvane-browser-setup: sets a desk's Chromium and Firefox up to hand the web system's cookies to the
// bridge through the Orvane extension and its native host (--site), checks that set-up (--check) and
// takes it back (--remove). --help says more.
#include "tools/browsersetup/deskcheck.h"
#include "tools/browsersetup/desksetup.h"
#include "tools/browsersetup/setupoptions.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <cstdio>
#include <unistd.h>

using namespace orvane::setup;
using namespace Qt::StringLiterals;

namespace {

QString firstProgram(const QStringList& names)
{
    for (const QString& name : names)
        if (const QString path = QStandardPaths::findExecutable(name); !path.isEmpty())
            return path;
    return {};
}

void print(FILE* stream, const QString& line)
{
    std::fprintf(stream, "%s\n", line.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const orvane::Result<SetupOptions> options =
        parseSetupOptions(app.arguments().mid(1), QCoreApplication::applicationDirPath());
    if (!options) {
        print(stderr, u"orvane-browser-setup: "_s + options.error());
        return 2;
    }
    const QString chromium = firstProgram({u"chromium"_s, u"chromium-browser"_s});
    switch (options->mode) {
    case SetupOptions::Mode::Help:
        std::fputs(setupUsage().toLocal8Bit().constData(), stdout);
        return 0;
    case SetupOptions::Mode::Check: {
        DeskCheck desk;
        desk.chromium = chromium;
        desk.firefox = firstProgram({u"firefox-esr"_s, u"firefox"_s});
        desk.keyPath = options->keyPath();
        // Without the package's extension the check still runs, on the id the package gives it.
        const orvane::Result<ExtensionInfo> extension = readExtension(options->extension);
        desk.geckoId = extension ? extension->geckoId : u"orvane-bridge@orvane.invalid"_s;
        desk.version = extension ? extension->version : QString();
        if (!extension)
            desk.problems.append(extension.error() + u" (the package's extension; reinstall the package)"_s);
        desk.chromiumPolicyDir = options->chromiumPolicyDir;
        desk.chromiumHostsDir = options->chromiumHostsDir;
        desk.firefoxPolicyDir = options->firefoxPolicyDir;
        desk.firefoxHostsDir = options->firefoxHostsDir;
        desk.users = deskUsers();
        desk.root = ::geteuid() == 0;
        const CheckReport report = checkDesk(desk);
        for (const QString& line : report.lines)
            print(stdout, line);
        return report.exitStatus();
    }
    case SetupOptions::Mode::SetUp:
    case SetupOptions::Mode::Remove: {
        const SetupRun run = options->mode == SetupOptions::Mode::SetUp ? setUpDesk(*options, chromium)
                                                                        : removeSetUp(*options);
        for (const QString& line : run.lines)
            print(stdout, line);
        if (!run.error.isEmpty()) {
            print(stderr, u"orvane-browser-setup: "_s + run.error);
            return 1;
        }
        return run.exitStatus;
    }
    }
    return 0;
}
