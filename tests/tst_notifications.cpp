#include "platform/desktopnotifications.h"
#include "support/formservices.h"
#include "window/form1.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace orvane;

namespace {

// A notification service of the test's own on a private session bus: it notes each call.
class NotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList calls; // "Notify <app> <replaces> <summary> <body>", "Close <id>"

public slots:
    uint Notify(const QString& app, uint replaces, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap&, int)
    {
        calls.append(u"Notify %1 %2 %3 %4"_s.arg(app).arg(replaces).arg(summary, body));
        return replaces ? replaces : ++m_last;
    }
    void CloseNotification(uint id) { calls.append(u"Close %1"_s.arg(id)); }

private:
    uint m_last = 40;
};

} // namespace

// What needs the staff now goes to the desktop's notifications: one per fault, replaced when it changes,
// closed when it is mended; without a notification service, nothing fails.
class TestNotifications : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void followsTheFaults();

private:
    QProcess m_bus;
    NotificationService m_service;
};

void TestNotifications::initTestCase()
{
    m_bus.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
    if (!m_bus.waitForStarted() || !m_bus.waitForReadyRead(5000))
        QSKIP("dbus-daemon cannot run here: the desktop's notifications are not tested");
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed());
    QDBusConnection bus = QDBusConnection::sessionBus();
    QVERIFY(bus.isConnected());
}

void TestNotifications::cleanupTestCase()
{
    m_bus.kill();
    m_bus.waitForFinished();
}

void TestNotifications::followsTheFaults()
{
    test::WorkingFolder folder;
    QVERIFY(test::writeFile(u"sct.txt"_s, "dialurl=\r\n"));
    DesktopNotifications notifications;
    test::FakeLauncher launcher;
    test::FakeNotifier notifier;
    test::FakeDialler dialler;
    FormServices services = test::formServices(folder.filePath(u"wine"_s), &launcher, &notifier, &dialler);
    services.desktopNotifications = &notifications;
    Form1 form(services);
    QVERIFY(form.Form_Load());

    // No service yet: nothing shown, nothing fails.
    DeskStatus& status = form.deskStatus();
    status.set(Device::Printer, DeviceStatus::problem(u"media-empty"_s, u"用紙がありません"_s));
    status.set(Device::Printer, DeviceStatus::ok(u"印刷できます"_s));
    QTRY_VERIFY(notifications.settled());

    QDBusConnection bus = QDBusConnection::sessionBus();
    QVERIFY(
        bus.registerObject(u"/org/freedesktop/Notifications"_s, &m_service, QDBusConnection::ExportAllSlots));
    QVERIFY(bus.registerService(u"org.freedesktop.Notifications"_s));
    const QStringList steps[] = {
        {u"Notify Orvane 0 Orvane: 印刷 用紙がありません"_s},
        {u"Notify Orvane 41 Orvane: 印刷 紙づまりです"_s}, // replaced
        {u"Close 41"_s},                                   // mended
        // A fault mended before the service answered is closed once its id is known.
        {u"Notify Orvane 0 Orvane: 客表示 COM3 がありません"_s, u"Close 42"_s},
    };
    QStringList expected;
    for (int step = 0; step < 4; ++step) {
        if (step == 0)
            status.set(Device::Printer, DeviceStatus::problem(u"media-empty"_s, u"用紙がありません"_s));
        if (step == 1)
            status.set(Device::Printer, DeviceStatus::problem(u"media-jam"_s, u"紙づまりです"_s));
        if (step == 2) {
            status.set(Device::Server,
                       DeviceStatus::problem(u"unreachable"_s, u"x"_s)); // not a desktop matter
            status.set(Device::Printer, DeviceStatus::ok(u"印刷できます"_s));
        }
        if (step == 3) {
            status.set(Device::Display, DeviceStatus::problem(u"no-device"_s, u"COM3 がありません"_s));
            status.set(Device::Display, DeviceStatus::ok(u"表示しています"_s));
        }
        expected += steps[step];
        QTRY_COMPARE(m_service.calls, expected);
        QTRY_VERIFY(notifications.settled());
    }
}

QTEST_MAIN(TestNotifications)
#include "tst_notifications.moc"
