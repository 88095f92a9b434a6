// Parser and writer of the registry-export text file that stands in for the registry on Linux.
#include "platform/x11/x11_registry_file.h"

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

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
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

// UTF-16LE to UTF-8; an unpaired surrogate becomes U+FFFD and an odd last byte is dropped.
std::string Utf8FromUtf16(const std::uint8_t* data, std::size_t size) {
    std::string out;
    out.reserve(size);
    std::size_t units = size / 2;
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t unit = data[2 * i] | std::uint32_t(data[2 * i + 1]) << 8;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
            std::uint32_t next = data[2 * i + 2] | std::uint32_t(data[2 * i + 3]) << 8;
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

// UTF-8 to UTF-16LE; a byte that starts no valid sequence stands for itself (Latin-1).
std::vector<std::uint8_t> Utf16FromUtf8(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> out;
    out.reserve(size * 2);
    auto put = [&out](std::uint32_t unit) {
        out.push_back(std::uint8_t(unit));
        out.push_back(std::uint8_t(unit >> 8));
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
    std::string_view Next() {
        std::size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos)
            end = text_.size();
        std::string_view line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
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
        std::string_view next = TrimBlanks(lines.Peek());
        if (next.empty() || next.front() == '"' || next.front() == '@' || next.front() == '[' ||
            next.front() == ';')
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
    std::size_t OpenKey(std::string_view path) {
        auto [it, added] = keyIndex_.try_emplace(LowerCopy(path), keys_.size());
        if (added) {
            keys_.push_back(Entry{Key{std::string(path), {}}, {}, {}, true});
        }
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

    void SetValue(std::size_t key, std::string name, RegistryValue data, bool wide) {
        Entry& entry = keys_[key];
        auto [it, added] = entry.ValueIndex.try_emplace(LowerCopy(name), entry.Data.Values.size());
        if (added) {
            entry.Data.Values.push_back(Value{std::move(name), std::move(data), wide});
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

// One "name"=data line (and its continuation lines) of the current key.
void ParseValueLine(std::string_view line, LineReader& lines, Builder& builder, std::size_t key,
                    bool version5) {
    std::string name;
    std::string_view rest;
    if (line.front() == '@') {
        rest = line.substr(1);
    } else if (line.front() != '"' || !ParseQuoted(line, name, rest)) {
        return;
    }
    rest = TrimBlanks(rest);
    if (rest.empty() || rest.front() != '=')
        return;
    rest = TrimBlanks(rest.substr(1));

    if (rest == "-") {
        builder.DeleteValue(key, name);
        return;
    }
    RegistryValue data;
    bool wide = false;
    if (!rest.empty() && rest.front() == '"') {
        std::string text;
        std::string_view after;
        if (!ParseQuoted(rest, text, after))
            return;
        data.Type = REG_SZ;
        data.Data.assign(text.begin(), text.end());
        data.Data.push_back(0);
    } else if (StartsWithNoCase(rest, "dword:")) {
        std::uint32_t number = 0;
        if (!ParseHex32(TrimBlanks(rest.substr(6)), number))
            return;
        data.Type = REG_DWORD;
        data.Data = {std::uint8_t(number), std::uint8_t(number >> 8), std::uint8_t(number >> 16),
                     std::uint8_t(number >> 24)};
    } else if (StartsWithNoCase(rest, "hex")) {
        rest.remove_prefix(3);
        std::uint32_t type = REG_BINARY;
        if (!rest.empty() && rest.front() == '(') {
            std::size_t close = rest.find(')');
            if (close == std::string_view::npos || !ParseHex32(rest.substr(1, close - 1), type))
                return;
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != ':')
            return;
        data.Type = type;
        if (!ParseHexBytes(rest.substr(1), lines, data.Data))
            return;
        wide = version5 && IsStringType(type);
    } else {
        return; // a form this file format does not have
    }
    builder.SetValue(key, std::move(name), std::move(data), wide);
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
    std::string decoded;
    if (bytes.size() >= 2 && std::uint8_t(bytes[0]) == 0xFF && std::uint8_t(bytes[1]) == 0xFE) {
        // regedit writes version 5 files in UTF-16LE with a byte-order mark.
        decoded = Utf8FromUtf16(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2,
                                bytes.size() - 2);
        bytes = decoded;
    } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    std::size_t firstEnd = bytes.find('\n');
    document.Crlf =
        firstEnd != std::string_view::npos && firstEnd > 0 && bytes[firstEnd - 1] == '\r';

    LineReader lines(bytes);
    if (!lines.AtEnd()) {
        std::string_view header = TrimBlanks(lines.Peek());
        if (header == Regedit5Header) {
            document.Version5 = true;
            lines.Next();
        } else if (header == Regedit4Header) {
            lines.Next();
        }
        // Any other first line is read as content: what can be read is read.
    }

    Builder builder(document);
    constexpr std::size_t NoKey = std::size_t(-1);
    std::size_t current = NoKey;
    while (!lines.AtEnd()) {
        std::string_view line = TrimBlanks(lines.Next());
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            current = NoKey;
            std::size_t close = line.rfind(']');
            if (close == std::string_view::npos)
                continue; // a cut-off section: its values belong nowhere
            std::string_view path = TrimBlanks(line.substr(1, close - 1));
            if (!path.empty() && path.front() == '-') {
                path = TrimBlanks(path.substr(1));
                if (!path.empty())
                    builder.DeleteKeyTree(path);
                continue;
            }
            if (!path.empty())
                current = builder.OpenKey(path);
            continue;
        }
        if (current != NoKey)
            ParseValueLine(line, lines, builder, current, document.Version5);
    }
    builder.Finish();
    return document;
}

std::string Write(const Document& document) {
    const char* newline = document.Crlf ? "\r\n" : "\n";
    std::string out(document.Version5 ? Regedit5Header : Regedit4Header);
    out += newline;
    for (const Key& key : document.Keys) {
        out += newline;
        out += '[';
        out += key.Path;
        out += ']';
        out += newline;
        for (const Value& value : key.Values) {
            if (value.Name.empty())
                out += '@';
            else
                AppendQuoted(out, value.Name);
            out += '=';
            const auto& data = value.Data.Data;
            if (Quotable(value)) {
                AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(data.data()),
                                                   data.size() - 1));
            } else if (value.Data.Type == REG_DWORD && data.size() == 4) {
                static const char digits[] = "0123456789abcdef";
                out += "dword:";
                for (int i = 3; i >= 0; --i) {
                    out += digits[data[std::size_t(i)] >> 4];
                    out += digits[data[std::size_t(i)] & 15];
                }
            } else {
                std::string prefix = "hex";
                if (value.Data.Type != REG_BINARY) {
                    static const char digits[] = "0123456789abcdef";
                    std::string type;
                    for (std::uint32_t t = value.Data.Type; t != 0; t >>= 4)
                        type.insert(type.begin(), digits[t & 15]);
                    prefix += "(" + (type.empty() ? std::string("0") : type) + ")";
                }
                prefix += ':';
                // A version 5 file holds string data as UTF-16.
                if (document.Version5 && IsStringType(value.Data.Type) && !value.Wide)
                    AppendHex(out, prefix, Utf16FromUtf8(data.data(), data.size()), newline);
                else
                    AppendHex(out, prefix, data, newline);
            }
            out += newline;
        }
    }
    out += newline;
    return out;
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
    document.Keys.push_back(Key{std::string(path), {}});
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
    for (Value& existing : key.Values) {
        if (SameName(existing.Name, name)) {
            existing.Data = std::move(stored);
            existing.Wide = false;
            return;
        }
    }
    key.Values.push_back(Value{std::string(name), std::move(stored), false});
}

} // namespace lumivex::regfile
