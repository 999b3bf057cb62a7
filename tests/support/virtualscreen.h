#pragma once

#include <QProcess>
#include <QString>
#include <QTest>

namespace orvane::test {

// An X server of the test's own (Xvfb): its display name once started, empty when it could not start.
class VirtualScreen
{
public:
    explicit VirtualScreen(const QString& size = QStringLiteral("640x480x24"))
    {
        m_xvfb.start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                      QStringLiteral("0"), size, QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (m_xvfb.waitForStarted() && QTest::qWaitFor([this] { return m_xvfb.canReadLine(); }, 10000))
            m_display = u':' + QString::fromLatin1(m_xvfb.readLine()).trimmed();
    }
    ~VirtualScreen()
    {
        m_xvfb.terminate();
        m_xvfb.waitForFinished();
    }
    VirtualScreen(const VirtualScreen&) = delete;
    VirtualScreen& operator=(const VirtualScreen&) = delete;

    QString display() const { return m_display; }

private:
    QProcess m_xvfb;
    QString m_display;
};

} // namespace orvane::test
