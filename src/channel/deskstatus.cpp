#include "channel/deskstatus.h"

#include "base/logging.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace orvane {

DeskStatus::DeskStatus(QObject* parent, Clock clock)
    : QObject(parent), m_clock(clock ? std::move(clock) : [] { return QDateTime::currentDateTime(); })
{
    m_started = m_clock();
    m_day = m_started.date();
    for (DeviceStatus& status : m_devices)
        status.since = m_started;
}

void DeskStatus::set(Device device, DeviceStatus status)
{
    DeviceStatus& present = m_devices[std::size_t(device)];
    if (present.sameAs(status))
        return;
    const bool wasProblem = present.state == DeviceState::Problem;
    status.since =
        present.state == status.state && present.reason == status.reason ? present.since : m_clock();
    present = status;
    if (status.state == DeviceState::Problem)
        qCWarning(lcStatus).noquote() << deviceKey(device) << "problem:" << status.reason << status.text;
    else if (wasProblem)
        qCInfo(lcStatus).noquote() << deviceKey(device) << "mended:" << status.text;
    emit deviceChanged(device);
}

void DeskStatus::setUnprinted(int pages)
{
    if (pages == m_unprinted)
        return;
    m_unprinted = pages;
    emit unprintedChanged(pages);
}

void DeskStatus::rollDay()
{
    if (const QDate today = m_clock().date(); today != m_day) {
        m_day = today;
        m_commands = m_receipts = m_statements = 0;
    }
}

void DeskStatus::count(Counted what)
{
    rollDay();
    switch (what) {
    case Counted::Command:
        ++m_commands;
        break;
    case Counted::Receipt:
        ++m_receipts;
        break;
    case Counted::Statement:
        ++m_statements;
        break;
    }
}

void DeskStatus::setBridge(qint64 pid, const QString& folder, const QString& version)
{
    m_pid = pid;
    m_folder = folder;
    m_version = version;
}

void DeskStatus::refused(const QString& key, const QString& problem, const QString& commandText)
{
    rollDay();
    m_refused = {{u"key"_s, key},
                 {u"problem"_s, problem},
                 {u"command"_s, commandText.left(200)},
                 {u"at"_s, m_clock().toString(Qt::ISODate)}};
}

bool DeskStatus::allWell() const
{
    return std::none_of(m_devices.begin(), m_devices.end(),
                        [](const DeviceStatus& status) { return status.state == DeviceState::Problem; });
}

QJsonObject DeskStatus::toJson() const
{
    const bool sameDay = m_clock().date() == m_day; // counts of an earlier day are no longer today's
    QJsonObject devices;
    for (const Device device : kDevices) {
        const DeviceStatus& status = m_devices[std::size_t(device)];
        devices.insert(
            deviceKey(device),
            QJsonObject{{u"state"_s, stateWord(status.state)},
                        {u"reason"_s, status.reason.isEmpty() ? QJsonValue() : QJsonValue(status.reason)},
                        {u"text"_s, status.text},
                        {u"since"_s,
                         status.since.toOffsetFromUtc(status.since.offsetFromUtc()).toString(Qt::ISODate)}});
    }
    return {
        {u"bridge"_s,
         QJsonObject{{u"pid"_s, m_pid},
                     {u"since"_s, m_started.toOffsetFromUtc(m_started.offsetFromUtc()).toString(Qt::ISODate)},
                     {u"folder"_s, m_folder},
                     {u"version"_s, m_version}}},
        {u"devices"_s, devices},
        {u"unprinted"_s, m_unprinted},
        {u"today"_s, QJsonObject{{u"commands"_s, sameDay ? m_commands : 0},
                                 {u"receipts"_s, sameDay ? m_receipts : 0},
                                 {u"statements"_s, sameDay ? m_statements : 0}}},
        {u"refused"_s, sameDay && !m_refused.isEmpty() ? QJsonValue(m_refused) : QJsonValue()}};
}

QString statusText(const QJsonObject& report)
{
    const QJsonObject bridge = report.value(u"bridge").toObject();
    QString text = u"Orvane %1 (pid %2) for %3 since %4\n"_s.arg(
        bridge.value(u"version").toString(), QString::number(bridge.value(u"pid").toInteger()),
        bridge.value(u"folder").toString(), bridge.value(u"since").toString());
    const QJsonObject devices = report.value(u"devices").toObject();
    for (const Device device : kDevices) {
        const QJsonObject d = devices.value(deviceKey(device)).toObject();
        const QString reason = d.value(u"reason").toString();
        text += u"%1 %2: %3%4 (since %5)\n"_s.arg(deviceCaption(device), d.value(u"state").toString(),
                                                  reason.isEmpty() ? QString() : u'[' + reason + u"] "_s,
                                                  d.value(u"text").toString(), d.value(u"since").toString());
    }
    const QJsonObject today = report.value(u"today").toObject();
    text += u"未印刷 %1 枚\n本日 命令 %2 件、領収書 %3 枚、明細書 %4 枚\n"_s.arg(
        QString::number(report.value(u"unprinted").toInt()),
        QString::number(today.value(u"commands").toInt()), QString::number(today.value(u"receipts").toInt()),
        QString::number(today.value(u"statements").toInt()));
    if (const QJsonObject refused = report.value(u"refused").toObject(); !refused.isEmpty())
        text += u"実行しなかった命令 (%1): %2 %3: %4\n"_s.arg(
            refused.value(u"at").toString(), refused.value(u"key").toString(),
            refused.value(u"problem").toString(), refused.value(u"command").toString());
    return text;
}

int statusExitCode(const QJsonObject& report)
{
    const QJsonObject devices = report.value(u"devices").toObject();
    for (auto it = devices.begin(); it != devices.end(); ++it)
        if (it.value().toObject().value(u"state").toString() == u"problem")
            return 1;
    return 0;
}

} // namespace orvane
