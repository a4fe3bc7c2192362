#pragma once

#include <QString>

// Passwords where the desktop keeps secrets: the Secret Service, through
// libsecret when the program was built with it. Calls block while the
// service answers: make them off the call handling's thread.
namespace secretstore {

// Built with libsecret (a service may still be missing at run time).
bool built();
// The password kept under `key`; empty when there is none or no service
// (*error says which, when given).
QString lookup(const QString& key, QString* error = nullptr);
bool store(const QString& key, const QString& label, const QString& password, QString* error);

} // namespace secretstore
