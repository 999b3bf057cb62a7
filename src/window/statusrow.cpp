#include "window/statusrow.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QToolTip>

namespace orvane {
namespace {

const char* objectNameOf(Device device)
{
    switch (device) {
    case Device::Printer:
        return "statusPrinter";
    case Device::Display:
        return "statusDisplay";
    case Device::Browser:
        return "statusBrowser";
    case Device::Server:
        return "statusServer";
    case Device::CallerId:
        return "statusCallerId";
    }
    return "";
}

QString colourOf(DeviceState state)
{
    switch (state) {
    case DeviceState::Ok:
        return QStringLiteral("background:#cfeccf;color:#0b4d0b;");
    case DeviceState::Problem:
        return QStringLiteral("background:#d61f1f;color:white;font-weight:bold;");
    case DeviceState::Unused:
    case DeviceState::Unknown:
        break;
    }
    return QStringLiteral("background:#e4e4e4;color:#6b6b6b;");
}

} // namespace

StatusRow::StatusRow(QWidget* parent, int top, const DeskStatus& status) : QObject(parent), m_status(status)
{
    const int width = parent->width();
    const int gap = 2;
    const int cell = (width - 8 - gap * int(std::size(kDevices) - 1)) / int(std::size(kDevices));
    int left = 4;
    for (const Device device : kDevices) {
        auto* label = new QLabel(parent);
        label->setObjectName(QLatin1String(objectNameOf(device)));
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry(left, top, cell, 20);
        label->installEventFilter(this);
        m_indicators[std::size_t(device)] = label;
        left += cell + gap;
        showDevice(device);
    }
    unprintedCount = new QLabel(parent);
    unprintedCount->setObjectName(QStringLiteral("unprintedCount"));
    unprintedCount->setTextFormat(Qt::PlainText);
    unprintedCount->setGeometry(4, top + 24, width / 2 - 8, 22);
    printUnprinted = new QPushButton(parent);
    printUnprinted->setObjectName(QStringLiteral("printUnprinted"));
    printUnprinted->setText(QStringLiteral("未印刷を印刷"));
    printUnprinted->setGeometry(width / 2, top + 24, width / 2 - 4, 22);
    showUnprinted(status.unprinted());
    connect(&status, &DeskStatus::deviceChanged, this, &StatusRow::showDevice);
    connect(&status, &DeskStatus::unprintedChanged, this, &StatusRow::showUnprinted);
}

QString StatusRow::shortText(Device device, const DeviceStatus& status)
{
    switch (status.state) {
    case DeviceState::Ok:
        return deviceCaption(device) + QStringLiteral(" ○");
    case DeviceState::Problem:
        return deviceCaption(device) + QStringLiteral(" ×");
    case DeviceState::Unused:
        return deviceCaption(device) + QStringLiteral(" -");
    case DeviceState::Unknown:
        break;
    }
    return deviceCaption(device) + QStringLiteral(" ?");
}

void StatusRow::showDevice(Device device)
{
    const DeviceStatus& status = m_status.device(device);
    QLabel* label = indicator(device);
    label->setText(shortText(device, status));
    label->setStyleSheet(colourOf(status.state));
    label->setToolTip(deviceCaption(device) + QStringLiteral(": ") + status.text);
}

void StatusRow::showUnprinted(int pages)
{
    unprintedCount->setText(QStringLiteral("未印刷 %1 枚").arg(pages));
    unprintedCount->setStyleSheet(pages > 0 ? QStringLiteral("color:#d61f1f;font-weight:bold;") : QString());
    printUnprinted->setEnabled(pages > 0);
}

bool StatusRow::eventFilter(QObject* watched, QEvent* event)
{
    // A click shows the detail as hovering does: the staff need not know to hover.
    if (event->type() == QEvent::MouseButtonPress)
        for (QLabel* label : m_indicators)
            if (watched == label)
                QToolTip::showText(label->mapToGlobal(QPoint(0, label->height())), label->toolTip(), label);
    return QObject::eventFilter(watched, event);
}

} // namespace orvane
