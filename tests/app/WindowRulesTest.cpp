// The pure rules behind the window: which actions are enabled, the tray's
// image lists, the transport's arithmetic and the oscilloscope's limit.
#include "app/ActionRules.h"
#include "app/Oscilloscope.h"
#include "app/Playback.h"
#include "app/TransportMath.h"
#include "app/TrayAnimation.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

TEST(WindowRules, ActionsFollowTheTransportAndTheModem)
{
    WindowState idle{TransportMode::Idle, true, false, false, true, true};
    ActionStates a = actionStates(idle);
    EXPECT_TRUE(a.play && a.pause && a.stop && a.record && a.listOperations && a.postProcessing && a.settings);
    EXPECT_FALSE(a.rewind || a.fastForward || a.slider || a.recordPressed);

    WindowState empty = idle;
    empty.hasRows = false;
    a = actionStates(empty);
    EXPECT_FALSE(a.play || a.pause || a.stop || a.listOperations || a.postProcessing);
    EXPECT_TRUE(a.record);

    WindowState playing = idle;
    playing.playing = true;
    a = actionStates(playing);
    EXPECT_TRUE(a.playPressed && a.slider && a.stop && a.pause);
    EXPECT_FALSE(a.record || a.rewind || a.postProcessing);

    WindowState paused = idle;
    paused.paused = true;
    a = actionStates(paused);
    EXPECT_TRUE(a.rewind && a.fastForward && a.pausePressed && a.play);

    WindowState call = idle;
    call.transport = TransportMode::Answering;
    a = actionStates(call);
    EXPECT_TRUE(a.recordPressed && a.stop);
    EXPECT_FALSE(a.play || a.settings || a.modemMenu || a.diagnostics || a.postProcessing);

    WindowState released = idle;
    released.portOpen = false;
    released.transport = TransportMode::NoRecord;
    a = actionStates(released);
    EXPECT_FALSE(a.record || a.diagnostics || a.bindChecked);
    EXPECT_TRUE(a.modemMenu && a.releaseChecked) << "Bind must stay reachable after a Release";

    WindowState noVoice = idle;
    noVoice.voiceFeatures = false;
    EXPECT_FALSE(actionStates(noVoice).record || actionStates(noVoice).modemMenu);
}

TEST(WindowRules, TreeActionsDependOnTheNode)
{
    const TreeActionStates first = treeActionStates({true, true, true, false});
    EXPECT_FALSE(first.insert || first.remove || first.rename || first.collapse);
    EXPECT_TRUE(first.add && first.addChild && first.expand);
    const TreeActionStates other = treeActionStates({true, false, true, true});
    EXPECT_TRUE(other.insert && other.remove && other.rename && other.collapse);
    EXPECT_FALSE(other.expand);
}

TEST(WindowRules, TrayReleaseRemembersTheAnimationAndBindPutsItBack)
{
    TrayAnimation tray;
    tray.show(TrayIcon::NewMessages);
    tray.tick();
    EXPECT_EQ(tray.frame(), 1);
    tray.tick();
    EXPECT_EQ(tray.frame(), 0) << "two new-message frames";
    tray.show(TrayIcon::Released);
    EXPECT_EQ(tray.list(), TrayAnimation::List::Normal);
    EXPECT_EQ(tray.frame(), 1);
    EXPECT_FALSE(tray.cycling());
    tray.show(TrayIcon::Released); // twice: the first memory is kept
    tray.show(TrayIcon::Bound);
    EXPECT_EQ(tray.list(), TrayAnimation::List::NewMessages);
    EXPECT_TRUE(tray.cycling());
    tray.show(TrayIcon::Bound); // the first playback: normal icon 0
    EXPECT_EQ(tray.list(), TrayAnimation::List::Normal);
    EXPECT_EQ(tray.frame(), 0);
    tray.show(TrayIcon::Recording);
    for (int i = 0; i < TrayAnimation::RecordingFrames; ++i)
        tray.tick();
    EXPECT_EQ(tray.frame(), 0);
}

TEST(WindowRules, TransportPositionsAndTexts)
{
    EXPECT_EQ(transport::stepMs(30), 1);
    EXPECT_EQ(transport::stepMs(60000), 1000);
    EXPECT_EQ(transport::stepMs(61000), 1016);
    EXPECT_EQ(transport::seekForClick(6, 212, 5000), 0);
    EXPECT_EQ(transport::seekForClick(206, 212, 5000), 5000);
    EXPECT_EQ(transport::seekForClick(-40, 212, 5000), 0);
    EXPECT_EQ(transport::seekForClick(50, 5, 5000), 0) << "a slider too narrow for a track";
    EXPECT_EQ(transport::sliderPosition(2500, 5000), 500);
    EXPECT_EQ(transport::sliderPosition(10, 0), 0);
    EXPECT_EQ(transport::clockText(3723000), "01:02:03");
    EXPECT_EQ(transport::clockText(-5), "00:00:00");
    EXPECT_EQ(Playback::pointsFor(0), 1200);
    EXPECT_EQ(Playback::pointsFor(9), 3000);
    EXPECT_EQ(Playback::pointsFor(42), 1800) << "out of range falls back to the default";
}

TEST(WindowRules, TraceDrawsUpToFiftySamplesAColumn)
{
    const int width = 10;
    std::vector<uint8_t> samples(50 * width + 1, 254);
    EXPECT_TRUE(traceOfSamples(samples.data(), 50 * width, width, 56).has_value());
    EXPECT_FALSE(traceOfSamples(samples.data(), 50 * width + 1, width, 56).has_value());
    const auto trace = *traceOfSamples(samples.data(), 4, 8, 56);
    EXPECT_EQ(trace.size(), 4);
    EXPECT_EQ(trace[1], QPoint(2, 0)) << "full scale at the top";
    std::vector<uint8_t> file(10000, 0);
    const QPolygon whole = traceOfFile(file.data(), qsizetype(file.size()), 10, 56);
    EXPECT_EQ(whole.size(), 500) << "every 20th sample of a file too long for the width";
    EXPECT_EQ(whole.last().y(), 56);
}

} // namespace

#include "app/HelpTopics.h"
#include <QFileInfo>

namespace {

TEST(WindowRules, EveryHelpTopicHasAPageAndAnUnknownOneOpensTheIndex)
{
    for (int topic = 1001; topic <= 1048; ++topic)
        EXPECT_TRUE(QFileInfo(help::pathOf(topic)).isFile()) << topic;
    EXPECT_EQ(help::pageOf(1047), "folders.html");
    EXPECT_EQ(help::pageOf(7), "index.html");
    EXPECT_TRUE(help::pathOf(7).endsWith(QLatin1String("/index.html")));
}

} // namespace
