#include "web/WebCertificate.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSysInfo>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

namespace {

constexpr long ValidSeconds = 10L * 365 * 24 * 3600;

template <typename T, void (*Free)(T*)>
struct Deleter
{
    void operator()(T* p) const { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;

QByteArray pem(const std::function<int(BIO*)>& write)
{
    Bio bio(BIO_new(BIO_s_mem()));
    if (!bio || write(bio.get()) != 1)
        return QByteArray();
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return QByteArray(data, int(size));
}

bool addName(X509* certificate, const QString& host)
{
    X509_NAME* name = X509_get_subject_name(certificate);
    const QByteArray cn = host.toUtf8();
    if (X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(cn.constData()), -1, -1, 0) != 1
        || X509_set_issuer_name(certificate, name) != 1)
        return false;
    const QByteArray alt = "DNS:" + cn + ",DNS:" + cn + ".local,DNS:localhost,IP:127.0.0.1,IP:::1";
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, alt.constData());
    const bool added = extension && X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

// The PEM texts of a new key and its self-signed certificate; empty on failure.
std::pair<QByteArray, QByteArray> makeSelfSigned(const QString& host)
{
    Key key(EVP_EC_gen("P-256"));
    Certificate certificate(X509_new());
    if (!key || !certificate || X509_set_version(certificate.get(), 2) != 1
        || ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), long(QDateTime::currentSecsSinceEpoch() & 0x7fffffff)) != 1
        || !X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600)
        || !X509_gmtime_adj(X509_getm_notAfter(certificate.get()), ValidSeconds)
        || X509_set_pubkey(certificate.get(), key.get()) != 1 || !addName(certificate.get(), host)
        || X509_sign(certificate.get(), key.get(), EVP_sha256()) == 0)
        return {};
    const QByteArray keyPem = pem([&](BIO* bio) {
        return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
    const QByteArray certificatePem = pem([&](BIO* bio) { return PEM_write_bio_X509(bio, certificate.get()); });
    return {certificatePem, keyPem};
}

bool writePrivate(const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.setPermissions(permissions) && file.write(bytes) == bytes.size()
        && file.commit();
}

} // namespace

namespace webcertificate {

std::optional<QSslConfiguration> load(const QString& certificateFile, const QString& keyFile, QString* error)
{
    QFile certificateIn(certificateFile);
    QFile keyIn(keyFile);
    if (!certificateIn.open(QIODevice::ReadOnly) || !keyIn.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read the web certificate %1 or its key %2").arg(certificateFile, keyFile);
        return std::nullopt;
    }
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certificateIn.readAll(), QSsl::Pem);
    const QByteArray keyBytes = keyIn.readAll();
    QSslKey key(keyBytes, QSsl::Ec, QSsl::Pem);
    if (key.isNull())
        key = QSslKey(keyBytes, QSsl::Rsa, QSsl::Pem);
    if (chain.isEmpty() || key.isNull()) {
        *error = QStringLiteral("%1 holds no PEM certificate, or %2 no PEM private key").arg(certificateFile, keyFile);
        return std::nullopt;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return configuration;
}

std::optional<QSslConfiguration> ownCertificate(const QString& folder, QString* error)
{
    const QString certificateFile = QDir(folder).filePath(QStringLiteral("certificate.pem"));
    const QString keyFile = QDir(folder).filePath(QStringLiteral("key.pem"));
    if (!QFile::exists(certificateFile) || !QFile::exists(keyFile)) {
        const auto [certificatePem, keyPem] = makeSelfSigned(QSysInfo::machineHostName());
        if (certificatePem.isEmpty() || keyPem.isEmpty() || !QDir().mkpath(folder)
            || !writePrivate(keyFile, keyPem, QFileDevice::ReadOwner | QFileDevice::WriteOwner)
            || !writePrivate(certificateFile, certificatePem,
                             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther)) {
            *error = QStringLiteral("Cannot make a certificate for the web interface in %1").arg(folder);
            return std::nullopt;
        }
    }
    return load(certificateFile, keyFile, error);
}

QString fingerprint(const QSslConfiguration& configuration)
{
    const QByteArray digest = configuration.localCertificate().digest(QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toHex(':').toUpper());
}

} // namespace webcertificate
