#pragma once

#include <QByteArray>
#include <QString>

// The web login's password, kept as "pbkdf2-sha256$<iterations>$<salt>$<hash>"
// (salt and hash in base64): a salted, deliberately slow hash, so a copied
// vlm.ini does not give the password away.
namespace passwordhash {

constexpr int Iterations = 200000;

// A new hash of the password with a fresh random salt; empty when the
// system's random source fails.
QString make(const QString& password);
// Whether the password is the one hashed; false for a text that is not such
// a hash (or asks for an iteration count outside what make could write).
bool verify(const QString& password, const QString& stored);

} // namespace passwordhash

// Bytes from OpenSSL's random source, as base64url without padding; empty
// when the source fails.
QByteArray randomToken(int bytes);
// Equal texts, in a time that does not depend on where they differ.
bool sameSecret(const QByteArray& a, const QByteArray& b);
