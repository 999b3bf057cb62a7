#pragma once

#include <QByteArray>
#include <QHash>
#include <QProcess>
#include <QString>
#include <QTcpServer>

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

// Firefox ESR, headless, on a profile of its own in a temporary folder, ended with all its processes.
class HeadlessFirefox
{
public:
    // prefs: lines for the profile's user.js besides the quiet start-up ones.
    HeadlessFirefox(const QString& profile, const QString& home, const QByteArray& prefs);
    ~HeadlessFirefox();
    HeadlessFirefox(const HeadlessFirefox&) = delete;
    HeadlessFirefox& operator=(const HeadlessFirefox&) = delete;

    static bool installed();
    bool open(const QString& url);
    void stop();

private:
    QString m_profile;
    QString m_home;
    QProcess m_process;
};

// Chromium, headless, with a user-data folder of its own and an unpacked extension loaded, ended with
// all its processes.
class HeadlessChromium
{
public:
    HeadlessChromium(const QString& userData, const QString& extension);
    ~HeadlessChromium();
    HeadlessChromium(const HeadlessChromium&) = delete;
    HeadlessChromium& operator=(const HeadlessChromium&) = delete;

    static bool installed();
    bool open(const QString& url);
    void stop();

private:
    QString m_userData;
    QString m_extension;
    QProcess m_process;
};

// Starts a browser in a process group of its own, so that it can be ended with all its processes.
bool startBrowser(QProcess& process, const QString& program, const QStringList& arguments,
                  const QProcessEnvironment& environment, const QString& log);
void endBrowser(QProcess& process);

} // namespace orvane::test
