#pragma once

#include <QSslConfiguration>
#include <QString>
#include <optional>

// The certificate the web interface serves HTTPS with: the user's (PEM
// files named in the settings), else one the program makes once, kept in
// "<data folder>/web/" with its key readable by the owner only.
namespace webcertificate {

// Nothing, with *error, when the files cannot be read or made.
std::optional<QSslConfiguration> load(const QString& certificateFile, const QString& keyFile, QString* error);
// Makes a self-signed certificate for this machine (EC P-256, ten years)
// unless the folder holds one; the configuration to serve, or nothing.
std::optional<QSslConfiguration> ownCertificate(const QString& folder, QString* error);
// "AB:CD:..." of the certificate's SHA-256.
QString fingerprint(const QSslConfiguration& configuration);

} // namespace webcertificate
