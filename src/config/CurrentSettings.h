#pragma once

#include <QString>

class IniFile;

// What the call handling reads "from the settings dialog": one snapshot of
// the values, so a call decides with the settings it started with.
struct CallSettings
{
    bool autoRecord = true;
    bool silence = false, periodic = false, cadence = false, callProgress = true;
    int discTime = 10;
    bool answeringMachine = true;
    int amRings = 4;
    bool beep = true;
    int msgTime = 20;
    bool maxMsgEnable = true;
    QString hangupSeq;  // blanks around it removed
    QString remoteCode; // blanks removed
    int ttsVoice = 0;
    QString ttsVoiceId;
    int ttsVolume = 100;
    bool callerId = true;
    bool recordTrace = true;

    static CallSettings read(const IniFile& ini);
};

// The current settings: loaded from vlm.ini at start, replaced when the
// settings dialog is confirmed, and reloaded between calls when the file
// changed on disk (velmora-cli set while the service runs).
class CurrentSettings
{
public:
    explicit CurrentSettings(const IniFile& ini);

    const CallSettings& values() const { return m_values; }
    void replace(const CallSettings& values);
    // Reads the file again when it changed since the last read; true then.
    bool reloadIfChanged();

private:
    const IniFile& m_ini;
    CallSettings m_values;
    quint64 m_version = 0;
};
