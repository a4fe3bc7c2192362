#include "ConversionStep.h"

#include "CodecRegistry.h"
#include "CodecResult.h"

#include <cfenv>
#include <cstring>
#include <limits>

namespace {

[[noreturn]] void notActive()
{
    throw EACMConversionError(QStringLiteral("Cannot perform this action while not active."));
}

// While a codec runs, every floating-point exception is masked; the thread's
// own settings come back afterwards.
class MaskedFloatingPoint
{
public:
    explicit MaskedFloatingPoint(bool on) : m_on(on)
    {
        if (m_on)
            std::feholdexcept(&m_saved);
    }
    ~MaskedFloatingPoint()
    {
        if (m_on)
            std::fesetenv(&m_saved);
    }

private:
    bool m_on;
    std::fenv_t m_saved{};
};

} // namespace

TdeConversionStep::TdeConversionStep(const TdeWaveFormat& in, const TdeWaveFormat& out) : m_in(in), m_out(out) {}

TdeConversionStep::~TdeConversionStep()
{
    close();
}

void TdeConversionStep::open(bool realTime)
{
    std::unique_ptr<CodecStream> stream;
    raiseOnCodecError<EACMConversionError>(CodecRegistry::instance().open(m_in, m_out, realTime, stream));
    m_stream = std::move(stream);
    m_input.clear();
    m_output.clear();
    m_capacity = m_fill = 0;
    m_prepared = false;
    m_active = true;
}

void TdeConversionStep::close()
{
    if (m_stream) {
        if (m_prepared)
            m_stream->unprepare();
        m_stream->reset();
        m_stream.reset();
    }
    m_input = {};
    m_output = {};
    m_capacity = m_fill = 0;
    m_prepared = false;
    m_active = false;
}

qint64 TdeConversionStep::convert(const quint8* data, qint64 size, bool maskFloatingPointErrors)
{
    if (!m_active)
        notActive();
    append(data, size);
    if (!m_prepared && !prepare())
        return 0;
    if (m_stream->outputSize(m_fill) <= 0)
        return 0;
    return runCodec(maskFloatingPointErrors);
}

qint64 TdeConversionStep::drain(qint64 maxBytes)
{
    if (!m_active)
        notActive();
    if (!m_prepared)
        return 0;
    qint64 produced = 0;
    raiseOnCodecError<EACMConversionError>(m_stream->drain(maxBytes, produced));
    return produced;
}

qint64 TdeConversionStep::room() const
{
    return m_prepared ? m_capacity - m_fill : std::numeric_limits<qint64>::max();
}

void TdeConversionStep::append(const quint8* data, qint64 size)
{
    if (size <= 0)
        return;
    if (m_fill + size > m_capacity) {
        if (m_prepared)
            throw EACMConversionError(QStringLiteral("Audio is too large to fit into conversion buffer"));
        m_capacity = 2 * (m_fill + size);
        m_input.resize(size_t(m_capacity));
    }
    std::memcpy(m_input.data() + m_fill, data, size_t(size));
    m_fill += size;
}

bool TdeConversionStep::prepare()
{
    if (m_fill <= 0 || m_stream->outputSize(m_fill) <= 0)
        return false;
    m_capacity = 3 * m_fill + (m_feeder ? m_feeder->outputCapacity() : 0);
    m_input.resize(size_t(m_capacity));
    m_output.assign(size_t(m_stream->outputSize(m_capacity)), 0);
    const int result =
        m_stream->prepare(m_input.data(), m_capacity, m_output.data(), qint64(m_output.size()));
    if (result != CodecResult::Ok) {
        m_output = {};
        raiseOnCodecError<EACMConversionError>(result);
    }
    m_prepared = true;
    return true;
}

qint64 TdeConversionStep::runCodec(bool maskFloatingPointErrors)
{
    qint64 used = 0;
    qint64 produced = 0;
    int result;
    {
        const MaskedFloatingPoint masked(maskFloatingPointErrors);
        result = m_stream->convert(m_fill, used, produced);
    }
    raiseOnCodecError<EACMConversionError>(result);
    if (used > 0 && used < m_fill)
        std::memmove(m_input.data(), m_input.data() + used, size_t(m_fill - used));
    m_fill -= used;
    return produced;
}
