#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <utility>

namespace orvane {

// The desktop's notifications (org.freedesktop.Notifications on the session bus, app name Orvane):
// one per key at a time, replaced when it changes, closed when it is mended. Nothing waits for the
// notification service; without one, nothing is shown and nothing fails.
class DesktopNotifications : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DesktopNotifications)

public:
    explicit DesktopNotifications(QObject* parent = nullptr);

    // Shows the notification of this key, or replaces the one shown.
    void show(const QString& key, const QString& summary, const QString& body);
    // Closes the notification of this key, if one is shown.
    void close(const QString& key);
    // No call is waiting for the service's answer.
    bool settled() const { return m_pending.isEmpty(); }

private:
    void closeId(uint id);

    QHash<QString, uint> m_ids;                           // the service's ids of the notifications shown
    QSet<QString> m_pending;                              // keys whose Notify has not been answered yet
    QSet<QString> m_closeWanted;                          // closed while their Notify was pending
    QHash<QString, std::pair<QString, QString>> m_queued; // changed while it was pending: summary, body
};

} // namespace orvane
