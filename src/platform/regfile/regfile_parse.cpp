// The reader of the registry text: what can be read is taken in, the rest is kept as it stood.
#include "platform/regfile/regfile_text.h"

#include <map>
#include <unordered_map>

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
    explicit LineReader(std::string_view text) : text_(text) {}
    bool AtEnd() const { return pos_ >= text_.size(); }
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
    std::size_t pos_ = 0;
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

std::string LowerCopy(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = Lower(c);
    return out;
}

// Builds the document while the lines are read, with indexes so that a file of many keys or
// values is still read in n log n time. Deleted keys and values are left as tombstones and
// dropped at the end, which keeps indexes stable.
class Builder {
  public:
    explicit Builder(Document& document) : document_(document) {}

    // Returns the index of the key's entry, creating it when new.
    std::size_t OpenKey(std::string_view path, std::size_t line) {
        auto [it, added] = keyIndex_.try_emplace(LowerCopy(path), keys_.size());
        if (added)
            keys_.push_back(Entry{Key{std::string(path), {}, {}}, {}, {}, true});
        keys_[it->second].Data.Sections.push_back(line);
        return it->second;
    }

    void DeleteKeyTree(std::string_view path) {
        std::string lower = LowerCopy(path);
        auto drop = [this](std::map<std::string, std::size_t>::iterator it) {
            keys_[it->second].Alive = false;
            return keyIndex_.erase(it);
        };
        if (auto exact = keyIndex_.find(lower); exact != keyIndex_.end())
            drop(exact);
        // The keys below "path" sort between "path\\" and "path]" (']' follows '\\').
        auto last = keyIndex_.lower_bound(lower + ']');
        for (auto it = keyIndex_.lower_bound(lower + '\\'); it != last;)
            it = drop(it);
    }

    // A value given again keeps its first place and takes the last data.
    void SetValue(std::size_t key, std::string name, RegistryValue data, bool wide,
                  std::size_t line) {
        Entry& entry = keys_[key];
        auto [it, added] = entry.ValueIndex.try_emplace(LowerCopy(name), entry.Data.Values.size());
        if (added) {
            entry.Data.Values.push_back(Value{std::move(name), std::move(data), wide, {line, 0}});
            entry.ValueAlive.push_back(true);
        } else {
            Value& existing = entry.Data.Values[it->second];
            existing.Data = std::move(data);
            existing.Wide = wide;
        }
    }

    void DeleteValue(std::size_t key, std::string_view name) {
        Entry& entry = keys_[key];
        auto it = entry.ValueIndex.find(LowerCopy(name));
        if (it != entry.ValueIndex.end()) {
            entry.ValueAlive[it->second] = false;
            entry.ValueIndex.erase(it);
        }
    }

    void Finish() {
        for (Entry& entry : keys_) {
            if (!entry.Alive)
                continue;
            std::size_t kept = 0;
            for (std::size_t i = 0; i < entry.Data.Values.size(); ++i) {
                if (!entry.ValueAlive[i])
                    continue;
                if (kept != i) // a self-move would empty the value
                    entry.Data.Values[kept] = std::move(entry.Data.Values[i]);
                ++kept;
            }
            entry.Data.Values.resize(kept);
            document_.Keys.push_back(std::move(entry.Data));
        }
        keys_.clear();
        keyIndex_.clear();
    }

  private:
    struct Entry {
        struct Key Data;
        std::unordered_map<std::string, std::size_t> ValueIndex;
        std::vector<bool> ValueAlive;
        bool Alive;
    };
    Document& document_;
    std::vector<Entry> keys_;
    std::map<std::string, std::size_t> keyIndex_;
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

// Keeps the lines from `from` up to line `end` as they were read.
void Keep(LineReader from, std::size_t end, std::vector<KeptLine>& kept) {
    while (from.Number() < end) {
        std::size_t number = from.Number();
        std::string_view text = from.Next();
        // A stray CR would be taken for part of the line end when the file is read again.
        while (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        kept.push_back(KeptLine{std::string(text), number});
    }
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
    if (path.empty())
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

Document Parse(std::string_view bytes) {
    Document document;
    std::string decoded;
    bytes = DecodeText(bytes, document.Encoding, decoded);
    std::size_t firstEnd = bytes.find('\n');
    document.Crlf =
        firstEnd != std::string_view::npos && firstEnd > 0 && bytes[firstEnd - 1] == '\r';

    LineReader lines(bytes);
    bool recognised = ReadHeader(lines, document);
    Builder builder(document);
    std::size_t current = NoKey;
    bool content = false;
    while (!lines.AtEnd()) {
        LineReader start = lines;
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
            Keep(start, lines.Number(), document.Kept);
    }
    builder.Finish();
    if (IsUtf16(document.Encoding))
        for (Key& key : document.Keys)
            for (Value& value : key.Values)
                value.LoneSurrogates = !value.Wide && HoldsLoneSurrogate(value.Data.Data);
    document.Foreign = content && !recognised;
    document.NextLine = lines.Number();
    return document;
}

} // namespace lumivex::regfile
