#include "display/startstamp.h"

#include <QFile>
#include <QList>

namespace orvane::display {

QByteArray StartStamp::toText() const
{
    return QByteArray::number(ticks) + ' ' + QByteArray::number(pid);
}

std::optional<StartStamp> StartStamp::fromText(const QByteArray& text)
{
    const QList<QByteArray> parts = text.trimmed().split(' ');
    bool ticksOk = false, pidOk = false;
    if (parts.size() != 2)
        return std::nullopt;
    const StartStamp stamp{parts[0].toULongLong(&ticksOk), parts[1].toLongLong(&pidOk)};
    return ticksOk && pidOk ? std::optional<StartStamp>(stamp) : std::nullopt;
}

std::optional<StartStamp> startStampOf(const QByteArray& stat)
{
    // "PID (COMMAND) STATE ..." where COMMAND may hold blanks and parentheses: fields count from the
    // last ")"; the start time is field 22, the 20th after it.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    bool ticksOk = false, pidOk = false;
    const qint64 pid = stat.left(stat.indexOf(' ')).toLongLong(&pidOk);
    if (fields.size() < 20)
        return std::nullopt;
    const quint64 ticks = fields[19].toULongLong(&ticksOk);
    return ticksOk && pidOk ? std::optional<StartStamp>(StartStamp{ticks, pid}) : std::nullopt;
}

std::optional<StartStamp> ownStartStamp()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    return startStampOf(stat.readAll());
}

} // namespace orvane::display
