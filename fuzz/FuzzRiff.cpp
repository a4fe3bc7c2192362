// The RIFF reader and, behind it, the decoder of whatever codec the file
// names, converting to the standard 8 kHz format as every player does.
#include "audio/AudioConvertor.h"
#include "audio/AudioErrors.h"
#include "audio/FileConversion.h"
#include "audio/RiffReader.h"
#include "audio/WaveFormat.h"

#include <QBuffer>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QBuffer file;
    file.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    file.open(QIODevice::ReadOnly);
    try {
        TdeRIFFAudioReader reader(&file);
        TdeAudioConvertor convertor;
        qint64 out = 0;
        convertor.setOnAudioConverted([&](TdeAudioConvertor*, const void*, qint64 n, bool&) { out += n; });
        convertor.setFormatIn(reader.trackFormat());
        convertor.setFormatOut(standardPcm8k());
        convertor.open();
        convertWholeTrack(reader, convertor);
        convertor.close();
    } catch (const std::exception&) {
        // refused: what a damaged file must get
    }
    return 0;
}
