// Once a recording runs, the engine's voice path allocates nothing per
// arrival: every allocation of this test program is counted while chunks of
// voice data arrive.
#include "EngineFixture.h"
#include "HeapCounter.h"

#include "audio/WaveFormat.h"
#include "linedsp/TQVMdsp.h"

using namespace heapcount;

namespace {

TEST_F(EngineTest, RecordingAllocatesNothingPerArrival)
{
    if (!heapcount::available)
        GTEST_SKIP() << "allocations are not counted under AddressSanitizer";
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
    allocations = 0;
    counting = true;
    for (int s = 0; s < 5; ++s)
        arriveSecond();
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GE(blocks, 30);
    EXPECT_TRUE(engine.StopRecording());
}

} // namespace
