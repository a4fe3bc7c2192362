#pragma once

#include "calls/RecordingView.h"

// What the transport and the menus may do, as one pure function of the
// window's state, so the enable rules are in one place and testable.
struct WindowState
{
    TransportMode transport = TransportMode::NoRecord; // from the call handling
    bool hasRows = false;       // the selected folder shows recordings
    bool playing = false;       // the built-in player plays
    bool paused = false;        // paused, or standing at a chosen position
    bool voiceFeatures = false; // a voice modem was found
    bool portOpen = false;      // the modem is bound
};

struct ActionStates
{
    bool play = false, pause = false, stop = false, rewind = false, fastForward = false;
    bool record = false;
    bool playPressed = false, pausePressed = false, recordPressed = false;
    bool slider = false;
    bool listOperations = false; // Memo, Delete, Move, Copy, E-mail, Search, Select all
    bool postProcessing = false; // Volume level, Voice equalizer
    bool settings = false, modemMenu = false, diagnostics = false;
    bool bindChecked = false, releaseChecked = false;
};

ActionStates actionStates(const WindowState& state);

// The Tree menu for the selected node.
struct NodeState
{
    bool selected = false;
    bool first = false;
    bool hasChildren = false;
    bool expanded = false;
};

struct TreeActionStates
{
    bool add = true, addChild = true, insert = false, remove = false, rename = false;
    bool expand = false, collapse = false, expandAll = true, collapseAll = true;
};

TreeActionStates treeActionStates(const NodeState& node);
