// The registry-export text (REGEDIT4 or "Windows Registry Editor Version 5.00") that holds the
// registry of a back end without one of its own: a file on Linux, wherever another back end keeps
// it (regfile_store.h). This is its parser and writer, kept free of OS calls and of storage so that
// every back end, the unit tests and the fuzzer can link it alone.
//
// Parsing never fails, and a save never holds less than the file did: a line that cannot be read
// (a comment, a damaged or unknown line) is kept where it stood and written back as it was, the
// text keeps its encoding, and values keep their registry types; strings are held as the narrow
// ("A") calls see them, with their NUL. Writing and parsing again gives the same document.
#pragma once

#include "platform/Platform.h"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumivex::regfile {

inline constexpr std::string_view Regedit4Header = "REGEDIT4";
inline constexpr std::string_view Regedit5Header = "Windows Registry Editor Version 5.00";

// How the file's bytes hold its text; a file is written back in the form it was read in.
enum class TextEncoding : std::uint8_t {
    Narrow,     // ANSI or UTF-8 bytes as they are
    Utf8Marked, // UTF-8 after the mark EF BB BF
    Utf16LE,    // after the mark FF FE, as regedit exports
    Utf16LEUnmarked,
    Utf16BE, // after the mark FE FF
    Utf16BEUnmarked,
};

// Where an entry stands among the lines of the file. Entries the program adds later stand after
// a line (Added counts them there) or after the end of the file.
struct Position {
    std::size_t Line = 0;
    std::size_t Added = 0;
    auto operator<=>(const Position&) const = default;
};

struct Value {
    std::string Name; // "" is the key's default value, written "@"
    RegistryValue Data;
    // Hex data of a string type read from a version 5 file stays UTF-16LE, as stored, so that
    // writing it again changes nothing; NarrowData gives what the program reads.
    bool Wide = false;
    Position At;
    // String data read from a UTF-16 file that holds an unpaired surrogate, kept in the three
    // bytes UTF-8 would give its code so that it is written back as it was; NarrowData gives
    // U+FFFD for it.
    bool LoneSurrogates = false;
};

struct Key {
    std::string Path; // full path as in the file, e.g. "HKEY_CURRENT_USER\Software\..."
    std::vector<Value> Values;
    // The line of every section that opened this key, in file order.
    std::vector<std::size_t> Sections;
};

// A line the parser does not take in as a key or value: a comment, a blank line, a line it cannot
// read, or a key deletion. Its text is as read, without the line end.
struct KeptLine {
    std::string Text;
    std::size_t Line = 0;
};

struct Document {
    // The version 5 format stores the hex data of string types as UTF-16LE.
    bool Version5 = false;
    bool Crlf = false; // line ends of the file read, kept when it is written again
    TextEncoding Encoding = TextEncoding::Narrow;
    // The bytes held something, but neither a header nor a registry section: whatever the file
    // is, it is not a registry file, and writing this document in its place would lose it.
    bool Foreign = false;
    std::vector<Key> Keys;
    std::vector<KeptLine> Kept; // in file order
    std::size_t NextLine = 0;   // where the next key added is placed: after every line read
};

Document Parse(std::string_view bytes);
// The file's bytes, in the document's encoding.
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
// Stores a narrow value, replacing one of the same name in place (a value written back as it
// was read keeps its stored form); a new value goes after the key's last entry.
void SetValue(Key& key, std::string_view name, std::uint32_t type, const std::uint8_t* data,
              std::size_t size);

} // namespace lumivex::regfile
