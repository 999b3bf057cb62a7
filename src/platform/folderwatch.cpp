#include "platform/folderwatch.h"

#include <QFile>
#include <QSocketNotifier>

namespace orvane {

FolderWatch::FolderWatch(QObject* parent) : QObject(parent)
{
    if (m_watcher.available()) {
        m_notifier = new QSocketNotifier(m_watcher.handle(), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &FolderWatch::onReadable);
    }
}

FolderWatch::~FolderWatch() = default;

Result<> FolderWatch::watch(const QString& folder)
{
    if (!m_watcher.available())
        return fail(QStringLiteral("no change notification on this system"));
    if (m_watch)
        m_watcher.remove(*m_watch);
    using Change = InotifyWatcher::Change;
    m_watch = m_watcher.add(QFile::encodeName(folder),
                            Change::Modified | Change::ClosedWritten | Change::Created | Change::MovedTo);
    if (!m_watch)
        return fail(QStringLiteral("%1 cannot be watched").arg(folder));
    return {};
}

void FolderWatch::onReadable()
{
    QList<QByteArray> names;
    m_watcher.read([&names](const InotifyWatcher::Event& event) {
        if (!names.contains(event.name))
            names.append(event.name);
    });
    if (!names.isEmpty())
        emit changed(names);
}

} // namespace orvane
