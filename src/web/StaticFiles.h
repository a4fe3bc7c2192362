#pragma once

#include "web/HttpMessage.h"

// The pages' script and style, compiled into the program: a fixed list of
// names, so no path of a request ever reaches the file system here.
namespace staticfiles {

WebResponse serve(const QByteArray& path);

} // namespace staticfiles
