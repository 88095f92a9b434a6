// The registry on Linux is one text file in the registry-export format (REGEDIT4 or "Windows
// Registry Editor Version 5.00"). This is its parser and writer, kept free of X11 and of file
// access so the unit tests and the fuzzer can link it alone.
//
// Parsing never fails: a line that cannot be read is skipped and the rest is read. Values keep
// their registry types; strings are held as the narrow ("A") calls see them, with their NUL.
// Writing and parsing again gives the same document.
#pragma once

#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumivex::regfile {

inline constexpr std::string_view Regedit4Header = "REGEDIT4";
inline constexpr std::string_view Regedit5Header = "Windows Registry Editor Version 5.00";

struct Value {
    std::string Name; // "" is the key's default value, written "@"
    RegistryValue Data;
    // Hex data of a string type read from a version 5 file stays UTF-16LE, as stored, so that
    // writing it again changes nothing; NarrowData gives what the program reads.
    bool Wide = false;
};

struct Key {
    std::string Path; // full path as in the file, e.g. "HKEY_CURRENT_USER\Software\..."
    std::vector<Value> Values;
};

struct Document {
    // The version 5 format stores the hex data of string types as UTF-16LE.
    bool Version5 = false;
    bool Crlf = false; // line ends of the file read, kept when it is written again
    std::vector<Key> Keys;
};

Document Parse(std::string_view bytes);
std::string Write(const Document& document);

// Key paths and value names compare without regard to ASCII case, as on Windows.
bool SameName(std::string_view a, std::string_view b);

Key* FindKey(Document& document, std::string_view path);
const Key* FindKey(const Document& document, std::string_view path);
// True when the key has a section of its own or a section below it.
bool KeyExists(const Document& document, std::string_view path);
Key& AddKey(Document& document, std::string_view path);
const Value* FindValue(const Key& key, std::string_view name);
// Removes the value; false when there was none.
bool DeleteValue(Key& key, std::string_view name);
// The value as the narrow registry calls return it (UTF-16 string data turned into UTF-8).
RegistryValue NarrowData(const Value& value);
// Stores a narrow value, replacing one of the same name in place.
void SetValue(Key& key, std::string_view name, std::uint32_t type, const std::uint8_t* data,
              std::size_t size);

} // namespace lumivex::regfile
