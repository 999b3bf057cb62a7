#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <optional>

namespace orvane::display {

// When the kernel created a process: its start time (clock ticks since boot, /proc/PID/stat field 22),
// ties broken by the process id. Display programs started a few milliseconds apart reach main in any
// order; this stamp orders them as they were started.
struct StartStamp
{
    quint64 ticks = 0;
    qint64 pid = 0;

    friend auto operator<=>(const StartStamp&, const StartStamp&) = default;
    QByteArray toText() const;
    static std::optional<StartStamp> fromText(const QByteArray& text);
};

// This process's stamp; nullopt where /proc cannot tell.
std::optional<StartStamp> ownStartStamp();
// The stamp in the text of a /proc/PID/stat file.
std::optional<StartStamp> startStampOf(const QByteArray& stat);

} // namespace orvane::display
