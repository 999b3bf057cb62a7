#pragma once

#include "platform/dialler.h"
#include "platform/launcher.h"
#include "platform/serialport.h"
#include "platform/tcpclient.h"
#include "window/notifier.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

// Verifies that an operation of the project's result shape succeeded; names its error when not.
#define QVERIFY_RESULT(expression)                                                                           \
    do {                                                                                                     \
        const auto orvaneResult = (expression);                                                              \
        QVERIFY2(orvaneResult.has_value(), orvaneResult ? "" : qPrintable(orvaneResult.error()));            \
    } while (false)

namespace orvane::test {

using namespace Qt::StringLiterals;

// A temporary folder that is the working folder while it lives, as the bridge's files (sct.txt,
// counter.txt, nikkei.txt) are addressed relative to it.
class WorkingFolder
{
public:
    WorkingFolder();
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_saved;
};

// Writes bytes to a file, creating its folders; false on error.
bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// Sets a file's modification time.
bool setModified(const QString& path, const QDateTime& time);

// A stand-in program: a shell script that appends each raw argument, as "<bytes>" in hex, to a log
// line, one line per start. Returns the script's path.
QString writeRecordingProgram(const QString& folder, const QString& name, const QString& logPath);
// The argument lists logged by a recording program, raw bytes, one list per start.
QList<QList<QByteArray>> readRecordedCalls(const QString& logPath);

// A statement command ("prt" + fields) for 山田太郎様: the reception number, `items` treatment items of
// 1,500, the totals block (fee 30,000, cash 10,000, credit 21,000, staff "3") and the date, with
// insurance.
QString statementCommand(const QString& number, int items, const QString& date);

// Path of a program built by the project (the test's build tree).
QString builtProgram(const QString& name);

class FakeLauncher final : public ProgramLauncher
{
public:
    struct Start
    {
        QString commandLine; // empty for startProgram
        WindowStyle style = WindowStyle::NormalFocus;
        QString program;
        QStringList arguments;
    };

    Result<> startCommandLine(const QString& commandLine, WindowStyle style) override;
    Result<> startProgram(const QString& program, const QStringList& arguments) override;

    QList<Start> starts;
    bool refuses = false;
};

class FakeNotifier final : public Notifier
{
public:
    struct Message
    {
        QString title;
        QString text;
        Icon icon;
    };
    void notify(const QString& title, const QString& text, Icon icon) override
    {
        messages.append({title, text, icon});
    }
    void withdraw(const QString& title) override { withdrawn.append(title); }
    QList<Message> messages;
    QStringList withdrawn;
};

class FakeDialler final : public Dialler
{
public:
    Result<> dial(const QString& number) override
    {
        numbers.append(number);
        return {};
    }
    QStringList numbers;
};

// A serial port that records what the program does with it; the test raises events with raise().
class FakeSerialPort final : public SerialPort
{
    Q_OBJECT

public:
    using SerialPort::SerialPort;

    bool setCommPort(int port) override
    {
        if (port < 1)
            return false;
        commPortValue = port;
        return true;
    }
    int commPort() const override { return commPortValue; }
    bool setSettings(const QString& settings) override
    {
        settingsValue = settings;
        return true;
    }
    QString settings() const override { return settingsValue; }
    void setHandshaking(int handshaking) override { handshakingValue = handshaking; }
    void setRTSEnable(bool enable) override { log.append(enable ? u"RTS on"_s : u"RTS off"_s); }
    void setRThreshold(int threshold) override { rThreshold = threshold; }
    void setSThreshold(int threshold) override { sThreshold = threshold; }
    bool setPortOpen(bool open) override
    {
        if (open && failOpen)
            return false;
        openValue = open;
        log.append(open ? u"open"_s : u"close"_s);
        return true;
    }
    bool portOpen() const override { return openValue; }
    void openWhenAvailable() override { waitingForDevice = true; }
    QString errorString() const override { return busy ? u"device busy"_s : u"no such device"_s; }
    bool deviceMissing() const override { return !busy; }
    bool setOutput(const QString& text) override
    {
        if (!openValue || failWrite)
            return false;
        log.append(u"output "_s + text);
        return true;
    }
    QString input() override { return std::exchange(pending, QString()); }
    int commEvent() const override { return event; }

    void raise(int code)
    {
        event = code;
        emit OnComm();
    }

    int commPortValue = 1;
    QString settingsValue;
    int handshakingValue = -1;
    int rThreshold = 0;
    int sThreshold = 0;
    bool openValue = false;
    bool failOpen = false;
    bool busy = false; // with failOpen: the device is there but taken
    bool failWrite = false;
    bool waitingForDevice = false;
    QString pending;
    int event = 0;
    QStringList log;
};

// A TCP client that records the calls made on it.
class FakeTcpClient final : public TcpClient
{
    Q_OBJECT

public:
    using TcpClient::TcpClient;

    void setRemoteHost(const QString& host) override { hostValue = host; }
    QString remoteHost() const override { return hostValue; }
    void setRemotePort(qint32 port) override { portValue = port; }
    qint32 remotePort() const override { return portValue; }
    void Connect() override { log.append(u"connect "_s + hostValue + u':' + QString::number(portValue)); }
    void Close() override { log.append(u"close"_s); }
    void SendData(const QString& text) override { sent.append(text); }
    QString GetData() override { return std::exchange(pending, QString()); }

    QString hostValue;
    qint32 portValue = 0;
    QStringList log;
    QStringList sent;
    QString pending;
};

} // namespace orvane::test
