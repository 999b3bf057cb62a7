#pragma once

#include "display/polelines.h"
#include "text/result.h"

#include <QRect>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <optional>

namespace orvane::display {

// vfddisp.conf: which customer display the display program drives, and how.
struct DisplayConfig
{
    DisplayType type = DisplayType::EscPos;
    // Serial displays: a device path or COMn (resolved as the bridge resolves its serial ports).
    QString port;
    qint32 speed = 9600;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QSerialPort::FlowControl flowControl = QSerialPort::NoFlowControl;
    // The on-screen display: which of Qt's screens, and where on it (absent: the whole screen).
    int screen = 0;
    std::optional<QRect> geometry;
    // LCDd.
    QString serverHost = QStringLiteral("127.0.0.1");
    quint16 serverPort = 13666;

    bool isSerial() const { return type == DisplayType::EscPos || type == DisplayType::Cd5220; }
};

// The configuration files looked for, in order: $XDG_CONFIG_HOME/orvane/vfddisp.conf (~/.config when
// unset), each of $XDG_CONFIG_DIRS (/etc/xdg when unset) /orvane/vfddisp.conf, /etc/orvane/vfddisp.conf.
QStringList displayConfigCandidates();

// Reads a configuration file (INI, keys without a section); fails naming the key and value that
// cannot be used.
Result<DisplayConfig> readDisplayConfig(const QString& path);

} // namespace orvane::display
