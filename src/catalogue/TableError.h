#pragma once

#include <QString>
#include <stdexcept>

// A failure of the table store or the catalogue. The text is shown to the
// user as it stands, so it names the file and the reason.
class TableError : public std::runtime_error
{
public:
    explicit TableError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString& message() const { return m_message; }

private:
    QString m_message;
};
