#pragma once

#include <QByteArray>
#include <QHash>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <memory>

namespace orvane::test {

// Pages served on 127.0.0.1 (and so on localhost too) from a table: path → HTML.
class PageServer
{
public:
    PageServer();
    bool listen();
    quint16 port() const { return m_server.serverPort(); }
    void setPage(const QByteArray& path, const QByteArray& html) { m_pages.insert(path, html); }
    // Every path requested, in order.
    QList<QByteArray> requests;

private:
    QTcpServer m_server;
    QHash<QByteArray, QByteArray> m_pages;
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
    // Chromium on the user-data folder, with an unpacked extension loaded.
    static std::unique_ptr<HeadlessBrowser> chromium(const QString& userData, const QString& extension);

    static bool installed(Kind kind);

    ~HeadlessBrowser();
    HeadlessBrowser(const HeadlessBrowser&) = delete;
    HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

    bool open(const QString& url);
    void stop();

private:
    HeadlessBrowser(QString program, QStringList arguments, QProcessEnvironment environment, QString log);

    QString m_program;
    QStringList m_arguments; // the page's address follows
    QProcessEnvironment m_environment;
    QString m_log;
    QProcess m_process;
};

// The browser extension set up as on a desk, by orvane-browser-setup, for the sites given, into
// folder (home, browser, setup), and a browser of that kind that loads it.
struct ExtensionSetup
{
    std::unique_ptr<HeadlessBrowser> browser; // nullptr when the set-up failed
    QString error;
    QString key; // the desk's private key the set-up made
};
ExtensionSetup setUpExtension(HeadlessBrowser::Kind kind, const QString& folder, const QStringList& sites,
                              const QString& sourceDir, const QString& host);

} // namespace orvane::test
