#include "support/browsers.h"

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
    return startBrowser(m_process, QStringLiteral("firefox-esr"),
                        {QStringLiteral("--headless"), QStringLiteral("--no-remote"), QStringLiteral("--profile"),
                         m_profile, url},
                        env, m_profile + QStringLiteral("/../firefox.log"));
}

void HeadlessFirefox::stop()
{
    endBrowser(m_process);
}

HeadlessChromium::HeadlessChromium(const QString& userData, const QString& extension)
    : m_userData(userData), m_extension(extension)
{
}

HeadlessChromium::~HeadlessChromium()
{
    stop();
}

bool HeadlessChromium::installed()
{
    return !QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty();
}

bool HeadlessChromium::open(const QString& url)
{
    QStringList arguments{QStringLiteral("--headless=new"), u"--user-data-dir="_qs + m_userData,
                          u"--load-extension="_qs + m_extension, QStringLiteral("--no-first-run"),
                          QStringLiteral("--no-default-browser-check"), QStringLiteral("--disable-gpu"),
                          QStringLiteral("--disable-background-networking"), url};
    if (geteuid() == 0)
        arguments.prepend(QStringLiteral("--no-sandbox")); // root only: a desk user keeps the sandbox
    return startBrowser(m_process, QStringLiteral("chromium"), arguments, QProcessEnvironment::systemEnvironment(),
                        m_userData + QStringLiteral("/../chromium.log"));
}

void HeadlessChromium::stop()
{
    endBrowser(m_process);
}

bool startBrowser(QProcess& process, const QString& program, const QStringList& arguments,
                  const QProcessEnvironment& environment, const QString& log)
{
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(log);
    process.setChildProcessModifier([] { setsid(); });
    process.start(program, arguments);
    return process.waitForStarted(10000);
}

void endBrowser(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ::kill(-pid_t(process.processId()), SIGKILL);
    process.waitForFinished(10000);
}

} // namespace orvane::test
