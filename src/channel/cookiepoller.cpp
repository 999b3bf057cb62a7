#include "channel/cookiepoller.h"

#include "channel/cookielisting.h"

#include <QFile>
#include <QList>

namespace orvane {

CookiePoller::CookiePoller(WindowsPathMapper mapper) : m_mapper(std::move(mapper))
{
    m_sinceStart.start();
}

bool CookiePoller::takeNotifications()
{
    return m_watch.take([this](const QByteArray& name) { m_linkedFiles.forget(name); });
}

bool CookiePoller::mayLookAtTouchedOnly(const QByteArray& native)
{
    if (!m_watch.sawEverything(native, [this](const QByteArray& name) { m_linkedFiles.forget(name); }))
        return false;
    // Should a file's own watch be missing (no watches left), a change through a hard link in another
    // folder raises no event: files with more than one link are looked at once a second, and the whole
    // folder is listed every few seconds. The rest of the time an idle tick costs next to nothing, also
    // with thousands of files.
    const qint64 now = m_sinceStart.elapsed();
    if (now - m_lastListingAt >= kFullListingMs)
        return false;
    if (now - m_lastLinkCheckAt >= m_linkedFileMs) {
        m_lastLinkCheckAt = now;
        return !m_linkedFiles.changedIn(native);
    }
    return true;
}

std::optional<QByteArray> CookiePoller::nativeFolder(const QString& windowsPath, bool refresh)
{
    // The folder is the same on every tick; it is mapped again only when it could not be opened.
    if (!refresh && windowsPath == m_cachedWindowsPath && !m_cachedNative.isEmpty())
        return m_cachedNative;
    const std::optional<QString> native = m_mapper.toNative(windowsPath);
    if (!native)
        return std::nullopt;
    m_cachedWindowsPath = windowsPath;
    m_cachedNative = QFile::encodeName(*native);
    return m_cachedNative;
}

bool CookiePoller::list(const CookieFolder& folder,
                        const std::function<void(const char* name, qint64 seconds)>& visit)
{
    const std::optional<QByteArray> native = nativeFolder(folder.windowsPath, false);
    if (!native)
        return false;
    ++m_listings;
    m_watch.listing();
    m_lastListingAt = m_lastLinkCheckAt = m_sinceStart.elapsed();
    m_linkedFiles.clear();
    const QByteArray suffix = folder.pattern.mid(1).toLatin1(); // "*.txt" -> ".txt"
    const auto found = [&](int folderFd, const CookieFile& file) {
        m_linkedFiles.note(QByteArray(file.name), file.links, file.seconds);
        m_watch.watchFile(folderFd, file.name, file.inode);
        visit(file.name, file.seconds);
    };
    if (listCookieFiles(*native, suffix, found))
        return true;
    // The mapping may have changed (a prefix's link set anew): map again once.
    const std::optional<QByteArray> again = nativeFolder(folder.windowsPath, true);
    return again && listCookieFiles(*again, suffix, found);
}

void CookiePoller::poll(const CookieFolder& folder, qint64& lastCookieTime, const Handler& handler)
{
    const auto handOn = [&](const char* name, qint64 seconds) {
        if (lastCookieTime >= seconds)
            return;
        lastCookieTime = seconds;
        QByteArray path = m_cachedNative;
        if (!path.endsWith('/'))
            path.append('/');
        path.append(name);
        handler(QFile::decodeName(path));
    };
    if (const std::optional<QByteArray> native = nativeFolder(folder.windowsPath, false);
        native && mayLookAtTouchedOnly(*native)) {
        // After a listing every file's time is at most lastCookieTime, and only the files named since
        // can have become newer: looking at those gives what a listing would. Where more than one is
        // newer, only a listing knows their order.
        struct Newer
        {
            QByteArray name;
            qint64 seconds;
        };
        const QSet<QByteArray> touched = m_watch.takeTouched();
        if (touched.isEmpty())
            return; // nothing named since the listing: no file can be newer (an idle tick ends here)
        QList<Newer> newer;
        const QByteArray suffix = folder.pattern.mid(1).toLatin1();
        const bool looked =
            lookAtCookieFiles(*native, suffix, touched, [&](int folderFd, const CookieFile& file) {
                // A file that gained a link is looked at every second from now on, as a listing would note.
                m_linkedFiles.note(QByteArray(file.name), file.links, file.seconds);
                m_watch.watchFile(folderFd, file.name, file.inode);
                if (file.seconds > lastCookieTime)
                    newer.append({QByteArray(file.name), file.seconds});
            });
        if (looked && newer.size() <= 1) {
            for (const Newer& file : std::as_const(newer))
                handOn(file.name.constData(), file.seconds);
            return;
        }
    }
    list(folder, handOn);
}

std::optional<qint64> CookiePoller::newestTime(const CookieFolder& folder)
{
    // The folder is watched from before this listing on, so that the first tick need not list it again.
    if (const std::optional<QByteArray> native = nativeFolder(folder.windowsPath, false))
        mayLookAtTouchedOnly(*native);
    std::optional<qint64> newest;
    list(folder, [&](const char*, qint64 seconds) {
        if (!newest || seconds > *newest)
            newest = seconds;
    });
    return newest;
}

} // namespace orvane
