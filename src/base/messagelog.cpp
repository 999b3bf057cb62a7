#include "base/messagelog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane {
namespace {

const char* typeName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    }
    return "message";
}

// The program's log, and whether standard error is the journal; set once at start-up.
std::unique_ptr<MessageLog>& installedLog()
{
    static std::unique_ptr<MessageLog> log;
    return log;
}
bool journal = false;

void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QString formatted = qFormatLogMessage(type, context, message);
    if (journal) {
        const QByteArray line = journalLine(type, formatted);
        std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
    } else {
        std::fprintf(stderr, "%s\n", formatted.toLocal8Bit().constData());
        if (installedLog())
            installedLog()->append(fileLogLine(type, formatted, QDateTime::currentDateTime()));
    }
    std::fflush(stderr);
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

MessageLog::MessageLog(QString path, qint64 maxBytes) : m_path(std::move(path)), m_maxBytes(maxBytes) {}

void MessageLog::rotate()
{
    QFile::remove(m_path + u'.' + QString::number(kKept));
    for (int i = kKept - 1; i >= 1; --i)
        QFile::rename(m_path + u'.' + QString::number(i), m_path + u'.' + QString::number(i + 1));
    QFile::rename(m_path, m_path + u".1");
}

bool MessageLog::append(const QByteArray& line)
{
    const std::lock_guard lock(m_mutex);
    const QFileInfo info(m_path);
    if (info.exists() && info.size() + line.size() > m_maxBytes)
        rotate();
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return false;
    QFile file(m_path);
    return file.open(QIODevice::Append) && file.write(line) == line.size();
}

QByteArray fileLogLine(QtMsgType type, const QString& formatted, const QDateTime& when)
{
    return when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODateWithMs).toUtf8() + ' ' +
           typeName(type) + ' ' + formatted.toUtf8() + '\n';
}

QByteArray journalLine(QtMsgType type, const QString& formatted)
{
    // syslog priorities: debug 7, info 6, warning 4, critical 3, fatal 2.
    const char priority = type == QtDebugMsg      ? '7'
                          : type == QtInfoMsg     ? '6'
                          : type == QtWarningMsg  ? '4'
                          : type == QtCriticalMsg ? '3'
                                                  : '2';
    QByteArray line;
    for (const QString& part : formatted.split(u'\n'))
        line += QByteArray("<") + priority + '>' + part.toUtf8() + '\n';
    return line;
}

bool isJournalStream(int fd, const QByteArray& journalStream)
{
    const QList<QByteArray> parts = journalStream.split(':');
    struct stat info;
    if (parts.size() != 2 || fstat(fd, &info) != 0)
        return false;
    bool deviceOk = false, inodeOk = false;
    const qulonglong device = parts[0].toULongLong(&deviceOk);
    const qulonglong inode = parts[1].toULongLong(&inodeOk);
    return deviceOk && inodeOk && device == qulonglong(info.st_dev) && inode == qulonglong(info.st_ino);
}

QString messageLogPath(const QString& program)
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty())
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/orvane/") + program + QStringLiteral(".log");
}

void installMessageLog(const QString& program)
{
    journal = isJournalStream(STDERR_FILENO, qgetenv("JOURNAL_STREAM"));
    if (!journal)
        installedLog() = std::make_unique<MessageLog>(messageLogPath(program));
    qInstallMessageHandler(handleMessage);
}

} // namespace orvane
