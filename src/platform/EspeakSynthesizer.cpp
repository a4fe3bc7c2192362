// espeak-ng through its C interface, loaded at run time: a missing library
// makes the engine unavailable, not the program unable to start.
#include "SpeechSynthesizer.h"

#include <QLibrary>
#include <espeak-ng/speak_lib.h>

namespace {

class EspeakSynthesizer : public SpeechSynthesizer
{
public:
    // Never shut down: espeak-ng's own thread does not end on
    // espeak_Terminate, and the engine lives as long as the process anyway.
    explicit EspeakSynthesizer(const QString& library) : m_library(library, 1) {}

    bool start(QString& error) override
    {
        if (!m_library.load() || !resolveAll()) {
            error = QStringLiteral("espeak-ng cannot be loaded: %1").arg(m_library.errorString());
            return false;
        }
        m_rate = m_initialize(AUDIO_OUTPUT_SYNCHRONOUS, 100, nullptr, 0);
        if (m_rate <= 0) {
            error = QStringLiteral("espeak-ng did not start (its voice data, espeak-ng-data, may be missing)");
            return false;
        }
        m_setCallback(&EspeakSynthesizer::onSamples);
        return true;
    }

    int sampleRate() const override { return m_rate; }

    std::vector<SpeechVoice> voices() override
    {
        std::vector<SpeechVoice> out;
        const espeak_VOICE** list = m_listVoices(nullptr);
        for (int i = 0; list && list[i]; ++i) {
            const espeak_VOICE* v = list[i];
            SpeechVoice voice;
            voice.id = QString::fromUtf8(v->identifier ? v->identifier : v->name);
            voice.name = QString::fromUtf8(v->name ? v->name : "");
            // A priority byte, then the language, for each language.
            if (v->languages && v->languages[0])
                voice.language = QString::fromUtf8(v->languages + 1);
            voice.gender = v->gender;
            out.push_back(voice);
        }
        return out;
    }

    bool synthesize(const QString& text, const QString& voiceId, int volume, const SampleSink& sink,
                    QString& error) override
    {
        if (!voiceId.isEmpty() && m_setVoiceByName(voiceId.toUtf8().constData()) != EE_OK) {
            error = QStringLiteral("espeak-ng has no voice %1").arg(voiceId);
            return false;
        }
        m_setParameter(espeakVOLUME, std::clamp(volume, 0, 100), 0);
        const QByteArray utf8 = text.toUtf8();
        Synthesis synthesis{&sink, false};
        const espeak_ERROR result =
            m_synth(utf8.constData(), size_t(utf8.size()) + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, &synthesis);
        if (result != EE_OK) {
            error = QStringLiteral("espeak-ng could not speak the text (error %1)").arg(int(result));
            return false;
        }
        return true;
    }

private:
    struct Synthesis
    {
        const SampleSink* sink;
        bool stopped;
    };

    static int onSamples(short* wav, int count, espeak_EVENT* events)
    {
        auto* synthesis = events ? static_cast<Synthesis*>(events->user_data) : nullptr;
        if (!synthesis || synthesis->stopped)
            return 1;
        if (wav && count > 0 && !(*synthesis->sink)(wav, count))
            synthesis->stopped = true;
        return synthesis->stopped ? 1 : 0;
    }

    template <typename F>
    bool resolve(F& f, const char* name)
    {
        f = reinterpret_cast<F>(m_library.resolve(name));
        return f != nullptr;
    }

    bool resolveAll()
    {
        return resolve(m_initialize, "espeak_Initialize") && resolve(m_setCallback, "espeak_SetSynthCallback")
            && resolve(m_listVoices, "espeak_ListVoices") && resolve(m_setVoiceByName, "espeak_SetVoiceByName")
            && resolve(m_setParameter, "espeak_SetParameter") && resolve(m_synth, "espeak_Synth");
    }

    QLibrary m_library;
    int m_rate = 0;
    int (*m_initialize)(espeak_AUDIO_OUTPUT, int, const char*, int) = nullptr;
    void (*m_setCallback)(t_espeak_callback*) = nullptr;
    const espeak_VOICE** (*m_listVoices)(espeak_VOICE*) = nullptr;
    espeak_ERROR (*m_setVoiceByName)(const char*) = nullptr;
    espeak_ERROR (*m_setParameter)(espeak_PARAMETER, int, int) = nullptr;
    espeak_ERROR (*m_synth)(const void*, size_t, unsigned int, espeak_POSITION_TYPE, unsigned int, unsigned int,
                            unsigned int*, void*) = nullptr;
};

} // namespace

std::unique_ptr<SpeechSynthesizer> createEspeakSynthesizer(const QString& library)
{
    return std::make_unique<EspeakSynthesizer>(library);
}
