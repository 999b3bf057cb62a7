#pragma once

#include "app/launcher.h"
#include "app/notifier.h"
#include "phone/dialler.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace orvane::test {

// Writes bytes to a file, creating its folders; fails the test on error.
bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// Sets a file's modification time.
bool setModified(const QString& path, const QDateTime& time);

// A stand-in program: a shell script that appends each raw argument, as "<bytes>" in hex, to a log
// line, one line per start. Returns the script's path.
QString writeRecordingProgram(const QString& folder, const QString& name, const QString& logPath);
// The argument lists logged by a recording program, raw bytes, one list per start.
QList<QList<QByteArray>> readRecordedCalls(const QString& logPath);

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

    LaunchResult startCommandLine(const QString& commandLine, WindowStyle style) override;
    LaunchResult startProgram(const QString& program, const QStringList& arguments) override;

    QList<Start> starts;
    bool fail = false;
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
    QList<Message> messages;
};

class FakeDialler final : public Dialler
{
public:
    LaunchResult dial(const QString& number) override
    {
        numbers.append(number);
        return {};
    }
    QStringList numbers;
};

} // namespace orvane::test
