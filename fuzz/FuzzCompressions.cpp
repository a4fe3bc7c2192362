// Compressions.d as the probe wrote it, or damaged: every record decoded and
// its +VSM command built.
#include "modem/CompressionRecord.h"
#include "modem/VsmParser.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const CompressionRecord& record : decodeCompressionRecords(bytes, 1000))
        BuildVsmCommand(record);
    return 0;
}
