#include "Log.h"

#include <cstdio>

namespace sim {

std::string printable(const std::string& bytes)
{
    std::string text;
    for (char c : bytes) {
        if (c == 0x10)
            text += "<DLE>";
        else if (c == '\r')
            text += "\\r";
        else if (c == '\n')
            text += "\\n";
        else if (uint8_t(c) < 0x20 || uint8_t(c) >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<%02X>", unsigned(uint8_t(c)));
            text += hex;
        } else
            text.push_back(c);
    }
    return text;
}

} // namespace sim
