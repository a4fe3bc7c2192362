#include "config/VoiceChoice.h"

#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"

namespace settings {

bool adoptVoiceIndex(IniFile& ini, const QStringList& voiceIds)
{
    if (!readString(ini, keys::TTSvoiceId).isEmpty() || !exists(ini, keys::TTSvoice))
        return false;
    const int index = readInteger(ini, keys::TTSvoice);
    if (index <= 0 || index >= voiceIds.size())
        return false;
    return writeString(ini, keys::TTSvoiceId, voiceIds[index]);
}

} // namespace settings
