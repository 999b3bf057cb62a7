#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QTest>

namespace orvane::test {

// A serial line made of a socat pty pair: the program under test opens one end ("ours", perhaps
// through a prefix's dosdevices/comN link); the test talks to the other ("theirs").
class PtyPair
{
public:
    explicit PtyPair(const QString& folder) : m_folder(folder) {}
    ~PtyPair() { stop(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool start()
    {
        QFile::remove(ours());
        QFile::remove(theirs());
        m_socat.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=") + ours(),
                                                QStringLiteral("pty,raw,echo=0,link=") + theirs()});
        if (!m_socat.waitForStarted())
            return false;
        return QTest::qWaitFor([this] { return QFile::exists(ours()) && QFile::exists(theirs()); }, 2000);
    }
    void stop()
    {
        if (m_socat.state() != QProcess::NotRunning) {
            m_socat.terminate();
            m_socat.waitForFinished(3000);
        }
    }
    qint64 processId() const { return m_socat.processId(); }
    QString ours() const { return m_folder + QStringLiteral("/ours"); }
    QString theirs() const { return m_folder + QStringLiteral("/theirs"); }

private:
    QString m_folder;
    QProcess m_socat;
};

} // namespace orvane::test
