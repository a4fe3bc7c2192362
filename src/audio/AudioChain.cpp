#include "AudioChain.h"

#include "AudioErrors.h"

#include <algorithm>

IdeAudioSubject::~IdeAudioSubject()
{
    for (IdeAudioObserver* observer : m_observers)
        observer->m_source = nullptr;
}

void IdeAudioSubject::attach(IdeAudioObserver* observer)
{
    if (observer && std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
        m_observers.push_back(observer);
}

void IdeAudioSubject::detach(IdeAudioObserver* observer)
{
    std::erase(m_observers, observer);
}

void IdeAudioSubject::notifyObservers(const void* data, qint64 size)
{
    size_t i = 0;
    while (i < m_observers.size()) {
        IdeAudioObserver* observer = m_observers[i];
        try {
            observer->audioData(this, data, size);
        } catch (const std::exception& error) {
            bool raise = m_reraise;
            if (m_onObserverError)
                m_onObserverError(this, observer, error, raise);
            if (raise)
                throw;
        }
        // An observer that detached itself must not make the next one be skipped.
        if (i < m_observers.size() && m_observers[i] == observer)
            ++i;
    }
}

IdeAudioObserver::~IdeAudioObserver()
{
    if (m_source)
        m_source->detach(this);
}

void IdeAudioObserver::setAudioSource(TdeAudioComponent* component)
{
    if (component && component == dynamic_cast<TdeAudioComponent*>(this))
        throw EACMError(QStringLiteral("Component cannot observe itself."));
    auto* subject = dynamic_cast<IdeAudioSubject*>(component);
    if (component && !subject)
        throw EACMError(QStringLiteral("The selected component is not an audio subject."));
    if (m_source)
        m_source->detach(this);
    m_source = subject;
    if (m_source)
        m_source->attach(this);
}
