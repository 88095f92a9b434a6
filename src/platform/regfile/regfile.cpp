// Parser and writer of the registry-export text file that stands in for the registry on Linux.
#include "platform/regfile/regfile.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace lumivex::regfile {

namespace {

// Bytes of hex data per written line, so lines stay near 80 columns as regedit's do.
constexpr std::size_t HexBytesPerLine = 25;

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// A stray CR counts as blank, so that no line means something else once written with proper
// line ends.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}

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

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | cp >> 6);
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | cp >> 12);
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | cp >> 18);
        out += char(0x80 | (cp >> 12 & 0x3F));
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD and an odd last byte is dropped.
std::string Utf8FromUtf16(const std::uint8_t* data, std::size_t size, bool bigEndian = false) {
    std::string out;
    out.reserve(size);
    std::size_t units = size / 2;
    int low = bigEndian ? 1 : 0;
    auto unitAt = [&](std::size_t i) {
        return data[2 * i + low] | std::uint32_t(data[2 * i + 1 - low]) << 8;
    };
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
            std::uint32_t next = unitAt(i + 1);
            if (next >= 0xDC00 && next < 0xE000) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, (unit >= 0xD800 && unit < 0xE000) ? 0xFFFD : unit);
    }
    return out;
}

// UTF-8 to UTF-16; a byte that starts no valid sequence stands for itself (Latin-1).
std::vector<std::uint8_t> Utf16FromUtf8(const std::uint8_t* data, std::size_t size,
                                        bool bigEndian = false) {
    std::vector<std::uint8_t> out;
    out.reserve(size * 2);
    auto put = [&out, bigEndian](std::uint32_t unit) {
        out.push_back(std::uint8_t(bigEndian ? unit >> 8 : unit));
        out.push_back(std::uint8_t(bigEndian ? unit : unit >> 8));
    };
    std::size_t i = 0;
    while (i < size) {
        std::uint8_t lead = data[i];
        std::size_t length = lead < 0x80         ? 1
                             : (lead >> 5) == 6  ? 2
                             : (lead >> 4) == 14 ? 3
                             : (lead >> 3) == 30 ? 4
                                                 : 0;
        std::uint32_t cp = length == 1   ? lead
                           : length == 2 ? lead & 0x1Fu
                           : length == 3 ? lead & 0x0Fu
                                         : lead & 0x07u;
        bool valid = length != 0 && i + length <= size;
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (data[i + k] & 0xC0) == 0x80;
            cp = cp << 6 | (data[i + k] & 0x3Fu);
        }
        static const std::uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && cp >= smallest[length] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp < 0xE000);
        if (!valid) {
            put(lead);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
        i += length;
    }
    return out;
}

bool IsStringType(std::uint32_t type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
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

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
}

// A line ending in a backslash asks for the next one as more hex data.
bool EndsWithContinuation(std::string_view line) {
    line = TrimBlanks(line);
    return !line.empty() && line.back() == '\\';
}

// Whether a trimmed line can be more hex data; a new value, a section or a comment cannot.
bool MayContinueHex(std::string_view line) {
    return !line.empty() && std::string_view("\"@[;").find(line.front()) == std::string_view::npos;
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
        if (!continued)
            return true;
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

TextEncoding DetectEncoding(std::string_view bytes, std::size_t& markSize) {
    auto at = [bytes](std::size_t i) { return std::uint8_t(bytes[i]); };
    markSize = 2;
    if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE)
        return TextEncoding::Utf16LE;
    if (bytes.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF)
        return TextEncoding::Utf16BE;
    markSize = 3;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return TextEncoding::Utf8Marked;
    // Without a mark, UTF-16 shows itself in the zero half of the header's first characters.
    markSize = 0;
    if (bytes.size() >= 4 && at(0) != 0 && at(1) == 0 && at(2) != 0 && at(3) == 0)
        return TextEncoding::Utf16LEUnmarked;
    if (bytes.size() >= 4 && at(0) == 0 && at(1) != 0 && at(2) == 0 && at(3) != 0)
        return TextEncoding::Utf16BEUnmarked;
    return TextEncoding::Narrow;
}

bool IsBigEndian(TextEncoding encoding) {
    return encoding == TextEncoding::Utf16BE || encoding == TextEncoding::Utf16BEUnmarked;
}

bool IsUtf16(TextEncoding encoding) {
    return encoding != TextEncoding::Narrow && encoding != TextEncoding::Utf8Marked;
}

std::string Encode(const std::string& text, TextEncoding encoding) {
    if (encoding == TextEncoding::Narrow)
        return text;
    if (encoding == TextEncoding::Utf8Marked)
        return "\xEF\xBB\xBF" + text;
    bool big = IsBigEndian(encoding);
    std::string out;
    if (encoding == TextEncoding::Utf16LE)
        out = "\xFF\xFE";
    else if (encoding == TextEncoding::Utf16BE)
        out = "\xFE\xFF";
    std::vector<std::uint8_t> units =
        Utf16FromUtf8(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), big);
    out.append(units.begin(), units.end());
    return out;
}

void AppendHex(std::string& out, std::string_view prefix, const std::vector<std::uint8_t>& data,
               const char* newline) {
    static const char digits[] = "0123456789abcdef";
    out += prefix;
    for (std::size_t i = 0; i < data.size(); ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
        if (i + 1 < data.size()) {
            out += ',';
            if ((i + 1) % HexBytesPerLine == 0) {
                out += '\\';
                out += newline;
                out += "  ";
            }
        }
    }
}

// A string value goes in quotes when reading the quotes back gives the same bytes.
bool Quotable(const Value& value) {
    const auto& d = value.Data.Data;
    return value.Data.Type == REG_SZ && !value.Wide && !d.empty() && d.back() == 0 &&
           std::find(d.begin(), d.end(), std::uint8_t('\n')) == d.end();
}

// The value's line (and the continuation lines of long hex data), without the last line end.
void AppendValue(std::string& out, const Value& value, bool version5, const char* newline) {
    static const char digits[] = "0123456789abcdef";
    if (value.Name.empty())
        out += '@';
    else
        AppendQuoted(out, value.Name);
    out += '=';
    const auto& data = value.Data.Data;
    if (Quotable(value)) {
        AppendQuoted(out,
                     std::string_view(reinterpret_cast<const char*>(data.data()), data.size() - 1));
    } else if (value.Data.Type == REG_DWORD && data.size() == 4) {
        out += "dword:";
        for (int i = 3; i >= 0; --i) {
            out += digits[data[std::size_t(i)] >> 4];
            out += digits[data[std::size_t(i)] & 15];
        }
    } else {
        std::string prefix = "hex";
        if (value.Data.Type != REG_BINARY) {
            std::string type;
            for (std::uint32_t t = value.Data.Type; t != 0; t >>= 4)
                type.insert(type.begin(), digits[t & 15]);
            prefix += "(" + (type.empty() ? std::string("0") : type) + ")";
        }
        prefix += ':';
        // A version 5 file holds string data as UTF-16.
        if (version5 && IsStringType(value.Data.Type) && !value.Wide)
            AppendHex(out, prefix, Utf16FromUtf8(data.data(), data.size()), newline);
        else
            AppendHex(out, prefix, data, newline);
    }
}

// One entry of the written file: a section line, a value or a kept line.
struct Placed {
    Position At;
    const Key* key = nullptr;
    const Value* value = nullptr;
    const KeptLine* kept = nullptr;
};

} // namespace

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

Document Parse(std::string_view bytes) {
    Document document;
    std::size_t markSize = 0;
    document.Encoding = DetectEncoding(bytes, markSize);
    bytes.remove_prefix(markSize);
    std::string decoded;
    if (IsUtf16(document.Encoding)) {
        decoded = Utf8FromUtf16(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                IsBigEndian(document.Encoding));
        bytes = decoded;
    }
    std::size_t firstEnd = bytes.find('\n');
    document.Crlf =
        firstEnd != std::string_view::npos && firstEnd > 0 && bytes[firstEnd - 1] == '\r';

    LineReader lines(bytes);
    bool recognised = false;
    if (!lines.AtEnd()) {
        std::string_view header = TrimBlanks(lines.Peek());
        recognised = header == Regedit5Header || header == Regedit4Header;
        document.Version5 = header == Regedit5Header;
        if (recognised)
            lines.Next();
        // Any other first line is read as content: what can be read is read.
    }

    Builder builder(document);
    constexpr std::size_t NoKey = std::size_t(-1);
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
            current = NoKey;
            std::size_t close = line.rfind(']');
            // Without its bracket the section was cut off: its values belong nowhere.
            std::string_view path =
                close == std::string_view::npos ? "" : TrimBlanks(line.substr(1, close - 1));
            bool deletion = !path.empty() && path.front() == '-';
            if (deletion)
                path = TrimBlanks(path.substr(1));
            recognised = recognised || StartsWithNoCase(path, "HKEY_");
            if (deletion && !path.empty()) {
                // Kept as well: the values after it belong nowhere, also when read again.
                builder.DeleteKeyTree(path);
            } else if (!deletion && !path.empty()) {
                current = builder.OpenKey(path, number);
                understood = true;
            }
        } else if (current != NoKey) {
            understood = ParseValueLine(line, lines, builder, current, number, document.Version5);
        }
        if (!understood)
            Keep(start, lines.Number(), document.Kept);
    }
    builder.Finish();
    document.Foreign = content && !recognised;
    document.NextLine = lines.Number();
    return document;
}

std::string Write(const Document& document) {
    std::vector<Placed> entries;
    for (const KeptLine& line : document.Kept)
        entries.push_back(Placed{{line.Line, 0}, nullptr, nullptr, &line});
    for (const Key& key : document.Keys) {
        for (std::size_t line : key.Sections)
            entries.push_back(Placed{{line, 0}, &key, nullptr, nullptr});
        for (const Value& value : key.Values)
            entries.push_back(Placed{value.At, &key, &value, nullptr});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Placed& a, const Placed& b) { return a.At < b.At; });

    const char* newline = document.Crlf ? "\r\n" : "\n";
    std::string out(document.Version5 ? Regedit5Header : Regedit4Header);
    out += newline;
    bool lastBlank = false;
    const Key* open = nullptr;          // the key a value line written now belongs to
    const KeptLine* lastKept = nullptr; // the line just written, when it was a kept one
    auto section = [&](const Key& key) {
        if (!lastBlank)
            out += newline;
        out += '[';
        out += key.Path;
        out += ']';
        out += newline;
        open = &key;
        lastBlank = false;
    };
    for (const Placed& entry : entries) {
        if (entry.kept != nullptr) {
            std::string_view text = TrimBlanks(entry.kept->Text);
            // A cut-off hex value kept as it was must not take a line it never had before as
            // its continuation: the lines between them were dropped.
            if (lastKept != nullptr && lastKept->Line + 1 != entry.kept->Line &&
                EndsWithContinuation(lastKept->Text) && MayContinueHex(text))
                out += newline;
            out += entry.kept->Text;
            out += newline;
            lastBlank = text.empty();
            if (!text.empty() && text.front() == '[')
                open = nullptr;
            lastKept = entry.kept;
            continue;
        }
        lastKept = nullptr;
        if (entry.value == nullptr) {
            section(*entry.key);
            continue;
        }
        if (open != entry.key)
            section(*entry.key);
        AppendValue(out, *entry.value, document.Version5, newline);
        out += newline;
        lastBlank = false;
    }
    if (!lastBlank)
        out += newline;
    return Encode(out, document.Encoding);
}

Key* FindKey(Document& document, std::string_view path) {
    for (Key& key : document.Keys)
        if (SameName(key.Path, path))
            return &key;
    return nullptr;
}

const Key* FindKey(const Document& document, std::string_view path) {
    return FindKey(const_cast<Document&>(document), path);
}

bool KeyExists(const Document& document, std::string_view path) {
    for (const Key& key : document.Keys) {
        std::string_view p = key.Path;
        if (SameName(p, path) || (p.size() > path.size() && p[path.size()] == '\\' &&
                                  SameName(p.substr(0, path.size()), path)))
            return true;
    }
    return false;
}

Key& AddKey(Document& document, std::string_view path) {
    if (Key* existing = FindKey(document, path))
        return *existing;
    document.Keys.push_back(Key{std::string(path), {}, {document.NextLine++}});
    return document.Keys.back();
}

const Value* FindValue(const Key& key, std::string_view name) {
    for (const Value& value : key.Values)
        if (SameName(value.Name, name))
            return &value;
    return nullptr;
}

bool DeleteValue(Key& key, std::string_view name) {
    return std::erase_if(key.Values,
                         [name](const Value& value) { return SameName(value.Name, name); }) != 0;
}

RegistryValue NarrowData(const Value& value) {
    if (!value.Wide)
        return value.Data;
    RegistryValue narrow;
    narrow.Type = value.Data.Type;
    std::string text = Utf8FromUtf16(value.Data.Data.data(), value.Data.Data.size());
    narrow.Data.assign(text.begin(), text.end());
    return narrow;
}

void SetValue(Key& key, std::string_view name, std::uint32_t type, const std::uint8_t* data,
              std::size_t size) {
    RegistryValue stored;
    stored.Type = type;
    stored.Data.assign(data, data + size);
    Position last;
    if (!key.Sections.empty())
        last.Line = key.Sections.back();
    for (Value& existing : key.Values) {
        if (SameName(existing.Name, name)) {
            existing.Data = std::move(stored);
            existing.Wide = false;
            return;
        }
        last = std::max(last, existing.At);
    }
    key.Values.push_back(
        Value{std::string(name), std::move(stored), false, {last.Line, last.Added + 1}});
}

} // namespace lumivex::regfile
