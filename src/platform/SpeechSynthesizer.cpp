#include "SpeechSynthesizer.h"

#include <QMutex>
#include <map>

namespace {

struct Registry
{
    QMutex mutex;
    std::map<QString, SpeechSynthesizerFactory> factories{
        {DefaultSpeechEngine, [] { return createEspeakSynthesizer(); }}};
};

Registry& registry()
{
    static Registry r;
    return r;
}

} // namespace

QString SpeechVoice::description() const
{
    QString text = name;
    if (!language.isEmpty())
        text += QStringLiteral(", ") + language;
    if (gender == 1)
        text += QStringLiteral(", male");
    else if (gender == 2)
        text += QStringLiteral(", female");
    return text;
}

void registerSpeechSynthesizer(const QString& name, SpeechSynthesizerFactory factory)
{
    QMutexLocker lock(&registry().mutex);
    registry().factories[name] = std::move(factory);
}

std::unique_ptr<SpeechSynthesizer> createSpeechSynthesizer(const QString& name)
{
    SpeechSynthesizerFactory factory;
    {
        QMutexLocker lock(&registry().mutex);
        const auto found = registry().factories.find(name);
        if (found == registry().factories.end())
            return nullptr;
        factory = found->second;
    }
    return factory();
}

QStringList speechSynthesizerNames()
{
    QMutexLocker lock(&registry().mutex);
    QStringList names;
    for (const auto& [name, factory] : registry().factories)
        names.append(name);
    return names;
}
