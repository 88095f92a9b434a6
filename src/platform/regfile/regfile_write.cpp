// The writer of the registry text: the document's lines in file order, each value in the form
// that reads back as the same bytes.
#include "platform/regfile/regfile_text.h"

#include <algorithm>

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

// One entry of the written file: a section line, a value or a kept line.
struct Placed {
    Position At;
    const Key* key = nullptr;
    const Value* value = nullptr;
    const KeptLine* kept = nullptr;
};

// Every section line, value and kept line of the document, in the order they are written.
std::vector<Placed> InFileOrder(const Document& document) {
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
    return entries;
}

// The text, written one entry after the other.
class TextWriter {
  public:
    explicit TextWriter(const Document& document)
        : newline_(document.Crlf ? "\r\n" : "\n"), version5_(document.Version5),
          utf16_(IsUtf16(document.Encoding)),
          out_(document.Version5 ? Regedit5Header : Regedit4Header) {
        out_ += newline_;
    }

    void Kept(const KeptLine& line) {
        std::string_view text = TrimBlanks(line.Text);
        // A cut-off hex value kept as it was must not take a line it never had before as its
        // continuation: the lines between them were dropped.
        if (lastKept_ != nullptr && lastKept_->Line + 1 != line.Line &&
            EndsWithContinuation(lastKept_->Text) && MayContinueHex(text))
            out_ += newline_;
        out_ += line.Text;
        out_ += newline_;
        lastBlank_ = text.empty();
        if (!text.empty() && text.front() == '[')
            open_ = nullptr;
        lastKept_ = &line;
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
        lastKept_ = nullptr;
    }

    void Entry(const Key& key, const Value& value) {
        if (open_ != &key)
            Section(key);
        AppendValue(out_, value, version5_, utf16_, newline_);
        out_ += newline_;
        lastBlank_ = false;
        lastKept_ = nullptr;
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
    const Key* open_ = nullptr;          // the key a value line written now belongs to
    const KeptLine* lastKept_ = nullptr; // the line just written, when it was a kept one
};

} // namespace

std::string Write(const Document& document) {
    TextWriter writer(document);
    for (const Placed& entry : InFileOrder(document)) {
        if (entry.kept != nullptr)
            writer.Kept(*entry.kept);
        else if (entry.value == nullptr)
            writer.Section(*entry.key);
        else
            writer.Entry(*entry.key, *entry.value);
    }
    return Encode(writer.Finish(), document.Encoding);
}

} // namespace lumivex::regfile
