#include "support/browsers.h"

#include "support/testsupport.h"

#include <QDir>
#include <QStandardPaths>
#include <QTcpSocket>

#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;

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
                const QByteArray request = head.split(' ').value(1);
                requests.append(request);
                const qsizetype query = request.indexOf('?'); // the query is the page's
                const QByteArray path = query < 0 ? request : request.left(query);
                const bool found = m_pages.contains(path);
                const QByteArray body = m_pages.value(path, "not found");
                const QByteArray cookie = m_cookies.value(path);
                // A module script is run only when served as JavaScript.
                const QByteArray type = path.endsWith(".js") ? "text/javascript" : "text/html";
                peer->write((found ? "HTTP/1.0 200 OK\r\n" : "HTTP/1.0 404 Not Found\r\n") +
                            (cookie.isEmpty() ? QByteArray() : "Set-Cookie: " + cookie + "\r\n") +
                            "Content-Type: " + type +
                            QByteArray("; charset=utf-8\r\nCache-Control: no-store\r\n"
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

HeadlessBrowser::HeadlessBrowser(QString program, QStringList arguments, QProcessEnvironment environment,
                                 QString log)
    : m_program(std::move(program)), m_arguments(std::move(arguments)), m_environment(std::move(environment)),
      m_log(std::move(log))
{
}

std::unique_ptr<HeadlessBrowser> HeadlessBrowser::firefox(const QString& profile, const QString& home,
                                                          const QByteArray& prefs)
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
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("MOZ_HEADLESS"), QStringLiteral("1"));
    return std::unique_ptr<HeadlessBrowser>(new HeadlessBrowser(
        QStringLiteral("firefox-esr"),
        {QStringLiteral("--headless"), QStringLiteral("--no-remote"), QStringLiteral("--profile"), profile},
        env, profile + QStringLiteral("/../firefox-esr.log")));
}

std::unique_ptr<HeadlessBrowser> HeadlessBrowser::chromium(const QString& userData)
{
    QStringList arguments{QStringLiteral("--headless=new"), u"--user-data-dir="_s + userData,
                          QStringLiteral("--no-first-run"), QStringLiteral("--no-default-browser-check"),
                          QStringLiteral("--disable-gpu"),
                          // Quiet, but not --disable-background-networking: that stops the extension
                          // updater, and with it the install by policy.
                          QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"),
                          QStringLiteral("--disable-domain-reliability"), QStringLiteral("--no-pings")};
    if (geteuid() == 0)
        arguments.prepend(QStringLiteral("--no-sandbox")); // root only: a desk user keeps the sandbox
    return std::unique_ptr<HeadlessBrowser>(
        new HeadlessBrowser(QStringLiteral("chromium"), arguments, QProcessEnvironment::systemEnvironment(),
                            userData + QStringLiteral("/../chromium.log")));
}

std::unique_ptr<HeadlessBrowser> HeadlessBrowser::ofHome(Kind kind, const QString& home)
{
    if (kind == Kind::Chromium) {
        QDir().mkpath(home + u"/.config/chromium"_s);
        return chromium(home + u"/.config/chromium"_s);
    }
    const QString profile = home + u"/.config/mozilla/firefox/desk.default-esr"_s;
    QDir().mkpath(profile);
    // As Firefox lists the profile it makes at a user's first start (started here on the folder itself,
    // it would not).
    QFile ini(home + u"/.config/mozilla/firefox/profiles.ini"_s);
    if (!ini.exists() && ini.open(QIODevice::WriteOnly))
        ini.write("[General]\nStartWithLastProfile=1\nVersion=2\n\n"
                  "[Profile0]\nName=default-esr\nIsRelative=1\nPath=desk.default-esr\nDefault=1\n");
    return firefox(profile, home, {});
}

bool HeadlessBrowser::installed(Kind kind)
{
    return !QStandardPaths::findExecutable(kind == Kind::Chromium ? QStringLiteral("chromium")
                                                                  : QStringLiteral("firefox-esr"))
                .isEmpty();
}

HeadlessBrowser::~HeadlessBrowser()
{
    stop();
}

bool HeadlessBrowser::open(const QString& url)
{
    m_process.setProcessEnvironment(m_environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_log);
    m_process.setChildProcessModifier([] { setsid(); });
    m_process.start(m_program, m_arguments + QStringList{url});
    return m_process.waitForStarted(10000);
}

void HeadlessBrowser::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    const pid_t group = -pid_t(m_process.processId());
    ::kill(group, SIGTERM);
    if (!m_process.waitForFinished(5000))
        ::kill(group, SIGKILL);
    m_process.waitForFinished(10000);
}

QString notOnDeskRoot()
{
    if (qEnvironmentVariableIsSet("ORVANE_DESK_ROOT"))
        return {};
    const QString why = qEnvironmentVariable("ORVANE_NO_DESK_ROOT");
    return u"needs the package installed on a desk root (scripts/in-desk-root.sh, as ctest runs it)"_s +
           (why.isEmpty() ? QString() : u": "_s + why);
}

SetupRun runBrowserSetup(const QStringList& arguments, const QString& program,
                         const QProcessEnvironment& environment)
{
    QProcess setup;
    setup.setProcessEnvironment(environment);
    setup.setProcessChannelMode(QProcess::MergedChannels);
    setup.start(program, arguments);
    if (!setup.waitForFinished(120000) || setup.exitStatus() != QProcess::NormalExit)
        return {-1, u"orvane-browser-setup did not finish: "_s + setup.errorString()};
    return {setup.exitCode(), QString::fromLocal8Bit(setup.readAll())};
}

} // namespace orvane::test
