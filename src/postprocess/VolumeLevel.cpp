#include "postprocess/VolumeLevel.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace postprocess {

void applyVolumeLevel(uint8_t* audio, size_t size, int percent, const Progress& progress)
{
    const double factor = 1.0 + percent / 100.0;
    // A sample's result depends on its value alone: one table of 256.
    std::array<uint8_t, 256> result{};
    for (int x = 0; x < 256; ++x)
        result[size_t(x)] = uint8_t(std::clamp(std::nearbyint(factor * (x - 128)) + 128.0, 0.0, 255.0));
    const size_t step = size / 100;
    for (size_t done = 0; done < size;) {
        const size_t end = step == 0 ? size : std::min(size, done + step);
        for (size_t i = done; i < end; ++i)
            audio[i] = result[audio[i]];
        done = end;
        if (step != 0 && progress)
            progress(int(std::nearbyint(double(done - 1) / double(size) * 100.0)));
    }
}

} // namespace postprocess
