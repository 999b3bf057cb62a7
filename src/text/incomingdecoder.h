#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

namespace orvane::text {

// Decodes one message from outside (a connection's reply, what a serial device sends) that arrives in
// pieces: a character split across two pieces comes out whole. The message is taken as UTF-8 while
// its bytes are valid UTF-8 and as CP932 from the first byte that is not, for the rest of the message.
class IncomingDecoder
{
public:
    IncomingDecoder();

    // The text of the bytes that arrived, as far as it is complete; an unfinished character is kept
    // for the next piece.
    QString decode(const QByteArray& bytes);
    // Starts a new message: what was kept of the last one is dropped.
    void reset();

private:
    QByteArray m_pending; // the start of an unfinished UTF-8 character
    bool m_ansi = false;
    QStringDecoder m_ansiDecoder;
};

} // namespace orvane::text
