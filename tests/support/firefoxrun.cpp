#include "support/firefoxrun.h"

#include "support/testsupport.h"

#include <QStandardPaths>
#include <QTcpSocket>

#include <csignal>
#include <unistd.h>

namespace orvane::test {

PageServer::PageServer()
{
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
        while (QTcpSocket* peer = m_server.nextPendingConnection()) {
            QObject::connect(peer, &QTcpSocket::disconnected, peer, &QObject::deleteLater);
            QObject::connect(peer, &QTcpSocket::readyRead, peer, [this, peer] {
                const QByteArray head = peer->peek(8192);
                if (!head.contains("\r\n\r\n"))
                    return;
                peer->readAll();
                const QByteArray path = head.split(' ').value(1);
                requests.append(path);
                const bool found = m_pages.contains(path);
                const QByteArray body = m_pages.value(path, "not found");
                peer->write((found ? "HTTP/1.0 200 OK\r\n" : "HTTP/1.0 404 Not Found\r\n") +
                            QByteArray("Content-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n"
                                       "Content-Length: ") +
                            QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
                peer->disconnectFromHost();
            });
        }
    });
}

bool PageServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

HeadlessFirefox::HeadlessFirefox(const QString& profile, const QString& home, const QByteArray& prefs)
    : m_profile(profile), m_home(home)
{
    writeFile(profile + QStringLiteral("/user.js"),
              "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
              "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
              "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n"
              "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
              "user_pref(\"app.update.enabled\", false);\n"
              "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
              "user_pref(\"network.captive-portal-service.enabled\", false);\n"
              "user_pref(\"network.connectivity-service.enabled\", false);\n" +
                  prefs);
}

HeadlessFirefox::~HeadlessFirefox()
{
    stop();
}

bool HeadlessFirefox::installed()
{
    return !QStandardPaths::findExecutable(QStringLiteral("firefox-esr")).isEmpty();
}

bool HeadlessFirefox::open(const QString& url)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home);
    env.insert(QStringLiteral("MOZ_HEADLESS"), QStringLiteral("1"));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_profile + QStringLiteral("/../firefox.log"));
    // A process group of its own, so that the browser ends with all its content processes.
    m_process.setChildProcessModifier([] { setsid(); });
    m_process.start(QStringLiteral("firefox-esr"),
                    {QStringLiteral("--headless"), QStringLiteral("--no-remote"), QStringLiteral("--profile"),
                     m_profile, url});
    return m_process.waitForStarted(10000);
}

void HeadlessFirefox::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    ::kill(-pid_t(m_process.processId()), SIGKILL);
    m_process.waitForFinished(10000);
}

} // namespace orvane::test
