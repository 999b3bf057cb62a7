#pragma once

#include "base/commandoutcome.h"
#include "text/result.h"

#include <QObject>
#include <QString>
#include <optional>

namespace orvane {

// Where the web system's commands come from: the browser's cookie folder, Firefox's cookie store or the
// browser extension. Each hands on command texts in the old cookie-file format, one at a time, in the
// order they were set, on the GUI thread; the command processor carries them out as they arrive.
class CommandSource : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CommandSource)

public:
    using QObject::QObject;

    // Commands set before this are not carried out. A failure ends the bridge's start.
    virtual Result<> start() = 0;
    // The 100 ms tick: a source that looks for changes looks now; one whose commands arrive on their
    // own does nothing.
    virtual void tick() {}
    // No more commands from now on.
    virtual void stop() = 0;
    // What became of the command just handed on, told by its receiver before commandArrived returns; a
    // source that can answer the page keeps it.
    virtual void commandDone(const CommandOutcome& outcome) { Q_UNUSED(outcome); }

signals:
    // One command's text; nullopt for a command file that changed but could not be opened.
    void commandArrived(const std::optional<QString>& text);
    // The browsers whose extension is connected changed: each one's name and extension version, as
    // "Chromium (拡張機能 1.1)"; none when the last one went.
    void browsersChanged(const QStringList& connected);
    // A fault the desk's IT person should see: a store that cannot be read, a late command.
    void warning(const QString& text);

protected:
    // Logs the warning and hands it on.
    void warn(const QString& text);
};

} // namespace orvane
