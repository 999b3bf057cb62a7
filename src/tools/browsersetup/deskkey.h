#pragma once

#include "text/result.h"

#include <QByteArray>
#include <QString>

namespace orvane::setup {

// The desk's extension key (PEM, readable by root alone): it fixes the extension's id in Chromium and
// never leaves the desk.

// Makes a new 2048-bit RSA key at path, mode 0600 from its first byte on.
Result<> createDeskKey(const QString& path);

// The key's public half as DER (SubjectPublicKeyInfo), as a CRX and a manifest's "key" carry it.
struct KeyProblem
{
    enum class Kind { Missing, NotReadable, NotAKey };
    Kind kind;
    QString text;
};
struct PublicKey
{
    QByteArray der;
    std::optional<KeyProblem> problem;
};
PublicKey readPublicKey(const QString& path);

// Chromium's id of an extension with that public key: the first 128 bits of its SHA-256 in hex, the
// digits 0-9a-f written as the letters a-p.
QString chromiumIdOf(const QByteArray& publicKeyDer);

} // namespace orvane::setup
