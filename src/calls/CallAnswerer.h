#pragma once

// What the call session hands to the answering machine: it takes a call
// after the rings, follows the end of its greeting, and hears the remote
// code. Without one, calls are only counted, recorded and catalogued.
class CallAnswerer
{
public:
    virtual ~CallAnswerer() = default;
    virtual void answerCall() = 0;
    virtual void transmissionEnded() = 0;
    virtual void remoteCodeEntered() = 0;
};
