#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace orvane::test {

WorkingFolder::WorkingFolder() : m_saved(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

WorkingFolder::~WorkingFolder()
{
    QDir::setCurrent(m_saved);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool setModified(const QString& path, const QDateTime& time)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    return file.setFileTime(time, QFileDevice::FileModificationTime);
}

QString writeRecordingProgram(const QString& folder, const QString& name, const QString& logPath)
{
    const QString path = QDir(folder).filePath(name);
    // od prints each byte in hex; one start gives one line with its arguments separated by blanks.
    const QByteArray script = "#!/bin/sh\n"
                              "line='call'\n"
                              "for a in \"$@\"; do\n"
                              "  hex=$(printf '%s' \"$a\" | od -An -v -tx1 | tr -d ' \\n')\n"
                              "  line=\"$line<$hex>\"\n"
                              "done\n"
                              "printf '%s\\n' \"$line\" >> '" +
                              QFile::encodeName(logPath) + "'\n";
    writeFile(path, script);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                    QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                    QFileDevice::ExeOther);
    return path;
}

QList<QList<QByteArray>> readRecordedCalls(const QString& logPath)
{
    QList<QList<QByteArray>> calls;
    const QByteArray log = readFile(logPath);
    for (const QByteArray& line : log.split('\n')) {
        if (line.isEmpty())
            continue;
        QList<QByteArray> arguments;
        qsizetype i = 0;
        while ((i = line.indexOf('<', i)) >= 0) {
            const qsizetype close = line.indexOf('>', i);
            arguments.append(QByteArray::fromHex(line.mid(i + 1, close - i - 1)));
            i = close + 1;
        }
        calls.append(arguments);
    }
    return calls;
}

QString statementCommand(const QString& number, int items, const QString& date)
{
    QStringList fields{number, QStringLiteral("山田太郎様"), QString::number(items)};
    for (int i = 1; i <= items; ++i)
        fields.append(QStringLiteral("回?処置%1?1?1500?1500").arg(i));
    fields += QStringList{QStringLiteral("30000"),
                          QStringLiteral("0"),
                          QStringLiteral("10000"),
                          QStringLiteral("1000"),
                          QStringLiteral("3"),
                          QStringLiteral("x"),
                          QStringLiteral("0"),
                          QStringLiteral("0"),
                          QStringLiteral("y"),
                          QStringLiteral("21000"),
                          date,
                          QStringLiteral("1")};
    return QStringLiteral("prt") + fields.join(u'_');
}

QString builtProgram(const QString& name)
{
    return QDir(qEnvironmentVariable("ORVANE_BINARY_DIR")).filePath(u"src/" + name);
}

Result<> FakeLauncher::startCommandLine(const QString& commandLine, WindowStyle style)
{
    starts.append({commandLine, style, {}, {}});
    if (refuses)
        return fail(QStringLiteral("not started"));
    return {};
}

Result<> FakeLauncher::startProgram(const QString& program, const QStringList& arguments)
{
    starts.append({{}, WindowStyle::NormalFocus, program, arguments});
    if (refuses)
        return fail(QStringLiteral("not started"));
    return {};
}

} // namespace orvane::test
