// glib's headers name a member "signals", which Qt's headers make a keyword: glib first.
#ifdef VELMORA_HAVE_LIBSECRET
#include <libsecret/secret.h>
#endif

#include "platform/SecretStore.h"

namespace secretstore {

#ifdef VELMORA_HAVE_LIBSECRET

namespace {

const SecretSchema* schema()
{
    static const SecretSchema s = {"org.velmora.Password",
                                   SECRET_SCHEMA_NONE,
                                   {{"key", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SecretSchemaAttributeType(0)}},
                                   0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return &s;
}

QString take(GError* failure)
{
    const QString text = QString::fromUtf8(failure->message);
    g_error_free(failure);
    return text;
}

} // namespace

bool built()
{
    return true;
}

QString lookup(const QString& key, QString* error)
{
    GError* failure = nullptr;
    gchar* found = secret_password_lookup_sync(schema(), nullptr, &failure, "key", key.toUtf8().constData(), nullptr);
    if (failure) {
        const QString why = take(failure);
        if (error)
            *error = why;
        return QString();
    }
    const QString password = found ? QString::fromUtf8(found) : QString();
    if (found)
        secret_password_free(found);
    return password;
}

bool store(const QString& key, const QString& label, const QString& password, QString* error)
{
    GError* failure = nullptr;
    const bool stored = secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.toUtf8().constData(),
                                                   password.toUtf8().constData(), nullptr, &failure, "key",
                                                   key.toUtf8().constData(), nullptr);
    if (failure)
        *error = take(failure);
    return stored && !failure;
}

#else

bool built()
{
    return false;
}

QString lookup(const QString&, QString* error)
{
    if (error)
        *error = QStringLiteral("built without libsecret");
    return QString();
}

bool store(const QString&, const QString&, const QString&, QString* error)
{
    *error = QStringLiteral("built without libsecret");
    return false;
}

#endif

} // namespace secretstore
