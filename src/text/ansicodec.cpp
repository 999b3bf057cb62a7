#include "text/ansicodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace orvane::text {

QByteArray encodeAnsi(const QString& text)
{
    QString mapped = text;
    for (QChar& c : mapped) {
        switch (c.unicode()) {
        case 0x00A5:
            c = u'\\';
            break;
        case 0x301C:
            c = QChar(0xFF5E);
            break;
        case 0x2212:
            c = QChar(0xFF0D);
            break;
        default:
            break;
        }
    }
    QStringEncoder encoder(kAnsiCodePage);
    return encoder.encode(mapped);
}

QString decodeAnsi(const QByteArray& bytes)
{
    QStringDecoder decoder(kAnsiCodePage);
    return decoder.decode(bytes);
}

QString decodeIncoming(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return decodeAnsi(bytes);
}

} // namespace orvane::text
