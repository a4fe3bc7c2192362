#pragma once

#include <QString>

// Where the per-user files live (settings, catalogue, tree, logs, greetings,
// recordings by default). Paths never end with a separator.
namespace datafolder {

inline const QString ApplicationTitle = QStringLiteral("Velmora");
inline const QString SettingsFileName = QStringLiteral("vlm.ini");

struct Inputs
{
    QString overrideDir;   // --data-dir, empty when not given
    QString programFolder; // the folder of the program file
    QString xdgDataHome;   // $XDG_DATA_HOME, empty when unset
    QString home;          // the user's home folder
};

// The rule, without touching anything: --data-dir wins; then a vlm.ini
// beside the program makes the program folder the data folder (portable
// use); otherwise $XDG_DATA_HOME/Velmora, by default
// ~/.local/share/Velmora. A relative $XDG_DATA_HOME is ignored, as the XDG
// rules say.
QString choose(const Inputs& inputs);

// The inputs of this process.
Inputs currentInputs(const QString& overrideDir);

// Chooses the data folder of this process and creates it when it does not
// exist. Returns an empty text and sets *error when it cannot be created.
QString prepare(const QString& overrideDir, QString* error);

// The recordings folder: the setting wavDir of section Settings in vlm.ini,
// by default the folder "wav" in the data folder; a relative value is
// taken from the data folder. Always ends with "/".
QString recordingsFolder(const QString& dataFolder);

} // namespace datafolder
