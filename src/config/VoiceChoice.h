#pragma once

#include <QStringList>

class IniFile;

namespace settings {

// TTSvoice without TTSvoiceId (written by hand, with `velmora-cli set`, or
// by an older version) names its voice by the index alone, which points at
// another voice once more are installed: the id of the voice it names now
// is stored beside it. Index 0 without an id is what every new file starts
// with, not a choice: it stays the engine's own voice. True when written.
bool adoptVoiceIndex(IniFile& ini, const QStringList& voiceIds);

} // namespace settings
