// The writer of the registry text: the document's lines in file order, each value in the form
// that reads back as the same bytes.
#include "platform/regfile/regfile_text.h"

#include <algorithm>
#include <tuple>

namespace lumivex::regfile {

namespace {

// Bytes of hex data per written line, so lines stay near 80 columns as regedit's do.
constexpr std::size_t HexBytesPerLine = 25;

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
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

// A string value goes in quotes when reading the quotes back gives the same bytes; in a UTF-16
// file that takes text UTF-16 can hold (bytes that are no UTF-8 would come back changed).
bool Quotable(const Value& value, bool utf16) {
    const auto& d = value.Data.Data;
    if (value.Data.Type != REG_SZ || value.Wide || d.empty() || d.back() != 0 ||
        std::find(d.begin(), d.end(), std::uint8_t('\n')) != d.end())
        return false;
    if (!utf16)
        return true;
    const std::vector<std::uint8_t> units = Utf16FromUtf8(d.data(), d.size());
    const std::string back = Utf8FromUtf16(units.data(), units.size(), false, true);
    return std::equal(d.begin(), d.end(), back.begin(), back.end(),
                      [](std::uint8_t a, char b) { return a == std::uint8_t(b); });
}

// The value's line (and the continuation lines of long hex data), without the last line end.
void AppendValue(std::string& out, const Value& value, bool version5, bool utf16,
                 const char* newline) {
    static const char digits[] = "0123456789abcdef";
    if (value.Name.empty())
        out += '@';
    else
        AppendQuoted(out, value.Name);
    out += '=';
    const auto& data = value.Data.Data;
    if (Quotable(value, utf16)) {
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
            // Appended piece by piece: GCC 12 takes "(" + type for overlapping copies at -O3.
            prefix += '(';
            prefix += type.empty() ? std::string("0") : type;
            prefix += ')';
        }
        prefix += ':';
        // A version 5 file holds string data as UTF-16.
        if (version5 && IsStringType(value.Data.Type) && !value.Wide)
            AppendHex(out, prefix, Utf16FromUtf8(data.data(), data.size()), newline);
        else
            AppendHex(out, prefix, data, newline);
    }
}

// A section line of a key, in 16 bytes so that the sections of a file of many keys are put in
// file order in little more memory than their text.
struct PlacedSection {
    std::size_t Line;
    std::uint32_t KeyIndex;
    std::uint32_t Index; // among the key's sections
    bool operator<(const PlacedSection& other) const {
        return std::tie(Line, KeyIndex) < std::tie(other.Line, other.KeyIndex);
    }
};

// Every section line of the document, in file order.
std::vector<PlacedSection> SectionsInFileOrder(const Document& document) {
    std::size_t count = 0;
    for (const Key& key : document.Keys)
        count += key.Sections.size();
    std::vector<PlacedSection> sections;
    sections.reserve(count);
    for (std::size_t k = 0; k < document.Keys.size(); ++k)
        for (std::size_t i = 0; i < document.Keys[k].Sections.size(); ++i)
            sections.push_back({document.Keys[k].Sections[i], std::uint32_t(k), std::uint32_t(i)});
    std::sort(sections.begin(), sections.end());
    return sections;
}

// The text, written one entry after the other.
class TextWriter {
  public:
    explicit TextWriter(const Document& document)
        : newline_(document.Crlf ? "\r\n" : "\n"), version5_(document.Version5),
          utf16_(IsUtf16(document.Encoding)) {
        // Written back, a file is about as long as it was read; room for a mark and a few values
        // more keeps the text from being copied as it grows.
        out_.reserve(document.Text.size() + document.Text.size() / 16 + 4096);
        out_ += document.Version5 ? Regedit5Header : Regedit4Header;
        out_ += newline_;
    }

    void Kept(std::size_t number, std::string_view line) {
        std::string_view text = TrimBlanks(line);
        // A cut-off hex value kept as it was must not take a line it never had before as its
        // continuation: the lines between them were dropped.
        if (lastKept_ && lastKeptLine_ + 1 != number && EndsWithContinuation(lastKeptText_) &&
            MayContinueHex(text))
            out_ += newline_;
        out_ += line;
        out_ += newline_;
        lastBlank_ = text.empty();
        if (!text.empty() && text.front() == '[')
            open_ = nullptr;
        lastKept_ = true;
        lastKeptLine_ = number;
        lastKeptText_ = line;
    }

    void Section(const Key& key) {
        if (!lastBlank_)
            out_ += newline_;
        out_ += '[';
        out_ += key.Path;
        out_ += ']';
        out_ += newline_;
        open_ = &key;
        lastBlank_ = false;
        lastKept_ = false;
    }

    void Entry(const Key& key, const Value& value) {
        if (open_ != &key)
            Section(key);
        AppendValue(out_, value, version5_, utf16_, newline_);
        out_ += newline_;
        lastBlank_ = false;
        lastKept_ = false;
    }

    std::string Finish() {
        if (!lastBlank_)
            out_ += newline_;
        return std::move(out_);
    }

  private:
    const char* newline_;
    bool version5_;
    bool utf16_;
    std::string out_;
    bool lastBlank_ = false;
    const Key* open_ = nullptr; // the key a value line written now belongs to
    // The line just written, when it was a kept one.
    bool lastKept_ = false;
    std::size_t lastKeptLine_ = 0;
    std::string_view lastKeptText_;
};

} // namespace

// The document in file order. Only kept lines can stand between a section and the values that
// follow it (a key's values are in file order, each after the key's section it was read under, or
// after the key's last entry when added), so the sections are ordered and the rest merged in.
std::string Write(const Document& document) {
    TextWriter writer(document);
    auto run = document.Kept.begin();
    auto keepBefore = [&](Position at) {
        for (; run != document.Kept.end() && Position{run->Line, 0} < at; ++run)
            ForEachKeptLine(document.Text, *run,
                            [&writer](std::size_t number, std::string_view line) {
                                writer.Kept(number, line);
                            });
    };
    for (const PlacedSection& section : SectionsInFileOrder(document)) {
        const Key& key = document.Keys[section.KeyIndex];
        keepBefore({section.Line, 0});
        writer.Section(key);
        // Its values: up to the key's next section; those of the first also from before it.
        auto value = key.Values.begin(), end = key.Values.end();
        auto byPlace = [](const Value& v, Position at) { return v.At < at; };
        if (section.Index > 0)
            value = std::lower_bound(value, end, Position{section.Line, 0}, byPlace);
        if (section.Index + 1 < key.Sections.size())
            end =
                std::lower_bound(value, end, Position{key.Sections[section.Index + 1], 0}, byPlace);
        for (; value != end; ++value) {
            keepBefore(value->At);
            writer.Entry(key, *value);
        }
    }
    keepBefore({std::size_t(-1), 0});
    return Encode(writer.Finish(), document.Encoding);
}

} // namespace lumivex::regfile
