#include "platform/launcher.h"

#include "base/logging.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace orvane {
namespace {

constexpr int kReapTries = 500; // 20 ms apart: a program that closed its standard error and lingers

// Reaps the followed program once it has ended and tells how; it is looked at every 20 ms meanwhile.
void reapLater(pid_t child, int tries, const ProgramLauncher::Finished& finished, const QString& errorLine)
{
    int status = 0;
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == 0 && tries < kReapTries) {
        QTimer::singleShot(20, [=] { reapLater(child, tries + 1, finished, errorLine); });
        return;
    }
    if (done == child)
        finished(WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status), errorLine);
}

// Reads the followed program's standard error until it closes, then reaps it and tells how it ended.
void follow(pid_t child, int errorPipe, ProgramLauncher::Finished finished)
{
    auto* notifier = new QSocketNotifier(errorPipe, QSocketNotifier::Read);
    auto errors = std::make_shared<QByteArray>();
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [=]() mutable {
        char buffer[4096];
        const ssize_t got = ::read(errorPipe, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            return;
        if (got > 0) {
            errors->append(buffer, got);
            if (errors->size() > 16384)
                errors->remove(0, errors->size() - 4096); // the last lines are the ones wanted
            return;
        }
        notifier->setEnabled(false);
        notifier->deleteLater();
        ::close(errorPipe);
        const QList<QByteArray> lines = errors->trimmed().split('\n');
        const QString last = QString::fromLocal8Bit(lines.last().trimmed());
        reapLater(child, 0, finished, last);
    });
}

// The errno a child wrote into the report pipe when its exec failed; 0 when the pipe closed empty (the
// exec succeeded). The pipe's reading end is closed.
int execErrorFrom(int report)
{
    int error = 0;
    ssize_t got;
    do {
        got = read(report, &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    close(report);
    return got == ssize_t(sizeof error) ? error : 0;
}

Result<> cannotStart(const QString& program, int error)
{
    const QString why = QString::fromLocal8Bit(std::strerror(error));
    qCWarning(lcApp) << "cannot start" << program << ":" << why;
    return fail(why);
}

} // namespace

Result<> ProcessLauncher::spawn(const ResolvedCommand& command, Finished finished)
{
    // Everything the child needs is prepared before fork: after it, only async-signal-safe calls.
    const QByteArray program = QFile::encodeName(command.program);
    std::vector<QByteArray> storage;
    storage.reserve(command.arguments.size() + 1);
    storage.push_back(program);
    for (const QByteArray& argument : command.arguments)
        storage.push_back(argument);
    std::vector<char*> argv;
    for (QByteArray& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    // The pipe closes on a successful exec; on failure the grandchild writes its errno into it.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));

    if (finished) {
        // Followed: a child of this process, its standard error on a pipe, reaped once it closed it.
        int errors[2];
        if (pipe2(errors, O_CLOEXEC) != 0) {
            const int error = errno;
            close(report[0]);
            close(report[1]);
            return fail(QString::fromLocal8Bit(std::strerror(error)));
        }
        const pid_t child = fork();
        if (child == 0) {
            close(report[0]);
            close(errors[0]);
            dup2(errors[1], STDERR_FILENO);
            execv(argv[0], argv.data());
            const int error = errno;
            (void)!write(report[1], &error, sizeof error);
            _exit(127);
        }
        const int forkError = errno;
        close(report[1]);
        close(errors[1]);
        int error = forkError;
        if (child > 0)
            error = execErrorFrom(report[0]);
        else
            close(report[0]);
        if (child > 0 && error == 0) {
            follow(child, errors[0], std::move(finished));
            return {};
        }
        close(errors[0]);
        if (child > 0)
            while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
            }
        return cannotStart(command.program, error);
    }

    // Started through an intermediate child that exits at once, so the program is adopted by init and
    // never lingers as a zombie of this process.
    const pid_t child = fork();
    if (child < 0) {
        const int error = errno;
        close(report[0]);
        close(report[1]);
        return fail(QString::fromLocal8Bit(std::strerror(error)));
    }
    if (child == 0) {
        close(report[0]);
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            execv(argv[0], argv.data());
            const int error = errno;
            (void)!write(report[1], &error, sizeof error);
            _exit(127);
        }
        if (grandchild < 0) {
            const int error = errno;
            (void)!write(report[1], &error, sizeof error);
        }
        _exit(0);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (const int error = execErrorFrom(report[0]); error != 0)
        return cannotStart(command.program, error);
    return {};
}

} // namespace orvane
