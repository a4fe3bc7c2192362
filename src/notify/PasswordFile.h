#pragma once

#include <QString>

// The headless service has no desktop to keep a password in: it reads it
// from a file only its user may read. A file that anyone else can read (or
// that belongs to another user) is refused, so a password that leaked is
// not used as if all were well.
namespace passwordfile {

// The first line of the file; false with *error.
bool read(const QString& path, QString* password, QString* error);

} // namespace passwordfile
