#include "channel/folderwatch.h"

#include "platform/inotifyevents.h"

#include <QFile>
#include <QSocketNotifier>

#include <unistd.h>

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#endif

namespace orvane {

FolderWatch::FolderWatch(QObject* parent) : QObject(parent)
{
#ifdef Q_OS_LINUX
    m_notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_notify >= 0) {
        m_notifier = new QSocketNotifier(m_notify, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &FolderWatch::onReadable);
    }
#endif
}

FolderWatch::~FolderWatch()
{
    if (m_notify >= 0)
        close(m_notify);
}

bool FolderWatch::watch(const QString& folder)
{
#ifdef Q_OS_LINUX
    if (m_notify < 0)
        return false;
    if (m_watch >= 0)
        inotify_rm_watch(m_notify, m_watch);
    m_folder = folder;
    m_watch = inotify_add_watch(m_notify, QFile::encodeName(folder).constData(),
                                IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_MOVED_TO);
    return m_watch >= 0;
#else
    Q_UNUSED(folder);
    return false;
#endif
}

void FolderWatch::onReadable()
{
#ifdef Q_OS_LINUX
    QList<QByteArray> names;
    readInotifyEvents(m_notify, [&names](const inotify_event& event) {
        const QByteArray name = event.len > 0 ? QByteArray(event.name) : QByteArray();
        if (!names.contains(name))
            names.append(name);
    });
    if (!names.isEmpty())
        emit changed(names);
#endif
}

} // namespace orvane
