#pragma once

#include "CodecDriver.h"

#include <QString>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <vector>

// The codec layer: the drivers by format tag and the operations the
// convertor and the format chooser need. Every operation that can fail
// returns a result code (CodecResult). One registry serves the process; it
// starts with the PCM, A-law, mu-law, IMA ADPCM and GSM 6.10 drivers, and
// tests may register drivers of their own.
class CodecRegistry
{
public:
    static CodecRegistry& instance();

    // Replaces a driver of the same tag.
    void registerDriver(std::unique_ptr<CodecDriver> driver);
    void unregisterDriver(quint16 tag);

    // Whether a stream from one format to the other opens. Every driver here
    // converts in real time, so realTime changes nothing.
    int query(const TdeWaveFormat& from, const TdeWaveFormat& to, bool realTime) const;
    int open(const TdeWaveFormat& from, const TdeWaveFormat& to, bool realTime,
             std::unique_ptr<CodecStream>& stream) const;
    // Writes the suggested format's fields (tag to extra size) into dest; the
    // extra bytes of dest stay as they were.
    int suggest(const TdeWaveFormat& source, quint16 wantedTag, TdeWaveFormat& dest) const;

    std::optional<QString> tagName(quint16 tag) const;
    std::optional<QString> formatText(const TdeWaveFormat& format) const;
    // Every format the drivers offer, driver by driver.
    std::vector<TdeWaveFormat> formats() const;

private:
    CodecRegistry();
    const CodecDriver* find(quint16 tag) const;
    const CodecDriver* converterFor(const TdeWaveFormat& from, const TdeWaveFormat& to, int& result) const;

    mutable std::shared_mutex m_mutex;
    std::vector<std::unique_ptr<CodecDriver>> m_drivers;
};
