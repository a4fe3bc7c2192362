#pragma once

#include <QByteArray>
#include <QString>

// The pages' common frame: navigation, the answering machine switch, the
// line's state, and the session's cross-site token for the script.
namespace webpage {

enum class Section { Calls, Greetings, Lists, Status };

QString frame(Section section, const QByteArray& csrf, bool answeringOn, const QString& body);
QString login(const QString& message);

} // namespace webpage
