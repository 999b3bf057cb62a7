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
    return {};
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
}

} // namespace orvane
