#include "SoundBackend.h"

#include <QMutex>

namespace {

struct Registry
{
    QMutex mutex;
    std::vector<std::shared_ptr<SoundBackend>> backends;
    bool builtIn = false;
};

Registry& registry()
{
    static Registry r;
    return r;
}

} // namespace

void registerSoundBackend(std::shared_ptr<SoundBackend> backend)
{
    soundBackends(); // the built-in ones first
    QMutexLocker lock(&registry().mutex);
    auto& all = registry().backends;
    std::erase_if(all, [&](const auto& b) { return b->name() == backend->name(); });
    all.insert(all.end() - 1, std::move(backend)); // the virtual device stays last
}

std::vector<std::shared_ptr<SoundBackend>> soundBackends()
{
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    if (!r.builtIn) {
        r.builtIn = true;
        r.backends.push_back(portAudioBackend());
        r.backends.push_back(VirtualSoundDevice::instance());
    }
    return r.backends;
}

std::vector<SoundDevice> soundDevices()
{
    std::vector<SoundDevice> all;
    for (const auto& backend : soundBackends()) {
        const std::vector<SoundDeviceInfo> infos = backend->devices();
        for (size_t i = 0; i < infos.size(); ++i)
            all.push_back({backend, int(i), infos[i]});
    }
    return all;
}

std::optional<SoundDevice> defaultSoundDevice(bool output)
{
    std::optional<SoundDevice> fallback;
    for (const SoundDevice& d : soundDevices()) {
        const bool usable = output ? d.info.outputChannels > 0 : d.info.inputChannels > 0;
        if (!usable)
            continue;
        if (d.backend->isReal() && (output ? d.info.defaultOutput : d.info.defaultInput))
            return d;
        if (!fallback || (!fallback->backend->isReal() && d.backend->isReal()))
            fallback = d; // a real card that is not marked default beats the virtual device
    }
    return fallback;
}

int soundDeviceNumber(const SoundDevice& device)
{
    const std::vector<SoundDevice> all = soundDevices();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].backend == device.backend && all[i].index == device.index)
            return int(i);
    return -1;
}

bool haveRealSoundDevice()
{
    for (const SoundDevice& d : soundDevices())
        if (d.backend->isReal())
            return true;
    return false;
}
