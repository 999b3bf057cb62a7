#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <mutex>

namespace orvane {

// A log that lasts. Every message a program says (warnings, and debug output its logging rules
// enable) still goes to standard error as Qt writes it, and is kept: in the journal when standard
// error is connected to it (systemd sessions name that stream in $JOURNAL_STREAM; each line then
// starts with the priority journald reads, "<4>" for a warning), else in the file
// $XDG_STATE_HOME/orvane/<program>.log (~/.local/state/orvane), with its time, rotated at about 1 MB
// into <program>.log.1 … .5.
class MessageLog
{
public:
    static constexpr qint64 kMaxBytes = 1 << 20;
    static constexpr int kKept = 5;

    explicit MessageLog(QString path, qint64 maxBytes = kMaxBytes);

    // Appends one line; the file is rotated first when the line would make it larger than maxBytes.
    // False when it cannot be written (the message is then on standard error only).
    bool append(const QByteArray& line);

private:
    void rotate();

    QString m_path;
    qint64 m_maxBytes;
    std::mutex m_mutex;
};

// The file's line: "2026-12-10T09:00:00.123+09:00 warning orvane.print: text".
QByteArray fileLogLine(QtMsgType type, const QString& formatted, const QDateTime& when);
// The journal's line: the priority journald reads, then the text as standard error has it.
QByteArray journalLine(QtMsgType type, const QString& formatted);
// True when the descriptor is the stream $JOURNAL_STREAM ("DEVICE:INODE") names.
bool isJournalStream(int fd, const QByteArray& journalStream);
// The log file of a program: $XDG_STATE_HOME/orvane/<program>.log.
QString messageLogPath(const QString& program);

// Installs the program's message handler: standard error as before, and the journal or the file.
void installMessageLog(const QString& program);

} // namespace orvane
