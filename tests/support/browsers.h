#pragma once

#include <QByteArray>
#include <QHash>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <memory>

namespace orvane::test {

// Pages served on 127.0.0.1 (and so on localhost too) from a table: path → HTML (JavaScript for a path
// ending in .js); a query after the path is the page's own.
class PageServer
{
public:
    PageServer();
    bool listen();
    quint16 port() const { return m_server.serverPort(); }
    void setPage(const QByteArray& path, const QByteArray& html) { m_pages.insert(path, html); }
    // A Set-Cookie header the server sends with that page (the server's own cookies: a session).
    void setCookieOf(const QByteArray& path, const QByteArray& cookie) { m_cookies.insert(path, cookie); }
    // Every path requested (with its query), in order.
    QList<QByteArray> requests;

private:
    QTcpServer m_server;
    QHash<QByteArray, QByteArray> m_pages;
    QHash<QByteArray, QByteArray> m_cookies;
};

// A headless browser with a folder of its own, ended with all its processes (it runs in a process group
// of its own). Its output goes to <folder>/../<program>.log.
class HeadlessBrowser
{
public:
    enum class Kind { Chromium, Firefox };

    // Firefox ESR on the profile folder, with user.js of quiet start-up preferences and prefs; HOME is
    // home (where it finds native-messaging host manifests).
    static std::unique_ptr<HeadlessBrowser> firefox(const QString& profile, const QString& home,
                                                    const QByteArray& prefs);
    // Chromium on the user-data folder, started as a desk user starts it.
    static std::unique_ptr<HeadlessBrowser> chromium(const QString& userData);
    // The browser of that kind on the profile of the home folder, in its usual place.
    static std::unique_ptr<HeadlessBrowser> ofHome(Kind kind, const QString& home);

    static bool installed(Kind kind);

    ~HeadlessBrowser();
    HeadlessBrowser(const HeadlessBrowser&) = delete;
    HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

    bool open(const QString& url);
    // What the browser and the native hosts it started wrote (both streams).
    QString logPath() const { return m_log; }
    // Asks it to quit, as the session's end does, and ends what is left after five seconds.
    void stop();

private:
    HeadlessBrowser(QString program, QStringList arguments, QProcessEnvironment environment, QString log);

    QString m_program;
    QStringList m_arguments; // the page's address follows
    QProcessEnvironment m_environment;
    QString m_log;
    QProcess m_process;
};

// Why this process is not on a desk root (scripts/in-desk-root.sh: the package installed in a private
// mount namespace, as ctest runs the browser suites), or empty when it is.
QString notOnDeskRoot();

// orvane-browser-setup (as the package installed it unless another program is given), with its output
// (both streams) and exit code.
struct SetupRun
{
    int exitCode = -1;
    QString output;
};
SetupRun runBrowserSetup(const QStringList& arguments,
                         const QString& program = QStringLiteral("/usr/bin/orvane-browser-setup"),
                         const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

} // namespace orvane::test
