#include "web/StaticFiles.h"

#include <QFile>
#include <array>

namespace {

struct Asset
{
    const char* path;
    const char* resource;
    const char* type;
};

constexpr std::array<Asset, 2> Assets = {{
    {"/static/app.js", ":/web/app.js", "text/javascript; charset=utf-8"},
    {"/static/app.css", ":/web/app.css", "text/css; charset=utf-8"},
}};

} // namespace

namespace staticfiles {

WebResponse serve(const QByteArray& path)
{
    for (const Asset& asset : Assets) {
        if (path != asset.path)
            continue;
        QFile file(QLatin1String(asset.resource));
        if (!file.open(QIODevice::ReadOnly))
            break;
        WebResponse response{200, asset.type, file.readAll(), {}};
        return response.with("Cache-Control", "private, max-age=300");
    }
    return WebResponse::text(404, QStringLiteral("Not found."));
}

} // namespace staticfiles
