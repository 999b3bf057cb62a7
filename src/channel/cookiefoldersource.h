#pragma once

#include "channel/commandsource.h"
#include "channel/cookiefolder.h"
#include "channel/cookiepoller.h"

#include <QSocketNotifier>

namespace orvane {

// The browser's cookie folder as a command source: at each tick, every cookie file newer than
// LastCookieTime (the newest file handed on so far, in whole seconds) is read and handed on, in the
// order the folder lists them. Where the folder's change notification says a file was written and
// closed (or moved in), that pass runs at once, with the same rules: a tick that falls right after the
// write. Notifications that arrive together make one pass.
class CookieFolderSource final : public CommandSource
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CookieFolderSource)

public:
    CookieFolderSource(CookieFolder folder, WindowsPathMapper mapper, QObject* parent = nullptr);

    // Files written before the start were handled by the previous run (or are stale): only files
    // written from now on carry commands. In an empty folder every file to come is newer, even one
    // dated at the epoch.
    Result<> start() override;
    void tick() override;
    void stop() override;

    qint64 lastCookieTime() const { return m_lastCookieTime; }

private:
    void onNotification();

    CookieFolder m_folder;
    CookiePoller m_poller;
    QSocketNotifier* m_notifier = nullptr;
    qint64 m_lastCookieTime = 0;
    bool m_running = false;
};

} // namespace orvane
