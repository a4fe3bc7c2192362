// Once a recording runs, the engine's voice path allocates nothing per
// arrival: every allocation of this test program is counted while chunks of
// voice data arrive.
#include "EngineFixture.h"

#include "audio/WaveFormat.h"
#include "linedsp/TQVMdsp.h"

#include <atomic>
#include <cstdlib>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void __libc_free(void* pointer);
}

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

void counted()
{
    if (g_counting.load(std::memory_order_relaxed))
        g_allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

// Operator new goes through malloc, so this sees C++ and Qt allocations alike.
extern "C" void* malloc(size_t size)
{
    counted();
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size)
{
    counted();
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* pointer, size_t size)
{
    counted();
    return __libc_realloc(pointer, size);
}
extern "C" void free(void* pointer)
{
    __libc_free(pointer);
}

namespace {

TEST_F(EngineTest, RecordingAllocatesNothingPerArrival)
{
    TdeWaveFormat muLaw = standardPcm8k();
    muLaw.setFormatTag(WaveTag::MuLaw);
    ini->writeBinary(QStringLiteral("Modem compression"), QStringLiteral("Bin"), muLaw.formatBuffer());
    ini->writeBool(QStringLiteral("Settings"), QStringLiteral("Silence"), true);
    TQVMdsp dsp;
    engine.setDSP(&dsp);
    engine.setSleepFunction([](int) {});
    int blocks = 0;
    engine.OnPCMdata = [&blocks](const uint8_t*, int) { ++blocks; };
    port.addReply("at+fclass=8", {"\r\nOK\r\n"});
    port.addReply("at+vls=", {"\r\nOK\r\n"});
    port.addReply("at+vrx", {"\r\nCONNECT\r\n"});
    port.addReply("\x10!", {QByteArray("\x10\x03\r\nOK\r\n", 7)});
    bind();
    ASSERT_TRUE(engine.StartRecording(dir.filePath(QStringLiteral("rec.wav"))));

    // A second of voice with data DLEs, DLE events and a split pair.
    QByteArray second;
    for (int i = 0; i < 8000; ++i) {
        second.append(char(i * 7 % 251));
        if (second.back() == 0x10)
            second.append('\x10');
    }
    second.insert(100, QByteArray("\x10s", 2));
    const auto arriveSecond = [&] {
        for (qsizetype at = 0; at < second.size(); at += 250)
            engine.ProcessArrival(
                QByteArray::fromRawData(second.constData() + at, std::min<qsizetype>(250, second.size() - at)));
    };
    arriveSecond(); // the first blocks size the convertors' and detectors' buffers
    arriveSecond();
    g_allocations = 0;
    g_counting = true;
    for (int s = 0; s < 5; ++s)
        arriveSecond();
    g_counting = false;
    EXPECT_EQ(g_allocations.load(), 0);
    EXPECT_GE(blocks, 30);
    EXPECT_TRUE(engine.StopRecording());
}

} // namespace
