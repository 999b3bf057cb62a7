#include "totals/dailytotals.h"

#include "base/logging.h"
#include "text/ansicodec.h"
#include "text/legacytext.h"

#include <QFile>
#include <QFileInfo>

namespace orvane {

QString dailyTotalsLine(const QString& statementText, const QString& cookieLine4)
{
    return text::trimBlanks(statementText) + u'/' + text::trimBlanks(cookieLine4);
}

Result<> appendDailyTotal(const QString& path, const QString& line)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        qCWarning(lcTotals) << "cannot open" << path << ":" << file.errorString();
        return fail(file.errorString());
    }
    const qint64 oldSize = file.size();
    const QByteArray bytes = text::encodeAnsi(line) + "\r\n";
    if (file.write(bytes) != bytes.size() || file.error() != QFileDevice::NoError) {
        const QString error = file.errorString();
        qCWarning(lcTotals) << "cannot write" << path << ":" << error;
        // No fragment may stay behind: the next line would be glued to it.
        if (!file.resize(oldSize))
            qCWarning(lcTotals) << "cannot take the fragment out of" << path << ":" << file.errorString();
        return fail(error);
    }
    file.close();
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    return {};
}

Result<> startNewDay(const QString& path, const QString& backupPath)
{
    if (QFileInfo(path).size() > 0) {
        QFile::remove(backupPath);
        if (!QFile::copy(path, backupPath))
            return fail(QStringLiteral("%1 の控え %2 を作成できません").arg(path, backupPath));
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(QStringLiteral("%1 を空にできません: %2").arg(path, file.errorString()));
    return {};
}

} // namespace orvane
