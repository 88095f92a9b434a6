// The registry of the current user for a back end that has none of its own: the keys and values
// live in one registry-export text (see regfile.h), kept wherever the back end keeps it. The store
// gives the registry calls of the Platform interface their Windows meaning over that text; a
// Storage reads and replaces the text as a whole.
//
// The text is read afresh when the first key is opened, so each load and each save of the
// settings sees what other programs wrote since, and written once when the last key is closed
// after something changed. Every key, value and line the program does not own is written back.
// A text that could not be read completely is never written over: saving fails instead of losing
// what it holds. A text that is not registry text at all is handed to the storage to keep aside.
//
// Error codes are errno numbers (<cerrno>), which the back ends using the store report from
// GetLastError.
//
// Plugging in a back end: implement Storage over the place the text lives (posix_registry.cpp keeps
// it in a file), hold one Storage and one Store over it for the program's life, and forward the
// five registry calls, e.g. `return store_.OpenKey(path, access, lastError_);`. A browser keeps
// the text in one localStorage item: Read is getItem (null: Absent; an exception: Failed), CanWrite
// is true (a full quota shows when writing), Write is setItem, after setting a foreign text aside
// under an item of its own. The text is then, character for character, the file the Linux program
// writes.
#pragma once

#include "platform/Platform.h"
#include "platform/regfile/regfile.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace lumivex::regfile {

// What a Storage read gave.
struct StoredText {
    enum Status {
        Read,   // Bytes is the whole text
        Absent, // nothing is stored yet: a first run
        Failed, // Error says why; Bytes holds what could be read, which is used but never
                // written over
    };
    Status State = Absent;
    std::string Bytes;
    std::uint32_t Error = 0;
};

// Where the registry text is kept: a file, a browser's local storage, ...
class Storage {
  public:
    virtual ~Storage() = default;
    // The whole text as stored now.
    virtual StoredText Read() = 0;
    // Whether a write may succeed (a read-only file cannot be), asked before a key is opened for
    // writing so that the open fails, not the save.
    virtual bool CanWrite() = 0;
    // Replaces the text as one step: a reader sees the old text or the new one, and after a
    // failure the old one is still there. `foreign`, when not empty, is what the storage held and
    // is not registry text: it is kept elsewhere first, never over an earlier copy, and when it
    // cannot be nothing is written. 0 on success, else the error code.
    virtual std::uint32_t Write(std::string_view text, std::string_view foreign) = 0;
};

// The registry calls of the Platform interface, under HKEY_CURRENT_USER, with key paths relative
// to it. A call that fails puts its error code in `error`; one that succeeds leaves it alone,
// except that an open reports there a failed read of the storage even when the key opens.
class Store {
  public:
    explicit Store(Storage& storage) : storage_(storage) {}
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    KeyHandle OpenKey(const std::string& path, RegAccess access, std::uint32_t& error);
    KeyHandle CreateKey(const std::string& path, std::uint32_t& error);
    bool QueryValue(KeyHandle key, const std::string& name, RegistryValue& value,
                    std::uint32_t& error) const;
    bool SetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                  const std::uint8_t* data, std::size_t size, std::uint32_t& error);
    // Closing the last open key writes the text when a key or value was added or changed; false
    // when that failed.
    bool CloseKey(KeyHandle key, std::uint32_t& error);

  private:
    struct OpenKeyEntry {
        std::string path; // full path, with the root name
        RegAccess access;
    };
    // Reads the text afresh when no key is open.
    void LoadWhenIdle(std::uint32_t& error);
    bool CanWrite() const { return writable_ && storage_.CanWrite(); }
    KeyHandle Add(std::string path, RegAccess access);
    const OpenKeyEntry* Find(KeyHandle key, std::uint32_t& error) const;
    std::uint32_t Commit();

    Storage& storage_;
    Document document_;
    bool writable_ = true;        // false when the text was not read completely
    std::uint32_t readError_ = 0; // why
    bool dirty_ = false;
    // The bytes of a stored text that is not registry text, kept aside before it is replaced.
    std::string foreign_;
    std::map<KeyHandle, OpenKeyEntry> open_;
    KeyHandle nextHandle_ = 1;
};

} // namespace lumivex::regfile
