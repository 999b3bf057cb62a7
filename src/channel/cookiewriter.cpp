#include "channel/cookiewriter.h"

#include "channel/cookiefolder.h"
#include "channel/cookiepoller.h"
#include "text/ansicodec.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QThread>

namespace orvane {

Result<QString> writeCommandCookie(const WindowsPathMapper& mapper, const QString& wintype,
                                   const QString& userName, const QString& site, const QString& command,
                                   const QString& lineFour, const QString& cookieName)
{
    const CookieFolder folder = cookieFolder(wintype, userName);
    const std::optional<QString> native = mapper.toNative(folder.windowsPath);
    if (!native) {
        return fail(QStringLiteral("no drive for %1").arg(folder.windowsPath));
    }
    if (!QDir().mkpath(*native)) {
        return fail(QStringLiteral("cannot create %1").arg(*native));
    }

    // The bridge compares whole seconds: wait for a second later than the newest cookie file.
    CookiePoller poller(mapper);
    const qint64 newest = poller.newestTime(folder).value_or(0);
    for (int i = 0; i < 25 && QDateTime::currentSecsSinceEpoch() <= newest; ++i)
        QThread::msleep(50);

    const QString name = userName + u"@orvane[1]" + folder.pattern.mid(1);
    const QString path = QDir(*native).filePath(name);
    const QByteArray content = text::encodeAnsi(cookieName + u'\n' + command + u'\n' + site + u"/\n1600\n" +
                                                lineFour + u"\n30000000\n3000000000\n30000000\n*\n");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
        return fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    }
    // A clock behind the newest file: the file takes the second after it.
    if (QDateTime::currentSecsSinceEpoch() <= newest) {
        QFile written(path);
        if (written.open(QIODevice::ReadWrite))
            written.setFileTime(QDateTime::fromSecsSinceEpoch(newest + 1), QFileDevice::FileModificationTime);
    }
    return path;
}

} // namespace orvane
