#include "channel/repeatguard.h"

#include <QElapsedTimer>
#include <QStringList>

namespace orvane {

RepeatGuard::RepeatGuard(Clock clock) : m_clock(std::move(clock))
{
    if (!m_clock) {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        m_clock = [timer] { return timer->elapsed(); };
    }
}

bool RepeatGuard::admit(const QString& commandFile)
{
    const qint64 now = m_clock();
    for (auto it = m_carriedOut.begin(); it != m_carriedOut.end();)
        it = now - it.value() >= kWindowMs ? m_carriedOut.erase(it) : std::next(it);
    // The cookie's name, value and site: the record's first three lines.
    const QString cookie = commandFile.section(u'\n', 0, 2);
    if (m_carriedOut.contains(cookie))
        return false;
    m_carriedOut.insert(cookie, now);
    return true;
}

} // namespace orvane
