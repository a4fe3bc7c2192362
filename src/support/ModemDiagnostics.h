#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <functional>

class TQVModem253;

// The modem's answers to 50 query commands, with facts about the computer,
// in Diagnostics.log of the data folder: for support.
class ModemDiagnostics
{
public:
    static const std::array<const char*, 50> Commands;
    static inline const QString FileName = QStringLiteral("Diagnostics.log");

    enum class Result { Written, PortFailed, NoAnswer, Cancelled, WriteFailed };

    ModemDiagnostics(TQVModem253& engine, const QString& dataFolder);

    // 0..100 after each command; a true cancelled() ends the run before the
    // next command and writes nothing.
    std::function<void(int percent)> onProgress;
    std::function<bool()> cancelled;

    // *message says what went wrong (the port, no answer, the file).
    Result run(QString* message);
    QString logPath() const;

    // The reply as the log keeps it: its lines without the final result.
    static QString replyText(const QString& reply);

private:
    TQVModem253& m_engine;
    QString m_dataFolder;
};
