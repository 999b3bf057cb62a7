#include "tools/browsersetup/deskkey.h"

#include <QCryptographicHash>
#include <QFile>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane::setup {
namespace {

struct KeyFree
{
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;

QString opensslError()
{
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    ERR_clear_error();
    return QString::fromLatin1(text);
}

} // namespace

Result<> createDeskKey(const QString& path)
{
    const Key key(EVP_RSA_gen(2048));
    if (!key)
        return fail(QStringLiteral("cannot make the desk key: %1").arg(opensslError()));
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(QStringLiteral("cannot write %1: %2").arg(path, QString::fromLocal8Bit(strerror(errno))));
    FILE* file = ::fdopen(fd, "w");
    const bool written =
        file && PEM_write_PrivateKey(file, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
    const bool closed = file ? std::fclose(file) == 0 : ::close(fd) == 0;
    if (!written || !closed) {
        ::unlink(native.constData());
        return fail(QStringLiteral("cannot write %1").arg(path));
    }
    return {};
}

PublicKey readPublicKey(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    FILE* file = std::fopen(native.constData(), "re");
    if (!file) {
        const int error = errno;
        const auto kind = error == ENOENT ? KeyProblem::Kind::Missing : KeyProblem::Kind::NotReadable;
        return {{}, KeyProblem{kind, QString::fromLocal8Bit(strerror(error))}};
    }
    const Key key(PEM_read_PrivateKey(file, nullptr, nullptr, nullptr));
    std::fclose(file);
    if (!key)
        return {
            {},
            KeyProblem{KeyProblem::Kind::NotAKey, QStringLiteral("not a private key: ") + opensslError()}};
    unsigned char* der = nullptr;
    const int length = i2d_PUBKEY(key.get(), &der);
    if (length <= 0)
        return {{}, KeyProblem{KeyProblem::Kind::NotAKey, opensslError()}};
    QByteArray bytes(reinterpret_cast<const char*>(der), length);
    OPENSSL_free(der);
    return {bytes, std::nullopt};
}

QString chromiumIdOf(const QByteArray& publicKeyDer)
{
    const QByteArray hex =
        QCryptographicHash::hash(publicKeyDer, QCryptographicHash::Sha256).toHex().left(32);
    QString id;
    for (const char digit : hex)
        id += QChar(u'a' + (digit <= '9' ? digit - '0' : digit - 'a' + 10));
    return id;
}

} // namespace orvane::setup
