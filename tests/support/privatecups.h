#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace orvane::test {

// A CUPS scheduler of the test's own: cupsd on a private configuration in a temporary folder,
// listening on a socket there, with one queue "desk" whose device is a file (the PDF passes through
// unchanged, by a filter that copies it), whose default paper is Letter and whose A5 printable area has a
// different margin on each side: left 12, top 15, right 20, bottom 18 points. This process talks to it
// through CUPS_SERVER and a HOME whose lpoptions names "desk" as the default; the machine's own scheduler is
// never touched.
class PrivateCups
{
public:
    PrivateCups();
    ~PrivateCups();
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    // Starts the scheduler; false (with the reason in error()) when it cannot run here.
    bool start();
    void stop();
    bool running() const { return m_cupsd.state() == QProcess::Running; }
    QString error() const { return m_error; }

    // Adds (again) the queue "desk", accepting and enabled.
    bool addQueue();
    // Runs a CUPS command (lpadmin, cupsreject, ...) against this scheduler; true on exit status 0.
    bool run(const QString& program, const QStringList& arguments);

    // The printer's behaviour from now on: "paper-out" (a job waits with the printer's media-empty-error
    // until the switch is off) or "failing" (a job fails).
    void setSwitch(const QString& name, bool on);

    // The scheduler's error log, for failure messages.
    QString log() const;
    // The file the queue's device writes each job to.
    QString output() const { return m_dir.filePath(QStringLiteral("out/desk.pdf")); }
    QString socket() const { return m_dir.filePath(QStringLiteral("cups.sock")); }
    QString home() const { return m_dir.filePath(QStringLiteral("home")); }

private:
    QTemporaryDir m_dir;
    QProcess m_cupsd;
    QString m_error;
};

} // namespace orvane::test
