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

#include <algorithm>
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
    Position At;
    // Hex data of a string type read from a version 5 file stays UTF-16LE, as stored, so that
    // writing it again changes nothing; NarrowData gives what the program reads.
    bool Wide = false;
    // String data read from a UTF-16 file that holds an unpaired surrogate, kept in the three
    // bytes UTF-8 would give its code so that it is written back as it was; NarrowData gives
    // U+FFFD for it.
    bool LoneSurrogates = false;
};

// The lines of the sections that opened a key, in file order. Nearly every key has one, which is
// held without an allocation of its own.
class SectionLines {
  public:
    SectionLines() = default;
    explicit SectionLines(std::size_t line) : first_(line) {}
    std::size_t size() const { return empty() ? 0 : 1 + more_.size(); }
    bool empty() const { return first_ == None; }
    std::size_t operator[](std::size_t i) const { return i == 0 ? first_ : more_[i - 1]; }
    std::size_t back() const { return more_.empty() ? first_ : more_.back(); }
    void push_back(std::size_t line) {
        if (empty())
            first_ = line;
        else
            more_.push_back(line);
    }
    void clear() {
        first_ = None;
        more_.clear();
    }

  private:
    static constexpr std::size_t None = std::size_t(-1);
    std::size_t first_ = None;
    std::vector<std::size_t> more_;
};

struct Key {
    std::string Path; // full path as in the file, e.g. "HKEY_CURRENT_USER\Software\..."
    std::vector<Value> Values;
    // The line of every section that opened this key, in file order.
    SectionLines Sections;
};

// Lines the parser does not take in as keys or values: comments, blank lines, lines it cannot
// read, key deletions. A run of them that follow each other in the file is kept as one range of
// the document's Text, so that a file of a million blank lines costs no more than its bytes.
struct KeptLines {
    std::size_t Begin = 0; // in Document::Text
    std::size_t Line = 0;  // of the first
    std::size_t Count = 0;
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
    // The bytes read, or their text as UTF-8 when they were UTF-16; the kept lines are ranges of
    // it.
    std::string Text;
    std::vector<KeptLines> Kept; // in file order
    std::size_t NextLine = 0;    // where the next key added is placed: after every line read
};

// Calls visit(line number, text) for every line of a run of kept lines of `text`; the text is as
// read, without its line end or a stray CR before it, as it is written back.
template <typename Visit>
void ForEachKeptLine(std::string_view text, const KeptLines& run, Visit&& visit) {
    std::size_t begin = run.Begin;
    for (std::size_t n = 0; n < run.Count; ++n) {
        const std::size_t end = std::min(text.find('\n', begin), text.size());
        std::string_view line = text.substr(begin, end - begin);
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        visit(run.Line + n, line);
        begin = end + 1;
    }
}

// The same for every kept line of the document, in file order.
template <typename Visit> void ForEachKeptLine(const Document& document, Visit&& visit) {
    for (const KeptLines& run : document.Kept)
        ForEachKeptLine(document.Text, run, visit);
}

Document Parse(std::string_view bytes);
// As Parse, for a caller that needs the bytes no more: they become the document's text instead of
// being copied (a huge file is not held twice). When the document is foreign it comes back empty
// but for Foreign, and `bytes` still holds them, to be kept aside.
Document ParseTaking(std::string& bytes);
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
