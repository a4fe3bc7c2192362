#pragma once

#include "modem/ModemProfile.h"

#include <QString>
#include <QStringList>
#include <array>
#include <stdexcept>

// The init script (initScript.txt beside the settings file): one entry a
// line. A line starting with "//" is a comment, a line equal to a keyword
// runs that engine operation, any other line containing the lower-case
// letters "at" or starting with "AT" in any case is sent as it stands, and
// everything else is ignored (and logged as such).

// Engine operations a script line can name, in the order they are tried.
enum class ScriptOp {
    SetDataMode,
    SetFaxClass1,
    SetFaxClass2,
    SetVoiceMode,
    StartVTX,
    StopVTX,
    StartVRX,
    StopVRX,
    StartVTR,
    StopVTR,
    BindModem,
    ReleaseModem,
};
extern const std::array<const char*, 12> ScriptOpNames;

// The profile-command operations: each sends one profile string.
struct ProfileCommandOp
{
    const char* name;
    ModemCommand command;
};
extern const std::array<ProfileCommandOp, 27> ProfileCommandOps;

// The caller-ID strings that are trimmed and not sent at all when blank.
bool sentOnlyWhenNotBlank(ModemCommand command);

struct ScriptLine
{
    enum class Kind { Comment, Operation, ProfileCommand, AtCommand, Ignored };
    Kind kind = Kind::Ignored;
    ScriptOp op = ScriptOp::SetDataMode;             // for Operation
    ModemCommand command = ModemCommand::sOnHook;    // for ProfileCommand
};

ScriptLine classifyScriptLine(const QString& line);

class InitScriptError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// initScript.txt in the folder of the settings file.
QString initScriptPath(const QString& settingsFileName);
// The six lines written when no script exists.
QStringList defaultInitScript();
// The lines of the script file; throws InitScriptError when it cannot be read.
QStringList readInitScript(const QString& path);
// Writes the default script when the file does not exist. Throws
// InitScriptError when it cannot be written; an existing file is left alone.
void ensureInitScript(const QString& path);
