// libFuzzer target for the registry file: any bytes parse without a crash, and what is written
// from the result reads back as the same document (keys, values, kept lines, encoding) and writes
// back as the same bytes.
#include "platform/regfile/regfile.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using namespace lumivex;

// Blank lines are layout: the writer adds one before a section where the file had none.
std::vector<std::string_view> KeptText(const regfile::Document& document) {
    std::vector<std::string_view> texts;
    regfile::ForEachKeptLine(document, [&texts](std::size_t, std::string_view line) {
        if (line.find_first_not_of(" \t") != std::string_view::npos)
            texts.push_back(line);
    });
    return texts;
}

bool SameDocument(const regfile::Document& a, const regfile::Document& b) {
    if (a.Version5 != b.Version5 || a.Crlf != b.Crlf || a.Encoding != b.Encoding ||
        a.Keys.size() != b.Keys.size() || KeptText(a) != KeptText(b))
        return false;
    for (std::size_t k = 0; k < a.Keys.size(); ++k) {
        const regfile::Key& x = a.Keys[k];
        const regfile::Key& y = b.Keys[k];
        if (x.Path != y.Path || x.Values.size() != y.Values.size())
            return false;
        for (std::size_t v = 0; v < x.Values.size(); ++v) {
            const regfile::Value& p = x.Values[v];
            const regfile::Value& q = y.Values[v];
            if (p.Name != q.Name || p.Wide != q.Wide || p.Data.Type != q.Data.Type ||
                p.Data.Data != q.Data.Data)
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    regfile::Document first = regfile::Parse(bytes);
    std::string text = regfile::Write(first);
    regfile::Document second = regfile::Parse(text);
    if (!SameDocument(first, second) || second.Foreign)
        std::abort();
    if (regfile::Write(second) != text)
        std::abort();
    // The program's own save: a changed value and a new one, in an existing key and a new key.
    const std::uint8_t number[4] = {7, 0, 0, 0};
    if (!second.Keys.empty())
        regfile::SetValue(second.Keys.back(), "Rest", REG_DWORD, number, 4);
    regfile::SetValue(regfile::AddKey(second, "HKEY_CURRENT_USER\\Software\\Added"), "Rest",
                      REG_DWORD, number, 4);
    regfile::Document third = regfile::Parse(regfile::Write(second));
    if (!SameDocument(second, third))
        std::abort();
    // Narrowing any stored value must not fault either.
    for (const regfile::Key& key : second.Keys)
        for (const regfile::Value& value : key.Values)
            (void)regfile::NarrowData(value);
    return 0;
}
