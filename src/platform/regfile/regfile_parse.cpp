// The reader of the registry text: what can be read is taken in, the rest is kept as it stood.
#include "platform/regfile/regfile_text.h"

#include <algorithm>
#include <map>
#include <unordered_set>

namespace lumivex::regfile {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// 1 to 8 hex digits, nothing else.
bool ParseHex32(std::string_view text, std::uint32_t& out) {
    if (text.empty() || text.size() > 8)
        return false;
    out = 0;
    for (char c : text) {
        int digit = HexDigit(c);
        if (digit < 0)
            return false;
        out = out << 4 | std::uint32_t(digit);
    }
    return true;
}

// Reads the file one line at a time; a line ends at LF, and one CR before it is dropped.
class LineReader {
  public:
    // Lines of `text` from `start` on; Offset counts from the start of `text`.
    LineReader(std::string_view text, std::size_t start) : text_(text), pos_(start) {}
    bool AtEnd() const { return pos_ >= text_.size(); }
    // Where the line Next returns starts; the text's size once it is read.
    std::size_t Offset() const { return std::min(pos_, text_.size()); }
    std::size_t Number() const { return number_; } // of the line Next returns
    std::string_view Next() {
        std::size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos)
            end = text_.size();
        std::string_view line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        ++number_;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return line;
    }
    std::string_view Peek() const {
        LineReader copy = *this;
        return copy.Next();
    }

  private:
    std::string_view text_;
    std::size_t pos_;
    std::size_t number_ = 0;
};

// A quoted text starting at text[0] == '"'; \" and \\ are escapes, any other backslash stands
// for itself. On success `rest` is what follows the closing quote.
bool ParseQuoted(std::string_view text, std::string& out, std::string_view& rest) {
    out.clear();
    for (std::size_t i = 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            rest = text.substr(i + 1);
            return true;
        }
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\'))
            c = text[++i];
        out += c;
    }
    return false; // no closing quote: a truncated line
}

// Where the text read from a UTF-16 file holds an unpaired surrogate: ED A0..BF, never valid
// UTF-8, so it cannot stand for anything else there.
bool HoldsLoneSurrogate(const std::vector<std::uint8_t>& text) {
    for (std::size_t i = 0; i + 2 < text.size(); ++i)
        if (text[i] == 0xED && text[i + 1] >= 0xA0)
            return true;
    return false;
}

// The comma-separated bytes after "hex...:", joining continuation lines that end in a
// backslash. False when any byte is malformed or the data was cut off.
bool ParseHexBytes(std::string_view first, LineReader& lines, std::vector<std::uint8_t>& out) {
    std::string_view part = TrimBlanks(first);
    for (;;) {
        bool continued = !part.empty() && part.back() == '\\';
        if (continued)
            part.remove_suffix(1);
        std::size_t start = 0;
        while (start <= part.size()) {
            std::size_t comma = part.find(',', start);
            std::size_t end = comma == std::string_view::npos ? part.size() : comma;
            std::string_view token = TrimBlanks(part.substr(start, end - start));
            if (token.empty()) {
                // Only a trailing comma (or no data at all) leaves an empty token.
                if (comma != std::string_view::npos)
                    return false;
            } else {
                std::uint32_t byte = 0;
                if (token.size() > 2 || !ParseHex32(token, byte))
                    return false;
                out.push_back(std::uint8_t(byte));
            }
            if (comma == std::string_view::npos)
                break;
            start = comma + 1;
        }
        // Data that ends in a comma without asking for a next line was cut off there.
        if (!continued)
            return part.empty() || part.back() != ',';
        // A continuation must be more hex data; a new value or section means the data was
        // cut off, and that line is left to be read on its own.
        if (lines.AtEnd())
            return false;
        if (!MayContinueHex(TrimBlanks(lines.Peek())))
            return false;
        part = TrimBlanks(lines.Next());
    }
}

// Orders key paths as their lower-case forms would compare, byte by byte.
struct NoCaseLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        const std::size_t n = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < n; ++i) {
            if (a[i] == b[i]) // paths share long prefixes: the common case, first
                continue;
            const auto x = std::uint8_t(Lower(a[i])), y = std::uint8_t(Lower(b[i]));
            if (x != y)
                return x < y;
        }
        return a.size() < b.size();
    }
};

// FNV-1a of the lower-case text.
std::size_t NoCaseHash(std::string_view text, std::size_t seed) {
    std::uint64_t hash = seed ^ 0xcbf29ce484222325u;
    for (char c : text)
        hash = (hash ^ std::uint8_t(Lower(c))) * 0x100000001b3u;
    return std::size_t(hash);
}

// A value marked deleted while the file is read; dropped at the end.
constexpr std::size_t DeletedLine = std::size_t(-1);

// Builds the document's keys while the lines are read, with indexes so that a file of many keys
// or values is still read in n log n time. The indexes hold no text of their own: key paths are
// views of the text read, values are found through their key. Deleted keys (no section left) and
// values are dropped at the end, which keeps the indexes' positions stable.
class Builder {
  public:
    explicit Builder(Document& document)
        : keys_(document.Keys), values_(0, ValueHash{&keys_}, ValueEqual{&keys_}) {
        // As many keys as there are sections at most, and room for the few the program adds: the
        // keys are never copied as they grow.
        const std::string_view text = document.Text;
        std::size_t sections = ProgramKeys;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t start = text.find_first_not_of(" \t\r", at);
            sections += start < text.size() && text[start] == '[';
            at = std::min(text.find('\n', at), text.size() - 1) + 1;
        }
        keys_.reserve(sections);
    }

    // Returns the index of the key's entry, creating it when new.
    std::size_t OpenKey(std::string_view path, std::size_t line) {
        auto [it, added] = keyIndex_.try_emplace(path, keys_.size());
        if (added)
            keys_.push_back(Key{std::string(path), {}, {}});
        keys_[it->second].Sections.push_back(line);
        return it->second;
    }

    void DeleteKeyTree(std::string_view path) {
        auto drop = [this](KeyIndex::iterator it) {
            keys_[it->second].Sections.clear();
            return keyIndex_.erase(it);
        };
        if (auto exact = keyIndex_.find(path); exact != keyIndex_.end())
            drop(exact);
        // The keys below "path" sort between "path\\" and "path]" (']' follows '\\').
        const std::string below = std::string(path) + '\\';
        auto last = keyIndex_.lower_bound(std::string(path) + ']');
        for (auto it = keyIndex_.lower_bound(below); it != last;)
            it = drop(it);
    }

    // A value given again keeps its first place and takes the last data.
    void SetValue(std::size_t key, std::string name, RegistryValue data, bool wide,
                  std::size_t line) {
        std::vector<Value>& values = keys_[key].Values;
        if (const std::size_t found = FindValue(key, name); found != NotFound) {
            values[found].Data = std::move(data);
            values[found].Wide = wide;
            return;
        }
        values.push_back(Value{std::move(name), std::move(data), {line, 0}, wide});
        if (values.size() == ScannedValues + 1) {
            for (std::size_t i = 0; i < values.size(); ++i)
                if (values[i].At.Line != DeletedLine)
                    values_.insert(std::uint64_t(key) << 32 | i);
        } else if (values.size() > ScannedValues) {
            values_.insert(std::uint64_t(key) << 32 | (values.size() - 1));
        }
    }

    void DeleteValue(std::size_t key, std::string_view name) {
        if (const std::size_t found = FindValue(key, name); found != NotFound) {
            keys_[key].Values[found].At.Line = DeletedLine;
            values_.erase(std::uint64_t(key) << 32 | found);
        }
    }

    void Finish() {
        keyIndex_.clear();
        values_.clear();
        std::erase_if(keys_, [](const Key& key) { return key.Sections.empty(); });
        for (Key& key : keys_)
            std::erase_if(key.Values,
                          [](const Value& value) { return value.At.Line == DeletedLine; });
    }

  private:
    static constexpr std::size_t ProgramKeys = 16;
    static constexpr std::size_t NotFound = std::size_t(-1);
    // A key's first values are found by looking at each; a key with more has them indexed.
    static constexpr std::size_t ScannedValues = 16;

    std::size_t FindValue(std::size_t key, std::string_view name) const {
        const std::vector<Value>& values = keys_[key].Values;
        if (values.size() > ScannedValues) {
            const auto it = values_.find(ValueName{key, name});
            return it == values_.end() ? NotFound : std::size_t(*it & 0xFFFFFFFFu);
        }
        for (std::size_t i = 0; i < values.size(); ++i)
            if (values[i].At.Line != DeletedLine && SameName(values[i].Name, name))
                return i;
        return NotFound;
    }

    // A value of a key is indexed as (key << 32 | its place among the key's values).
    struct ValueName {
        std::size_t Key;
        std::string_view Name;
    };
    struct ValueHash {
        using is_transparent = void;
        const std::vector<Key>* keys;
        std::size_t operator()(const ValueName& v) const { return NoCaseHash(v.Name, v.Key); }
        std::size_t operator()(std::uint64_t v) const { return (*this)(Resolve(*keys, v)); }
    };
    struct ValueEqual {
        using is_transparent = void;
        const std::vector<Key>* keys;
        bool operator()(const ValueName& a, std::uint64_t b) const {
            const ValueName named = Resolve(*keys, b);
            return a.Key == named.Key && SameName(a.Name, named.Name);
        }
        bool operator()(std::uint64_t a, const ValueName& b) const { return (*this)(b, a); }
        bool operator()(std::uint64_t a, std::uint64_t b) const { return a == b; }
    };
    static ValueName Resolve(const std::vector<Key>& keys, std::uint64_t v) {
        const std::size_t key = std::size_t(v >> 32);
        return {key, keys[key].Values[std::size_t(v & 0xFFFFFFFFu)].Name};
    }
    using KeyIndex = std::map<std::string_view, std::size_t, NoCaseLess>;

    std::vector<Key>& keys_;
    KeyIndex keyIndex_; // views of the text read, which outlives the builder
    std::unordered_set<std::uint64_t, ValueHash, ValueEqual> values_;
};

// One "name"=data line (and its continuation lines) of the current key. False when the line is
// not one this format has, or its data is damaged.
bool ParseValueLine(std::string_view line, LineReader& lines, Builder& builder, std::size_t key,
                    std::size_t number, bool version5) {
    std::string name;
    std::string_view rest;
    if (line.front() == '@') {
        rest = line.substr(1);
    } else if (line.front() != '"' || !ParseQuoted(line, name, rest)) {
        return false;
    }
    rest = TrimBlanks(rest);
    if (rest.empty() || rest.front() != '=')
        return false;
    rest = TrimBlanks(rest.substr(1));

    if (rest == "-") {
        builder.DeleteValue(key, name);
        return true;
    }
    RegistryValue data;
    bool wide = false;
    if (!rest.empty() && rest.front() == '"') {
        std::string text;
        std::string_view after;
        if (!ParseQuoted(rest, text, after))
            return false;
        data.Type = REG_SZ;
        data.Data.assign(text.begin(), text.end());
        data.Data.push_back(0);
    } else if (StartsWithNoCase(rest, "dword:")) {
        std::uint32_t number32 = 0;
        if (!ParseHex32(TrimBlanks(rest.substr(6)), number32))
            return false;
        data.Type = REG_DWORD;
        data.Data = {std::uint8_t(number32), std::uint8_t(number32 >> 8),
                     std::uint8_t(number32 >> 16), std::uint8_t(number32 >> 24)};
    } else if (StartsWithNoCase(rest, "hex")) {
        rest.remove_prefix(3);
        std::uint32_t type = REG_BINARY;
        if (!rest.empty() && rest.front() == '(') {
            std::size_t close = rest.find(')');
            if (close == std::string_view::npos || !ParseHex32(rest.substr(1, close - 1), type))
                return false;
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != ':')
            return false;
        data.Type = type;
        if (!ParseHexBytes(rest.substr(1), lines, data.Data))
            return false;
        wide = version5 && IsStringType(type);
    } else {
        return false; // a form this file format does not have
    }
    builder.SetValue(key, std::move(name), std::move(data), wide, number);
    return true;
}

// Keeps the lines from `from` up to where `to` stands as they were read, joined to the run of
// kept lines just before them.
void Keep(const LineReader& from, const LineReader& to, std::vector<KeptLines>& kept) {
    const std::size_t count = to.Number() - from.Number();
    if (!kept.empty() && kept.back().Line + kept.back().Count == from.Number()) {
        kept.back().Count += count;
        return;
    }
    kept.push_back(KeptLines{from.Offset(), from.Number(), count});
}

constexpr std::size_t NoKey = std::size_t(-1);

// Takes the header line when there is one; any other first line is read as content: what can be
// read is read. True when the header is a registry file's.
bool ReadHeader(LineReader& lines, Document& document) {
    if (lines.AtEnd())
        return false;
    std::string_view header = TrimBlanks(lines.Peek());
    document.Version5 = header == Regedit5Header;
    if (header != Regedit5Header && header != Regedit4Header)
        return false;
    lines.Next();
    return true;
}

// A "[path]" or "[-path]" line; `current` becomes the key its values go to, NoKey when none.
// `recognised` is set when it names a registry root. False when the line is to be kept as read.
bool ReadSection(std::string_view line, std::size_t number, Builder& builder, std::size_t& current,
                 bool& recognised) {
    current = NoKey;
    std::size_t close = line.rfind(']');
    // Without its bracket the section was cut off: its values belong nowhere.
    std::string_view path =
        close == std::string_view::npos ? "" : TrimBlanks(line.substr(1, close - 1));
    bool deletion = !path.empty() && path.front() == '-';
    if (deletion)
        path = TrimBlanks(path.substr(1));
    recognised = recognised || StartsWithNoCase(path, "HKEY_");
    // Text after the bracket (a value behind a space or a lone CR) is no part of any form this
    // file has: the line is kept as read, and the values under it belong nowhere, as after a
    // cut-off section, so that a save writes all of them back as they were.
    if (path.empty() || !TrimBlanks(line.substr(close + 1)).empty())
        return false;
    if (deletion) {
        // Kept as well: the values after it belong nowhere, also when read again.
        builder.DeleteKeyTree(path);
        return false;
    }
    current = builder.OpenKey(path, number);
    return true;
}

} // namespace

namespace {

// Reads the document's Text from `start` on.
void ReadText(Document& document, std::size_t start) {
    const std::string_view text = document.Text;
    const std::size_t firstEnd = text.find('\n', start);
    document.Crlf =
        firstEnd != std::string_view::npos && firstEnd > start && text[firstEnd - 1] == '\r';

    LineReader lines(text, start);
    bool recognised = ReadHeader(lines, document);
    Builder builder(document);
    std::size_t current = NoKey;
    bool content = false;
    while (!lines.AtEnd()) {
        LineReader from = lines;
        std::size_t number = lines.Number();
        std::string_view line = TrimBlanks(lines.Next());
        bool understood = false;
        content = content || !line.empty();
        if (line.empty() || line.front() == ';') {
            // kept as it is
        } else if (line.front() == '[') {
            understood = ReadSection(line, number, builder, current, recognised);
        } else if (current != NoKey) {
            understood = ParseValueLine(line, lines, builder, current, number, document.Version5);
        }
        if (!understood)
            Keep(from, lines, document.Kept);
    }
    builder.Finish();
    if (IsUtf16(document.Encoding))
        for (Key& key : document.Keys)
            for (Value& value : key.Values)
                value.LoneSurrogates = !value.Wide && HoldsLoneSurrogate(value.Data.Data);
    document.Foreign = content && !recognised;
    document.NextLine = lines.Number();
}

} // namespace

Document Parse(std::string_view bytes) {
    Document document;
    std::size_t mark = 0;
    document.Encoding = DetectEncoding(bytes, mark);
    if (IsUtf16(document.Encoding)) {
        document.Text = DecodeUtf16(bytes.substr(mark), document.Encoding);
        mark = 0;
    } else {
        document.Text = bytes;
    }
    ReadText(document, mark);
    return document;
}

Document ParseTaking(std::string& bytes) {
    std::size_t mark = 0;
    if (IsUtf16(DetectEncoding(bytes, mark))) {
        Document document = Parse(bytes); // decoded: a new text anyway
        if (!document.Foreign)
            std::string().swap(bytes);
        return document;
    }
    Document document;
    document.Encoding = DetectEncoding(bytes, mark);
    document.Text = std::move(bytes);
    ReadText(document, mark);
    if (document.Foreign) {
        bytes = std::move(document.Text);
        Document foreign;
        foreign.Foreign = true;
        return foreign;
    }
    return document;
}

} // namespace lumivex::regfile
