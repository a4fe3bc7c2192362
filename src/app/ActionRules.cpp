#include "app/ActionRules.h"

ActionStates actionStates(const WindowState& s)
{
    ActionStates a;
    const bool call = s.transport == TransportMode::Recording || s.transport == TransportMode::Answering;
    const bool playback = s.playing || s.paused;
    a.bindChecked = s.portOpen;
    a.releaseChecked = !s.portOpen;
    a.listOperations = s.hasRows;
    if (call) {
        a.recordPressed = true;
        a.stop = true;
        return a; // nothing that could disturb the line
    }
    a.settings = true;
    // Bind stays reachable after a Release, or the modem could never come back.
    a.modemMenu = s.voiceFeatures;
    a.diagnostics = s.voiceFeatures && s.portOpen;
    a.record = s.voiceFeatures && s.portOpen && !playback && s.transport != TransportMode::NoRecord;
    a.postProcessing = s.hasRows && !s.playing;
    if (playback) {
        a.playPressed = s.playing;
        a.pausePressed = s.paused;
        a.play = true;
        a.pause = s.playing;
        a.stop = true;
        a.rewind = a.fastForward = s.paused;
        a.slider = true;
        return a;
    }
    a.play = a.pause = a.stop = s.hasRows;
    return a;
}

TreeActionStates treeActionStates(const NodeState& n)
{
    TreeActionStates t;
    const bool other = n.selected && !n.first;
    t.insert = t.remove = t.rename = other;
    t.expand = n.selected && n.hasChildren && !n.expanded;
    t.collapse = n.selected && n.hasChildren && n.expanded;
    return t;
}
