// For the registry file tests: settings files in the encodings regedit and editors write.
#pragma once

#include <string>

namespace lumivex {

// ASCII text as UTF-16 after `mark` (the byte-order mark, or nothing).
inline std::string Utf16(const std::string& ascii, bool bigEndian = false,
                         std::string mark = "\xFF\xFE") {
    for (char c : ascii) {
        mark += bigEndian ? '\0' : c;
        mark += bigEndian ? c : '\0';
    }
    return mark;
}

} // namespace lumivex
