#pragma once

#include "window/notifier.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace orvane {

// Shows each message in a message box that does not block: the handler that reports goes on at once.
// A message that is already on screen is not shown a second time. Without a screen (the offscreen
// platform) messages go to standard error.
class MessageBoxNotifier final : public QObject, public Notifier
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MessageBoxNotifier)

public:
    explicit MessageBoxNotifier(QObject* parent = nullptr);

    void notify(const QString& title, const QString& text, Icon icon) override;
    void withdraw(const QString& title) override;

    // Messages now on screen.
    qsizetype openCount() const { return m_open.size(); }

private:
    QHash<QString, QPointer<QWidget>> m_open; // "title\ntext" -> its box
};

} // namespace orvane
