#pragma once

#include "AudioChain.h"
#include "ConversionStep.h"

#include <functional>
#include <memory>
#include <vector>

// Sender, AudioData, AudioDataSize, var Abort.
class TdeAudioConvertor;
using TAbortableBufferEvent =
    std::function<void(TdeAudioConvertor* sender, const void* data, qint64 size, bool& abort)>;

// Converts a stream of blocks from FormatIn to FormatOut through one, two or
// three codec steps: directly when the codec layer can, else through the PCM
// form of the input, else through the PCM forms of both ends.
//
// Each converted block goes to the observers, then to OnAudioConverted. It is
// also an observer: blocks from its audio source are converted as they come.
// Closing drops input that never completed a codec block.
class TdeAudioConvertor : public TdeAudioComponent, public IdeAudioSubject, public IdeAudioObserver
{
public:
    TdeAudioConvertor();
    ~TdeAudioConvertor() override;

    // Raises EACMConversionError "Cannot perform this action while active."
    // when open, "Conversion not possible." when no chain exists, or the
    // error-table text of a step that does not open.
    void open();
    void close();
    void setActive(bool active);
    bool isActive() const { return m_active; }
    void convert(const void* data, qint64 size);
    // At the end of a stream: delivers what the steps still hold (the tail a
    // resampler keeps back), so a converted file is not cut short. Input
    // that never completed a codec block stays dropped.
    void flush();

    const TdeWaveFormat& formatIn() const { return m_formatIn; }
    void setFormatIn(const TdeWaveFormat& format) { m_formatIn = format; }
    const TdeWaveFormat& formatOut() const { return m_formatOut; }
    void setFormatOut(const TdeWaveFormat& format) { m_formatOut = format; }
    bool requestRealTime() const { return m_requestRealTime; }
    void setRequestRealTime(bool on);
    bool set8087FPUFlag() const { return m_maskFloatingPoint; }
    void setSet8087FPUFlag(bool on) { m_maskFloatingPoint = on; }
    void setOnAudioConverted(TAbortableBufferEvent handler) { m_onAudioConverted = std::move(handler); }

    bool abort() const { return m_abort; }
    void setAbort(bool abort) { m_abort = abort; }
    const void* lastOutput() const { return m_lastOutput; }
    qint64 lastOutputSize() const { return m_lastOutputSize; }
    // The chain Open built: 2 to 4 formats, one step per adjacent pair.
    const std::vector<TdeWaveFormat>& chainFormats() const { return m_formats; }
    const std::vector<std::unique_ptr<TdeConversionStep>>& steps() const { return m_steps; }

    TdeWaveFormat getFormat() const override { return m_formatOut; }
    void audioData(IdeAudioSubject* subject, const void* data, qint64 size) override;

private:
    void buildChain();
    void addPcmStages();
    bool possible(const TdeWaveFormat& from, const TdeWaveFormat& to) const;
    TdeWaveFormat suggestedPcm(const TdeWaveFormat& base, const TdeWaveFormat& source) const;
    void freeChain();
    void runFrom(size_t first, const quint8* block, qint64 size);
    void deliver(const quint8* block, qint64 size);

    bool m_abort = false;
    bool m_active = false;
    const void* m_lastOutput = nullptr;
    qint64 m_lastOutputSize = 0;
    std::vector<TdeWaveFormat> m_formats;
    std::vector<std::unique_ptr<TdeConversionStep>> m_steps;
    TdeWaveFormat m_formatIn;
    TdeWaveFormat m_formatOut;
    TAbortableBufferEvent m_onAudioConverted;
    bool m_requestRealTime = false;
    bool m_maskFloatingPoint = true;
};
