#include "Shielding.h"

#include "modem/DleCodes.h"

QByteArray StripShielding(QByteArrayView data)
{
    QByteArray out;
    out.reserve(data.size());
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char c = data[i];
        if (c != DLE || i + 1 == data.size()) {
            out.append(c);
            continue;
        }
        const auto code = uint8_t(data[i + 1]);
        if (code == uint8_t(DLE))
            out.append(DLE);
        else if (!isShieldedCode(code))
            out.append(c).append(char(code));
        ++i;
    }
    return out;
}

qsizetype shieldVoiceData(const char* data, qsizetype size, char* out)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < size; ++i) {
        out[n++] = data[i];
        if (data[i] == DLE)
            out[n++] = DLE;
    }
    return n;
}

QByteArray ShieldVoiceData(QByteArrayView data)
{
    QByteArray out(data.size() * 2, Qt::Uninitialized);
    out.truncate(shieldVoiceData(data.data(), data.size(), out.data()));
    return out;
}
