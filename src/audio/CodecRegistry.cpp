#include "CodecRegistry.h"

#include "CodecResult.h"
#include "G711Codec.h"
#include "GsmCodec.h"
#include "ImaAdpcmCodec.h"
#include "PcmCodec.h"

#include <algorithm>
#include <mutex>

CodecRegistry& CodecRegistry::instance()
{
    static CodecRegistry registry;
    return registry;
}

CodecRegistry::CodecRegistry()
{
    m_drivers.push_back(std::make_unique<PcmCodec>());
    m_drivers.push_back(std::make_unique<PcmCodec>(WaveTag::IeeeFloat));
    m_drivers.push_back(std::make_unique<PcmCodec>(WaveTag::Extensible));
    m_drivers.push_back(std::make_unique<G711Codec>(WaveTag::ALaw));
    m_drivers.push_back(std::make_unique<G711Codec>(WaveTag::MuLaw));
    m_drivers.push_back(std::make_unique<ImaAdpcmCodec>());
    m_drivers.push_back(std::make_unique<GsmCodec>());
}

void CodecRegistry::registerDriver(std::unique_ptr<CodecDriver> driver)
{
    std::unique_lock lock(m_mutex);
    const quint16 tag = driver->tag();
    auto same = std::find_if(m_drivers.begin(), m_drivers.end(), [&](const auto& d) { return d->tag() == tag; });
    if (same != m_drivers.end())
        *same = std::move(driver);
    else
        m_drivers.push_back(std::move(driver));
}

void CodecRegistry::unregisterDriver(quint16 tag)
{
    std::unique_lock lock(m_mutex);
    std::erase_if(m_drivers, [&](const auto& d) { return d->tag() == tag; });
}

const CodecDriver* CodecRegistry::find(quint16 tag) const
{
    for (const auto& driver : m_drivers)
        if (driver->tag() == tag)
            return driver.get();
    return nullptr;
}

// A PCM to PCM stream belongs to the PCM driver; any other to the driver of
// the non-PCM side. Two compressed formats never convert directly.
const CodecDriver* CodecRegistry::converterFor(const TdeWaveFormat& from, const TdeWaveFormat& to,
                                               int& result) const
{
    const CodecDriver* source = find(from.formatTag());
    const CodecDriver* target = find(to.formatTag());
    if (!source || !target || !source->isValid(from) || !target->isValid(to)) {
        result = CodecResult::BadFormat;
        return nullptr;
    }
    const CodecDriver* driver = from.formatTag() != WaveTag::Pcm ? source : target;
    if (!driver->canConvert(from, to)) {
        result = CodecResult::NotPossible;
        return nullptr;
    }
    result = CodecResult::Ok;
    return driver;
}

int CodecRegistry::query(const TdeWaveFormat& from, const TdeWaveFormat& to, bool) const
{
    std::shared_lock lock(m_mutex);
    int result = CodecResult::Ok;
    converterFor(from, to, result);
    return result;
}

int CodecRegistry::open(const TdeWaveFormat& from, const TdeWaveFormat& to, bool,
                        std::unique_ptr<CodecStream>& stream) const
{
    std::shared_lock lock(m_mutex);
    int result = CodecResult::Ok;
    const CodecDriver* driver = converterFor(from, to, result);
    if (!driver)
        return result;
    try {
        stream = driver->open(from, to);
    } catch (const std::bad_alloc&) {
        return CodecResult::NoMemory;
    }
    return stream ? CodecResult::Ok : CodecResult::NotPossible;
}

int CodecRegistry::suggest(const TdeWaveFormat& source, quint16 wantedTag, TdeWaveFormat& dest) const
{
    std::shared_lock lock(m_mutex);
    if (wantedTag != WaveTag::Pcm)
        return CodecResult::NotPossible;
    const CodecDriver* driver = find(source.formatTag());
    if (!driver || !driver->isValid(source))
        return CodecResult::BadFormat;
    const std::optional<TdeWaveFormat> pcm = driver->suggestPcm(source);
    if (!pcm)
        return CodecResult::NotPossible;
    std::copy_n(pcm->buffer(), TdeWaveFormat::HeaderSize, dest.buffer());
    return CodecResult::Ok;
}

std::optional<QString> CodecRegistry::tagName(quint16 tag) const
{
    std::shared_lock lock(m_mutex);
    const CodecDriver* driver = find(tag);
    return driver ? std::optional(driver->tagName()) : std::nullopt;
}

std::optional<QString> CodecRegistry::formatText(const TdeWaveFormat& format) const
{
    std::shared_lock lock(m_mutex);
    const CodecDriver* driver = find(format.formatTag());
    return driver ? std::optional(driver->formatText(format)) : std::nullopt;
}

std::vector<TdeWaveFormat> CodecRegistry::formats() const
{
    std::shared_lock lock(m_mutex);
    std::vector<TdeWaveFormat> all;
    for (const auto& driver : m_drivers) {
        const auto offered = driver->formats();
        all.insert(all.end(), offered.begin(), offered.end());
    }
    return all;
}
