// The wave-format operations that need the codec layer.
#include "CodecRegistry.h"
#include "CodecResult.h"
#include "WaveFormat.h"

QString TdeWaveFormat::describe() const
{
    const CodecRegistry& codecs = CodecRegistry::instance();
    const std::optional<QString> text = codecs.formatText(*this);
    if (!text)
        return {};
    const std::optional<QString> name = codecs.tagName(formatTag());
    return name ? *name + QStringLiteral(": ") + *text : *text;
}

void TdeWaveFormat::suggestPCM(const TdeWaveFormat& source)
{
    const CodecRegistry& codecs = CodecRegistry::instance();
    TdeWaveFormat suggestion = *this;
    raiseOnCodecError<EACMConversionError>(codecs.suggest(source, WaveTag::Pcm, suggestion));
    *this = suggestion;
    if (codecs.query(source, *this, false) != CodecResult::Ok)
        throw EACMConversionError(QStringLiteral("Conversion not possible."));
}
