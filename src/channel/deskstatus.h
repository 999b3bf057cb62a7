#pragma once

#include "base/devicestatus.h"

#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <array>
#include <functional>

namespace orvane {

// What the staff and orvane --status see of the desk: each device's state since when and why, the
// pages waiting in prints/, and the day's commands, receipts and statements. Every change of a
// device's state is logged once (a warning for a problem, a note when it is mended).
class DeskStatus final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DeskStatus)

public:
    using Clock = std::function<QDateTime()>;

    explicit DeskStatus(QObject* parent = nullptr, Clock clock = {});

    const DeviceStatus& device(Device device) const { return m_devices[std::size_t(device)]; }
    // Sets a device's state; a state, reason or text like the present one changes nothing.
    void set(Device device, DeviceStatus status);

    int unprinted() const { return m_unprinted; }
    void setUnprinted(int pages);

    enum class Counted { Command, Receipt, Statement };
    void count(Counted what);

    // A command the bridge did not carry out because it would have printed wrong: the last one is in
    // the report until the day ends.
    void refused(const QString& key, const QString& problem, const QString& commandText);

    // The bridge's own facts for the report.
    void setBridge(qint64 pid, const QString& folder, const QString& version);

    // True when no device in use has a problem.
    bool allWell() const;

    // The report as one JSON object: {bridge, devices, unprinted, today, refused}.
    QJsonObject toJson() const;

signals:
    void deviceChanged(Device device);
    void unprintedChanged(int pages);

private:
    void rollDay();

    Clock m_clock;
    std::array<DeviceStatus, std::size(kDevices)> m_devices;
    int m_unprinted = 0;
    QDate m_day;
    int m_commands = 0, m_receipts = 0, m_statements = 0;
    qint64 m_pid = 0;
    QDateTime m_started;
    QString m_folder, m_version;
    QJsonObject m_refused; // {key, problem, command, at} of the last refused command
};

// The report as the staff's lines (orvane --status): a line per device, the unprinted pages and the day.
QString statusText(const QJsonObject& report);
// orvane --status's exit status for the report: 0 when all is well, 1 when a device has a problem.
int statusExitCode(const QJsonObject& report);

} // namespace orvane
