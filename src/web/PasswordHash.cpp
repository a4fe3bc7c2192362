#include "web/PasswordHash.h"

#include <QStringList>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace {

constexpr int SaltBytes = 16;
constexpr int HashBytes = 32;
constexpr int MinIterations = 10000;
constexpr int MaxIterations = 5000000;
const QString Scheme = QStringLiteral("pbkdf2-sha256");

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), count) != 1)
        return QByteArray();
    return bytes;
}

QByteArray derive(const QString& password, const QByteArray& salt, int iterations)
{
    const QByteArray secret = password.toUtf8();
    QByteArray out(HashBytes, Qt::Uninitialized);
    if (PKCS5_PBKDF2_HMAC(secret.constData(), int(secret.size()), reinterpret_cast<const unsigned char*>(salt.constData()),
                          int(salt.size()), iterations, EVP_sha256(), HashBytes,
                          reinterpret_cast<unsigned char*>(out.data())) != 1)
        return QByteArray();
    return out;
}

} // namespace

namespace passwordhash {

QString make(const QString& password)
{
    const QByteArray salt = randomBytes(SaltBytes);
    const QByteArray hash = salt.isEmpty() ? QByteArray() : derive(password, salt, Iterations);
    if (hash.isEmpty())
        return QString();
    return QStringList{Scheme, QString::number(Iterations), QString::fromLatin1(salt.toBase64()),
                       QString::fromLatin1(hash.toBase64())}
        .join(QLatin1Char('$'));
}

bool verify(const QString& password, const QString& stored)
{
    const QStringList parts = stored.trimmed().split(QLatin1Char('$'));
    if (parts.size() != 4 || parts[0] != Scheme)
        return false;
    bool ok = false;
    const int iterations = parts[1].toInt(&ok);
    const QByteArray salt = QByteArray::fromBase64(parts[2].toLatin1());
    const QByteArray expected = QByteArray::fromBase64(parts[3].toLatin1());
    if (!ok || iterations < MinIterations || iterations > MaxIterations || salt.size() < 8 || expected.size() != HashBytes)
        return false;
    return sameSecret(derive(password, salt, iterations), expected);
}

} // namespace passwordhash

QByteArray randomToken(int bytes)
{
    const QByteArray raw = randomBytes(bytes);
    return raw.isEmpty() ? raw : raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

bool sameSecret(const QByteArray& a, const QByteArray& b)
{
    return !a.isEmpty() && a.size() == b.size() && CRYPTO_memcmp(a.constData(), b.constData(), size_t(a.size())) == 0;
}
