#pragma once

struct ScreenDecision;

// What the call session hands to the answering machine: it takes a call
// after the rings and hears the caller's keys while it has the call.
// Without one, calls are only counted, recorded and catalogued.
class CallAnswerer
{
public:
    virtual ~CallAnswerer() = default;
    virtual void answerCall() = 0;
    // A digit was added to the call's digits while the machine has the call.
    virtual void digitReceived() = 0;
    // A handset on the line was lifted while the machine has the call: the
    // owner takes it over as a conversation.
    virtual void handsetLifted() = 0;
    // A blocked caller: the line is taken and freed after what the decision
    // says the caller hears.
    virtual void turnAway(const ScreenDecision& decision) = 0;
};
