// Pieces of the registry text shared by its reader and its writer: blanks, names, the line forms
// that continue hex data, and the encodings the file's bytes may be in. For the regfile sources
// only; the interface is regfile.h.
#pragma once

#include "platform/regfile/regfile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumivex::regfile {

inline char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// A stray CR counts as blank, so that no line means something else once written with proper
// line ends.
inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

inline std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}

inline bool IsStringType(std::uint32_t type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// A line ending in a backslash asks for the next one as more hex data.
inline bool EndsWithContinuation(std::string_view line) {
    line = TrimBlanks(line);
    return !line.empty() && line.back() == '\\';
}

// Whether a trimmed line can be more hex data; a new value, a section or a comment cannot.
inline bool MayContinueHex(std::string_view line) {
    return !line.empty() && std::string_view("\"@[;").find(line.front()) == std::string_view::npos;
}

// UTF-16 to UTF-8; an odd last byte is dropped. An unpaired surrogate becomes U+FFFD, or with
// `keepLone` the three bytes UTF-8 would give its code (as WTF-8 does), so that Utf16FromUtf8
// gives it back: a file's text must survive being read and written.
std::string Utf8FromUtf16(const std::uint8_t* data, std::size_t size, bool bigEndian = false,
                          bool keepLone = false);
// UTF-8 to UTF-16; a byte that starts no valid sequence stands for itself (Latin-1). The three
// bytes of a surrogate's code give that surrogate back.
std::vector<std::uint8_t> Utf16FromUtf8(const std::uint8_t* data, std::size_t size,
                                        bool bigEndian = false);
bool IsUtf16(TextEncoding encoding);
// The encoding the file's bytes are in, and the size of their byte-order mark.
TextEncoding DetectEncoding(std::string_view bytes, std::size_t& markSize);
// The text of UTF-16 bytes (after their mark) as UTF-8.
std::string DecodeUtf16(std::string_view bytes, TextEncoding encoding);
// The file's bytes for the text, in `encoding`, with its mark.
std::string Encode(std::string&& text, TextEncoding encoding);

} // namespace lumivex::regfile
