#include "CodecResult.h"

namespace {

const char* tableText(int result)
{
    switch (result) {
    case 2: return "%sBad device ID.";
    case 3: return "%sDriver not enabled.";
    case 4: return "%sDevice already allocated.";
    case 5: return "%sThe specified handle is invalid.";
    case 6: return "%sA suitable driver is not available to provide valid format selections.";
    case 7: return "%sThe system is unable to allocate resources.";
    case 8: return "%sFunction not supported.";
    case 10: return "%sAt least one flag is invalid.";
    case 11: return "%sAt least one parameter is invalid.";
    case 12: return "%sDevice handle in use.";
    case 32: return "%sThe selected audio format is not supported on this machine.";
    case 33: return "%sAudio device is still playing.";
    case 34: return "%sCannot perform this action on a header that has not been prepared.";
    case 35: return "%sDevice is synchronous.";
    case 512: return "%sThe requested operation cannot be performed.";
    case 513: return "%sThe conversion stream is already in use.";
    case 514: return "%sCannot perform this action on a header that has not been prepared.";
    default: return nullptr;
    }
}

} // namespace

QString codecErrorText(int result, const QString& prefix)
{
    const QString lead = prefix.isEmpty() ? QString() : prefix + QStringLiteral("\r\n");
    if (const char* text = tableText(result))
        return QString::fromLatin1(text).replace(QLatin1String("%s"), lead);
    return QStringLiteral("%1An unexpected error has occurred (code #%2).").arg(lead, QString::number(result));
}
