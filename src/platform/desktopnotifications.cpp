#include "platform/desktopnotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <optional>

namespace orvane {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

QDBusMessage call(const QString& method)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kService, method);
    // A desktop without a running notification service answers at once, rather than after a start
    // attempt that may last the call's whole timeout.
    message.setAutoStartService(false);
    return message;
}

} // namespace

DesktopNotifications::DesktopNotifications(QObject* parent) : QObject(parent) {}

void DesktopNotifications::show(const QString& key, const QString& summary, const QString& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    m_closeWanted.remove(key);
    if (m_pending.contains(key)) {
        // Sent once the service has given the first its id, to replace it rather than add a second.
        m_queued.insert(key, {summary, body});
        return;
    }
    QDBusMessage notify = call(QStringLiteral("Notify"));
    // Critical urgency: it stays until it is closed, as the fault does.
    notify << QStringLiteral("Orvane") << m_ids.value(key, 0u) << QStringLiteral("dialog-warning") << summary
           << body << QStringList() << QVariantMap{{QStringLiteral("urgency"), QVariant::fromValue(uchar(2))}}
           << int(0);
    m_pending.insert(key);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, key](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        m_pending.remove(key);
        const QDBusPendingReply<uint> reply = *done;
        const std::optional<std::pair<QString, QString>> queued =
            m_queued.contains(key) ? std::optional(m_queued.take(key)) : std::nullopt;
        if (reply.isError())
            return; // no notification service: the status row alone
        if (m_closeWanted.remove(key)) {
            closeId(reply.value());
            return;
        }
        m_ids.insert(key, reply.value());
        if (queued)
            show(key, queued->first, queued->second);
    });
}

void DesktopNotifications::close(const QString& key)
{
    m_queued.remove(key);
    if (m_pending.contains(key))
        m_closeWanted.insert(key);
    if (const auto id = m_ids.constFind(key); id != m_ids.cend()) {
        closeId(*id);
        m_ids.remove(key);
    }
}

void DesktopNotifications::closeId(uint id)
{
    QDBusMessage closing = call(QStringLiteral("CloseNotification"));
    closing << id;
    QDBusConnection::sessionBus().asyncCall(closing);
}

} // namespace orvane
