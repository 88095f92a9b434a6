// The encodings a registry file's bytes may be in: ANSI or UTF-8, with or without a mark, and
// UTF-16 in either byte order, with or without one.
#include "platform/regfile/regfile_text.h"

namespace lumivex::regfile {

namespace {

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

bool IsBigEndian(TextEncoding encoding) {
    return encoding == TextEncoding::Utf16BE || encoding == TextEncoding::Utf16BEUnmarked;
}

} // namespace

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

bool IsUtf16(TextEncoding encoding) {
    return encoding != TextEncoding::Narrow && encoding != TextEncoding::Utf8Marked;
}

std::string Utf8FromUtf16(const std::uint8_t* data, std::size_t size, bool bigEndian,
                          bool keepLone) {
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
        AppendUtf8(out, (unit >= 0xD800 && unit < 0xE000 && !keepLone) ? 0xFFFD : unit);
    }
    return out;
}

std::vector<std::uint8_t> Utf16FromUtf8(const std::uint8_t* data, std::size_t size,
                                        bool bigEndian) {
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
        valid = valid && cp >= smallest[length] && cp <= 0x10FFFF;
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

std::string DecodeUtf16(std::string_view bytes, TextEncoding encoding) {
    return Utf8FromUtf16(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                         IsBigEndian(encoding), true);
}

std::string Encode(std::string&& text, TextEncoding encoding) {
    if (encoding == TextEncoding::Narrow)
        return std::move(text);
    if (encoding == TextEncoding::Utf8Marked)
        return std::move(text.insert(0, "\xEF\xBB\xBF"));
    bool big = IsBigEndian(encoding);
    std::vector<std::uint8_t> units =
        Utf16FromUtf8(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), big);
    std::string().swap(text); // the UTF-8 is not needed beside its twice as large UTF-16
    std::string out;
    out.reserve(units.size() + 2);
    if (encoding == TextEncoding::Utf16LE)
        out = "\xFF\xFE";
    else if (encoding == TextEncoding::Utf16BE)
        out = "\xFE\xFF";
    out.append(units.begin(), units.end());
    return out;
}

} // namespace lumivex::regfile
