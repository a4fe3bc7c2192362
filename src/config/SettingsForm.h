#pragma once

#include <QString>
#include <vector>

class IniFile;

// What the settings dialog shows and writes, as plain values: Load and
// Show read them, Ok writes them as one batch. The dialog in the desktop
// program only mirrors this.
struct SettingsForm
{
    // General
    bool startUp = false, callerId = true, callerIdAvailable = true, showHints = true;
    bool notifications = true, popupWithNotification = false;
    QString fontName;
    int fontSize = 8, fontColor = 0;
    bool fontChosen = false;
    // Modem
    bool modemDefined = false, voiceFeatures = false;
    QString model;
    int port = 0, baudrate = 115200, flowControl = 0, timeout = 4;
    int playGain = 128, recordGain = 128;
    int playMin = 0, playMax = 255, recordMin = 0, recordMax = 255;
    // A gain command whose number cannot be read (its slider shows 128):
    // the error's message and the failing step, for the error report.
    struct Unreadable
    {
        QString message, line;
    };
    std::vector<Unreadable> unreadableGains;
    // Audio player
    int points = 3;
    bool playTrace = true, recordTrace = true;
    int backColor = 0, traceColor = 65280;
    bool extPlayer = false;
    QString player;
    // Automatic recording
    bool autoRecord = true, silence = false, periodic = true, cadence = true;
    int discTime = 10;
    // Answering machine
    bool answeringMachine = true, beep = true, maxMsgEnable = true;
    int amRings = 4, msgTime = 20, ttsVoice = 0;
    QString ttsVoiceId; // the chosen voice's stable id (indexes shift as voices are installed)
    QString hangupSeq, remoteCode;
    // Storage
    QString wavDir;
    // Where support mail goes; the SMTP password is never part of it.
    QString supportAddress, smtpServer, smtpAccount;
    int smtpPort = 587;

    // The baud rates the serial layer can set.
    static constexpr int BaudRates[] = {57600, 115200, 230400};
    static constexpr int MinRemoteCodeDigits = 4;

    static SettingsForm load(const IniFile& ini);
    // Every key the dialog shows, in one write; false (with the file's
    // error) when it could not be written, nothing changed then.
    bool save(IniFile& ini, QString* error) const;

    // Where a gain command's slider stands: the number after "=" (128 when
    // it is not one).
    static int gainOfCommand(const QString& command, bool* readable = nullptr);
    // The slider's tick step for a range of gains.
    static int tickStep(int minimum, int maximum, int previous = 1);
    // A short code lets anyone who calls listen to the messages.
    bool weakRemoteCode() const { return remoteCode.size() < MinRemoteCodeDigits; }
};
