#include "AudioConvertor.h"

#include "CodecRegistry.h"
#include "CodecResult.h"

#include <limits>

namespace {

[[noreturn]] void raise(const char* message)
{
    throw EACMConversionError(QString::fromLatin1(message));
}

} // namespace

TdeAudioConvertor::TdeAudioConvertor() = default;

TdeAudioConvertor::~TdeAudioConvertor()
{
    try {
        setActive(false);
    } catch (...) {
    }
}

void TdeAudioConvertor::setRequestRealTime(bool on)
{
    if (m_active)
        raise("Cannot perform this action while active.");
    m_requestRealTime = on;
}

void TdeAudioConvertor::setActive(bool active)
{
    if (active != m_active)
        active ? open() : close();
}

void TdeAudioConvertor::open()
{
    if (m_active)
        raise("Cannot perform this action while active.");
    freeChain();
    buildChain();
    for (size_t i = 0; i + 1 < m_formats.size(); ++i) {
        m_steps.push_back(std::make_unique<TdeConversionStep>(m_formats[i], m_formats[i + 1]));
        m_steps.back()->setFeeder(i > 0 ? m_steps[i - 1].get() : nullptr);
    }
    try {
        for (auto& step : m_steps)
            step->open(m_requestRealTime);
    } catch (...) {
        freeChain();
        throw;
    }
    m_active = true;
}

void TdeAudioConvertor::close()
{
    if (!m_active)
        raise("Cannot perform this action while not active.");
    m_active = false;
    m_lastOutput = nullptr;
    m_lastOutputSize = 0;
    freeChain();
}

void TdeAudioConvertor::freeChain()
{
    m_steps.clear(); // each step closes its stream
    m_formats.clear();
}

bool TdeAudioConvertor::possible(const TdeWaveFormat& from, const TdeWaveFormat& to) const
{
    return CodecRegistry::instance().query(from, to, m_requestRealTime) == CodecResult::Ok;
}

// A copy of base with the PCM tag, then the codec layer's suggestion for source.
TdeWaveFormat TdeAudioConvertor::suggestedPcm(const TdeWaveFormat& base, const TdeWaveFormat& source) const
{
    TdeWaveFormat pcm = base;
    pcm.setFormatTag(WaveTag::Pcm);
    raiseOnCodecError<EACMConversionError>(CodecRegistry::instance().suggest(source, WaveTag::Pcm, pcm));
    return pcm;
}

void TdeAudioConvertor::buildChain()
{
    m_formats.push_back(m_formatIn);
    if (!possible(m_formatIn, m_formatOut))
        addPcmStages();
    m_formats.push_back(m_formatOut);
}

void TdeAudioConvertor::addPcmStages()
{
    const TdeWaveFormat p1 = suggestedPcm(m_formatIn, m_formatIn);
    if (!possible(m_formatIn, p1))
        raise("Conversion not possible.");
    if (!p1.equals(m_formatIn) && !p1.equals(m_formatOut))
        m_formats.push_back(p1);
    if (possible(p1, m_formatOut))
        return;
    const TdeWaveFormat p2 = suggestedPcm(p1, m_formatOut);
    if (!possible(p1, p2) || !possible(p2, m_formatOut))
        raise("Conversion not possible.");
    if (!p2.equals(p1) && !p2.equals(m_formatOut))
        m_formats.push_back(p2);
}

void TdeAudioConvertor::convert(const void* data, qint64 size)
{
    if (!m_active)
        raise("Cannot perform this action while not active.");
    m_lastOutput = nullptr;
    m_lastOutputSize = 0;
    runFrom(0, static_cast<const quint8*>(data), size);
}

void TdeAudioConvertor::flush()
{
    if (!m_active)
        raise("Cannot perform this action while not active.");
    for (size_t i = 0; i < m_steps.size(); ++i) {
        for (;;) {
            const bool last = i + 1 == m_steps.size();
            const qint64 room = last ? std::numeric_limits<qint64>::max() : m_steps[i + 1]->room();
            const qint64 n = room > 0 ? m_steps[i]->drain(room) : 0;
            if (n == 0)
                break;
            runFrom(i + 1, m_steps[i]->output(), n);
        }
    }
}

// Runs a block through the steps from first on; a step that yields nothing
// keeps its input and ends the run without a notification.
void TdeAudioConvertor::runFrom(size_t first, const quint8* block, qint64 size)
{
    for (size_t i = first; i < m_steps.size(); ++i) {
        size = m_steps[i]->convert(block, size, m_maskFloatingPoint);
        if (size == 0)
            return;
        block = m_steps[i]->output();
    }
    deliver(block, size);
}

void TdeAudioConvertor::deliver(const quint8* block, qint64 size)
{
    m_lastOutput = block;
    m_lastOutputSize = size;
    notifyObservers(block, size);
    if (m_onAudioConverted)
        m_onAudioConverted(this, block, size, m_abort);
}

void TdeAudioConvertor::audioData(IdeAudioSubject*, const void* data, qint64 size)
{
    convert(data, size);
}
