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

std::unique_ptr<HeadlessBrowser> HeadlessBrowser::chromium(const QString& userData, const QString& extension)
{
    QStringList arguments{QStringLiteral("--headless=new"),
                          u"--user-data-dir="_s + userData,
                          u"--load-extension="_s + extension,
                          QStringLiteral("--no-first-run"),
                          QStringLiteral("--no-default-browser-check"),
                          QStringLiteral("--disable-gpu"),
                          QStringLiteral("--disable-background-networking")};
    if (geteuid() == 0)
        arguments.prepend(QStringLiteral("--no-sandbox")); // root only: a desk user keeps the sandbox
    return std::unique_ptr<HeadlessBrowser>(
        new HeadlessBrowser(QStringLiteral("chromium"), arguments, QProcessEnvironment::systemEnvironment(),
                            userData + QStringLiteral("/../chromium.log")));
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
    ::kill(-pid_t(m_process.processId()), SIGKILL);
    m_process.waitForFinished(10000);
}

ExtensionSetup setUpExtension(HeadlessBrowser::Kind kind, const QString& folder, const QStringList& sites,
                              const QString& sourceDir, const QString& host)
{
    const QString home = folder + QStringLiteral("/home");
    const QString data = folder + QStringLiteral("/browser");
    const QString out = folder + QStringLiteral("/setup");
    QDir().mkpath(data + QStringLiteral("/extensions"));
    QStringList arguments{QStringLiteral("--host"),
                          host,
                          QStringLiteral("--extension"),
                          sourceDir + QStringLiteral("/extension"),
                          QStringLiteral("--key-dir"),
                          out + QStringLiteral("/key"),
                          QStringLiteral("--out"),
                          out + QStringLiteral("/browser"),
                          QStringLiteral("--chromium-policy-dir"),
                          out + QStringLiteral("/chromium-policies"),
                          QStringLiteral("--chromium-hosts-dir"),
                          data + QStringLiteral("/NativeMessagingHosts"),
                          QStringLiteral("--firefox-policy-dir"),
                          out + QStringLiteral("/firefox-policies"),
                          QStringLiteral("--firefox-hosts-dir"),
                          home + QStringLiteral("/.mozilla/native-messaging-hosts"),
                          QStringLiteral("--no-crx")};
    for (const QString& site : sites)
        arguments += {QStringLiteral("--site"), site};
    QProcess setup;
    setup.start(sourceDir + QStringLiteral("/packaging/orvane-browser-setup"), arguments);
    if (!setup.waitForFinished(60000) || setup.exitStatus() != QProcess::NormalExit || setup.exitCode() != 0)
        return {nullptr, QString::fromLocal8Bit(setup.readAllStandardError()), {}};
    const QString key = out + QStringLiteral("/key/extension-key.pem");
    if (kind == HeadlessBrowser::Kind::Chromium)
        return {HeadlessBrowser::chromium(data, out + QStringLiteral("/browser/extension")), {}, key};
    // Firefox ESR takes the XPI sideloaded into the profile, unsigned.
    QFile::copy(out + QStringLiteral("/browser/orvane-bridge.xpi"),
                data + QStringLiteral("/extensions/orvane-bridge@orvane.invalid.xpi"));
    return {HeadlessBrowser::firefox(data, home,
                                     "user_pref(\"xpinstall.signatures.required\", false);\n"
                                     "user_pref(\"extensions.autoDisableScopes\", 0);\n"),
            {},
            key};
}

} // namespace orvane::test
