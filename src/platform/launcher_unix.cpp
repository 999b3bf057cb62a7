#include "platform/launcher.h"

#include "base/logging.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace orvane {

Result<> ProcessLauncher::spawn(const ResolvedCommand& command)
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
    int execError = 0;
    ssize_t got;
    do {
        got = read(report[0], &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got == ssize_t(sizeof execError)) {
        const QString error = QString::fromLocal8Bit(std::strerror(execError));
        qCWarning(lcApp) << "cannot start" << command.program << ":" << error;
        return fail(error);
    }
    return {};
}

} // namespace orvane
