// The document's keys and values as the registry calls see them.
#include "platform/regfile/regfile_text.h"

#include <algorithm>

namespace lumivex::regfile {

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
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
    document.Keys.push_back(Key{std::string(path), {}, SectionLines(document.NextLine++)});
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
    if (!value.Wide && !value.LoneSurrogates)
        return value.Data;
    RegistryValue narrow;
    narrow.Type = value.Data.Type;
    const std::vector<std::uint8_t>& data = value.Data.Data;
    std::vector<std::uint8_t> units;
    if (!value.Wide) // the text of a UTF-16 file, taken back to UTF-16 to read it as before
        units = Utf16FromUtf8(data.data(), data.size());
    const std::vector<std::uint8_t>& wide = value.Wide ? data : units;
    std::string text = Utf8FromUtf16(wide.data(), wide.size());
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
            // What was read, written back, keeps the form it was stored in: bytes that reading
            // narrowed (UTF-16 data, an unpaired surrogate) are not lost.
            const RegistryValue read = NarrowData(existing);
            if (read.Type == type && read.Data == stored.Data)
                return;
            existing.Data = std::move(stored);
            existing.Wide = false;
            existing.LoneSurrogates = false;
            return;
        }
        last = std::max(last, existing.At);
    }
    key.Values.push_back(
        Value{std::string(name), std::move(stored), {last.Line, last.Added + 1}, false});
}

} // namespace lumivex::regfile
