#include "display/displayhandover.h"

#include <QList>

namespace orvane::display {

QByteArray handoverLine(const StartStamp& stamp, const QByteArray& text)
{
    return stamp.toText() + ' ' + text.toBase64() + '\n';
}

QByteArray handoverAnswer(const QString& fault)
{
    return fault.isEmpty() ? QByteArray("ok\n") : "fault " + fault.simplified().toUtf8() + '\n';
}

QString faultOfAnswer(const QByteArray& answer)
{
    const QByteArray line = answer.trimmed();
    if (line == "ok")
        return {};
    if (line.startsWith("fault "))
        return QString::fromUtf8(line.mid(6));
    return QStringLiteral("the display process answered: %1").arg(QString::fromUtf8(line.left(80)));
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
