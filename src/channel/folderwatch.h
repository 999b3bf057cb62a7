#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

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

    // Watches folder from now on, instead of the one watched before; false when it cannot.
    bool watch(const QString& folder);
    QString folder() const { return m_folder; }

signals:
    void changed(const QList<QByteArray>& names);

private:
    void onReadable();

    QString m_folder;
    int m_notify = -1;
    int m_watch = -1;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace orvane
