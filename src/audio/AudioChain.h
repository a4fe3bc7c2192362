#pragma once

#include "WaveFormat.h"

#include <exception>
#include <functional>
#include <vector>

class IdeAudioObserver;
class IdeAudioSubject;

// Anything that can be linked into an audio chain (convertors, sound devices).
class TdeAudioComponent
{
public:
    virtual ~TdeAudioComponent() = default;
};

// Sender, Observer, E, RaiseException.
using TObserverErrorEvent =
    std::function<void(IdeAudioSubject* sender, IdeAudioObserver* observer, const std::exception& error,
                       bool& raiseException)>;

// Produces blocks and hands each one, synchronously and in attachment order,
// to its observers. A block is valid only during the call.
class IdeAudioSubject
{
public:
    IdeAudioSubject() = default;
    IdeAudioSubject(const IdeAudioSubject&) = delete;
    IdeAudioSubject& operator=(const IdeAudioSubject&) = delete;
    // Observers forget a subject that goes away.
    virtual ~IdeAudioSubject();

    void attach(IdeAudioObserver* observer);
    void detach(IdeAudioObserver* observer);
    virtual TdeWaveFormat getFormat() const = 0;

    // An observer's exception reaches the producer of the block unless the
    // handler clears RaiseException (which starts as this flag, true).
    void setReraiseObserverErrors(bool on) { m_reraise = on; }
    void setOnObserverError(TObserverErrorEvent handler) { m_onObserverError = std::move(handler); }

protected:
    void notifyObservers(const void* data, qint64 size);

private:
    std::vector<IdeAudioObserver*> m_observers;
    bool m_reraise = true;
    TObserverErrorEvent m_onObserverError;
};

// Consumes the blocks of at most one subject, its audio source.
class IdeAudioObserver
{
public:
    IdeAudioObserver() = default;
    IdeAudioObserver(const IdeAudioObserver&) = delete;
    IdeAudioObserver& operator=(const IdeAudioObserver&) = delete;
    virtual ~IdeAudioObserver();

    virtual void audioData(IdeAudioSubject* subject, const void* data, qint64 size) = 0;

    IdeAudioSubject* audioSource() const { return m_source; }
    // Leaves the previous source and attaches to the new one (nullptr: none).
    // Raises EACMError "Component cannot observe itself." or "The selected
    // component is not an audio subject.".
    void setAudioSource(TdeAudioComponent* component);

private:
    friend class IdeAudioSubject;
    IdeAudioSubject* m_source = nullptr;
};
