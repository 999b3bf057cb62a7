#include "browser/cookierecord.h"

#include <QStringList>

#include <algorithm>

namespace orvane {
namespace {

// 100-ns intervals between 1601-01-01 and 1970-01-01.
constexpr quint64 kFileTimeAt1970 = 116444736000000000ULL;

// Times outside 1601 to 30828 (a FILETIME's range) are held at its ends.
QStringList fileTimeHalves(qint64 msSince1970, qint64 ticksPerMs, qint64 extraTicks)
{
    constexpr qint64 kLowestMs = -11644473600000LL;
    constexpr qint64 kHighestMs = 910692730085477LL;
    const qint64 ms = std::clamp(msSince1970, kLowestMs, kHighestMs);
    const quint64 fileTime = quint64(qint64(kFileTimeAt1970) + ms * ticksPerMs + extraTicks);
    return {QString::number(quint32(fileTime & 0xFFFFFFFFULL)), QString::number(quint32(fileTime >> 32))};
}

} // namespace

QString cookieRecord(const Cookie& cookie)
{
    QString host = cookie.host;
    if (host.startsWith(u'.'))
        host.remove(0, 1);
    QStringList lines{cookie.name, cookie.value, host + cookie.path, QStringLiteral("0")};
    lines += fileTimeHalves(cookie.expiryMs, 10000, 0);
    lines += fileTimeHalves(cookie.creationUs / 1000, 10000, (cookie.creationUs % 1000) * 10);
    lines.append(QStringLiteral("*"));
    return lines.join(u'\n') + u'\n';
}

} // namespace orvane
