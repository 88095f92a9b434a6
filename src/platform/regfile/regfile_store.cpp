// The registry calls over a registry-export text read and written whole by a Storage.
#include "platform/regfile/regfile_store.h"

#include <cerrno>

namespace lumivex::regfile {

namespace {

constexpr std::string_view RootName = "HKEY_CURRENT_USER\\";

std::string FullPath(const std::string& path) {
    return std::string(RootName) + path;
}

} // namespace

void Store::LoadWhenIdle(std::uint32_t& error) {
    if (!open_.empty())
        return;
    document_ = Document{};
    dirty_ = false;
    foreign_.clear();
    StoredText stored = storage_.Read();
    writable_ = stored.State != StoredText::Failed;
    readError_ = writable_ ? 0 : stored.Error;
    if (readError_ != 0)
        error = readError_;
    // What was read of a text that failed part way is used; it is only never written over. A
    // foreign text holds nothing of ours to read.
    document_ = ParseTaking(stored.Bytes);
    if (document_.Foreign && writable_)
        foreign_ = std::move(stored.Bytes);
}

KeyHandle Store::Add(std::string path, RegAccess access) {
    KeyHandle handle = nextHandle_++;
    open_[handle] = {std::move(path), access};
    return handle;
}

const Store::OpenKeyEntry* Store::Find(KeyHandle key, std::uint32_t& error) const {
    auto found = open_.find(key);
    if (found == open_.end()) {
        error = EBADF;
        return nullptr;
    }
    return &found->second;
}

KeyHandle Store::OpenKey(const std::string& path, RegAccess access, std::uint32_t& error) {
    LoadWhenIdle(error);
    std::string full = FullPath(path);
    if (!KeyExists(document_, full)) {
        error = ENOENT;
        return 0;
    }
    if (access == RegAccess::AllAccess && !CanWrite()) {
        error = EACCES;
        return 0;
    }
    return Add(std::move(full), access);
}

KeyHandle Store::CreateKey(const std::string& path, std::uint32_t& error) {
    LoadWhenIdle(error);
    if (!CanWrite()) {
        error = readError_ != 0 ? readError_ : EACCES;
        return 0;
    }
    std::string full = FullPath(path);
    if (FindKey(document_, full) == nullptr) {
        AddKey(document_, full);
        dirty_ = true;
    }
    return Add(std::move(full), RegAccess::AllAccess);
}

bool Store::QueryValue(KeyHandle key, const std::string& name, RegistryValue& value,
                       std::uint32_t& error) const {
    const OpenKeyEntry* open = Find(key, error);
    if (open == nullptr)
        return false;
    const Key* found = FindKey(document_, open->path);
    const Value* stored = found != nullptr ? FindValue(*found, name) : nullptr;
    if (stored == nullptr) {
        error = ENOENT;
        return false;
    }
    value = NarrowData(*stored);
    return true;
}

bool Store::SetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                     const std::uint8_t* data, std::size_t size, std::uint32_t& error) {
    const OpenKeyEntry* open = Find(key, error);
    if (open == nullptr)
        return false;
    if (open->access != RegAccess::AllAccess) {
        error = EACCES;
        return false;
    }
    regfile::SetValue(AddKey(document_, open->path), name, type, data, size);
    dirty_ = true;
    return true;
}

bool Store::CloseKey(KeyHandle key, std::uint32_t& error) {
    if (open_.erase(key) == 0) {
        error = EBADF;
        return false;
    }
    if (!open_.empty())
        return true;
    const std::uint32_t failed = dirty_ ? Commit() : 0;
    if (failed != 0)
        error = failed;
    // The next open reads the text again.
    document_ = Document{};
    return failed == 0;
}

std::uint32_t Store::Commit() {
    if (!writable_)
        return EACCES;
    if (std::uint32_t error = storage_.Write(Write(document_), foreign_); error != 0)
        return error;
    foreign_.clear();
    dirty_ = false;
    return 0;
}

} // namespace lumivex::regfile
