#include "channel/cookiefoldersource.h"

#include "base/logging.h"
#include "channel/commandprocessor.h"

#include <limits>

namespace orvane {

CookieFolderSource::CookieFolderSource(CookieFolder folder, WindowsPathMapper mapper, QObject* parent)
    : CommandSource(parent), m_folder(std::move(folder)), m_poller(std::move(mapper))
{
}

Result<> CookieFolderSource::start()
{
    m_lastCookieTime = m_poller.newestTime(m_folder).value_or(std::numeric_limits<qint64>::min());
    m_running = true;
    if (m_poller.notificationHandle() >= 0 && !m_notifier) {
        m_notifier = new QSocketNotifier(m_poller.notificationHandle(), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &CookieFolderSource::onNotification);
    }
    if (m_notifier)
        m_notifier->setEnabled(true);
    return {};
}

void CookieFolderSource::onNotification()
{
    // Everything that waits is read in one go: a burst of writes costs one pass, not one per event.
    if (m_poller.takeNotifications())
        tick();
}

void CookieFolderSource::tick()
{
    if (!m_running)
        return;
    m_poller.poll(m_folder, m_lastCookieTime, [this](const QString& path) {
        const std::optional<QString> text = readCommandFile(path);
        qCDebug(lcChannel) << "command file" << path << (text ? "" : "cannot be opened; display blanked");
        emit commandArrived(text);
    });
}

void CookieFolderSource::stop()
{
    m_running = false;
    if (m_notifier)
        m_notifier->setEnabled(false);
}

} // namespace orvane
