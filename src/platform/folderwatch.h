#pragma once

#include "platform/inotifywatcher.h"
#include "text/result.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <optional>

class QSocketNotifier;

namespace orvane {

// Says, on the GUI thread, when files of one folder are written, created or moved in (inotify where the
// system has it; nothing elsewhere, where the tick alone looks). The names of one batch of events come
// in one signal.
class FolderWatch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FolderWatch)

public:
    explicit FolderWatch(QObject* parent = nullptr);
    ~FolderWatch() override;

    // Watches folder from now on, instead of the one watched before, or says why it cannot.
    [[nodiscard]] Result<> watch(const QString& folder);

signals:
    void changed(const QList<QByteArray>& names);

private:
    void onReadable();

    InotifyWatcher m_watcher;
    std::optional<int> m_watch;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace orvane
