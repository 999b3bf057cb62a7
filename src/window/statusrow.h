#pragma once

#include "channel/deskstatus.h"

#include <QObject>
#include <array>

class QLabel;
class QPushButton;
class QWidget;

namespace orvane {

// The status row under the window's controls: one indicator per device (印刷, 客表示, ブラウザ, サーバー,
// 着信) with a colour and a short text, its detail on hover and on a click, and the pages waiting in
// prints/ with the button that prints them. It follows the desk's status as it changes.
class StatusRow final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusRow)

public:
    // Places the row at top (in pixels) across the parent's width.
    StatusRow(QWidget* parent, int top, const DeskStatus& status);

    QLabel* indicator(Device device) const { return m_indicators[std::size_t(device)]; }
    QLabel* unprintedCount = nullptr;
    QPushButton* printUnprinted = nullptr;

    // The indicator's short text for a state ("印刷 ✓", "印刷 ✕ 用紙切れ" is too long: the caption and a
    // mark; the reason and what to do are in the detail).
    static QString shortText(Device device, const DeviceStatus& status);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showDevice(Device device);
    void showUnprinted(int pages);

    const DeskStatus& m_status;
    std::array<QLabel*, std::size(kDevices)> m_indicators{};
};

} // namespace orvane
