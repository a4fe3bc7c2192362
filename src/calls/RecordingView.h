#pragma once

#include <QString>
#include <cstdint>

// The transport as the main window shows it.
enum class TransportMode : uint8_t {
    Idle,      // Record enabled (when a voice modem is bound), Play and the menus enabled
    Recording, // Record pressed and disabled, Stop enabled, the rest disabled
    Answering, // the answering machine's busy state: as Recording, Stop off in the tray
    NoRecord,  // idle, but Record disabled (no modem bound)
};

enum class TrayIcon : uint8_t { Bound, Released, Recording, NewMessages };

// What the main window shows of the call handling. The desktop program
// mirrors it; the headless service logs it.
class RecordingView
{
public:
    virtual ~RecordingView() = default;
    virtual void showTransport(TransportMode mode) = 0;
    virtual void showTray(TrayIcon icon) = 0;
    // Status-bar panel 0: " Modem bound", " Modem released", the recording's " hh:nn:ss".
    virtual void showStatus(const QString& text) = 0;
    // The caller-ID popup (it hides itself after 10 s).
    virtual void showCallerId(const QString& number, const QString& name) = 0;
    virtual void hideCallerId() = 0;
    virtual void showNewMessages(int count) = 0;
    // A message box.
    virtual void showMessage(const QString& text) = 0;
    // A live block for the oscilloscope; valid only during the call.
    virtual void showLiveAudio(const uint8_t* data, int size) = 0;
};
