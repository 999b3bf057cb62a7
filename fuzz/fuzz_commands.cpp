// A command file's text carried out by the command processor, printing into a recording surface.
#include "channel/commandprocessor.h"
#include "print/receipt.h"
#include "print/statement.h"
#include "support/recordingsurface.h"
#include "text/ansicodec.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

class NullLauncher final : public orvane::ProgramLauncher
{
public:
    orvane::Result<> startCommandLine(const QString& commandLine, orvane::WindowStyle) override
    {
        if (commandLine.isEmpty())
            return orvane::fail(QStringLiteral("no command line"));
        return {};
    }
    orvane::Result<> startProgram(const QString&, const QStringList&) override { return {}; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir dir;
    static const QString counter = QDir(dir.path()).filePath(QStringLiteral("counter.txt"));
    static orvane::CookieLines lines;
    static orvane::Settings settings = [] {
        orvane::Settings s;
        s.leftmrg = QStringLiteral("200");
        return s;
    }();
    NullLauncher launcher;
    orvane::RecordingSurface surface;
    orvane::CommandHandlers handlers;
    handlers.phoneCall = [](const QString&) {};
    handlers.printReceipt = [&](const QString& t) {
        orvane::printReceipt(surface, t, settings, QDate(2024, 3, 5), counter);
    };
    handlers.printStatement = [&](const QString& t) {
        return orvane::printStatement(surface, t, settings).fee;
    };
    handlers.setLabel = [](const QString&) {};

    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QString text = orvane::text::decodeIncoming(bytes);
    if (const qsizetype cr = text.indexOf(u'\r'); cr >= 0)
        text.truncate(cr);
    orvane::ProcessCommandFile(text, lines, settings, launcher, handlers);
    return 0;
}
