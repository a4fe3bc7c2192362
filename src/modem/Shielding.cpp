#include "Shielding.h"

#include "modem/DleCodes.h"

// Removing the pairs one at a time, codes in their fixed order, can never
// join a DLE with a later byte: the pair removed first is always the leftmost
// DLE DLE, and other pairs go only once no DLE DLE is left. So one pass from
// the left that drops each recognised pair gives the same result.
qsizetype stripShieldingInPlace(char* data, qsizetype size)
{
    qsizetype out = 0;
    qsizetype i = 0;
    while (i < size) {
        if (data[i] == DLE && i + 1 < size && isShieldedCode(uint8_t(data[i + 1]))) {
            i += 2;
            continue;
        }
        data[out++] = data[i++];
    }
    return out;
}

QByteArray StripShielding(QByteArray data)
{
    data.truncate(stripShieldingInPlace(data.data(), data.size()));
    return data;
}
