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
    // A character the code page lacks becomes "?", as Windows converts it; the codec's own substitute
    // (0xFC 0xFC) would be read as another character. Such a character does not survive the way back.
    QStringEncoder encoder(kAnsiCodePage);
    QStringDecoder decoder(kAnsiCodePage);
    QByteArray bytes = encoder.encode(mapped);
    if (QString(decoder.decode(bytes)) == mapped)
        return bytes;
    bytes.clear();
    for (qsizetype i = 0; i < mapped.size(); ++i) {
        const qsizetype length = mapped[i].isHighSurrogate() && i + 1 < mapped.size() ? 2 : 1;
        const QStringView character = QStringView(mapped).mid(i, length);
        const QByteArray encoded = encoder.encode(character);
        bytes += QString(decoder.decode(encoded)) == character ? encoded : QByteArray("?");
        i += length - 1;
    }
    return bytes;
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
