// libFuzzer target for the registry file: any bytes parse without a crash, and what is written
// from the result reads back as the same document and writes back as the same text.
#include "platform/x11/x11_registry_file.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using namespace lumivex;

bool SameDocument(const regfile::Document& a, const regfile::Document& b) {
    if (a.Version5 != b.Version5 || a.Keys.size() != b.Keys.size())
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
    if (!SameDocument(first, second))
        std::abort();
    if (regfile::Write(second) != text)
        std::abort();
    // Narrowing any stored value must not fault either.
    for (const regfile::Key& key : second.Keys)
        for (const regfile::Value& value : key.Values)
            (void)regfile::NarrowData(value);
    return 0;
}
