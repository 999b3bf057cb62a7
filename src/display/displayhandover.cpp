#include "display/displayhandover.h"

#include <QList>

namespace orvane::display {

QByteArray handoverLine(const StartStamp& stamp, const QByteArray& text)
{
    return stamp.toText() + ' ' + text.toBase64() + '\n';
}

Result<Handover> handoverFromLine(const QByteArray& line)
{
    const QList<QByteArray> parts = line.trimmed().split(' ');
    if (parts.size() < 2 || parts.size() > 3)
        return fail(QStringLiteral("not a display text: %1").arg(QString::fromLatin1(line.left(80))));
    const std::optional<StartStamp> stamp = StartStamp::fromText(parts[0] + ' ' + parts[1]);
    if (!stamp)
        return fail(QStringLiteral("not a display text: %1").arg(QString::fromLatin1(line.left(80))));
    return Handover{*stamp, parts.size() == 3 ? QByteArray::fromBase64(parts[2]) : QByteArray()};
}

} // namespace orvane::display
