// What the test DLLs share: a line appended to the file named by LUMIVEX_TEST_LOG, and the
// answer read from the file named by LUMIVEX_TEST_ANSWER. Both are Windows paths.
#pragma once

#include <windows.h>

namespace lumivex_test {

inline void Note(const char* line) {
    char path[MAX_PATH];
    if (GetEnvironmentVariableA("LUMIVEX_TEST_LOG", path, sizeof path) == 0)
        return;
    const HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line, lstrlenA(line), &written, nullptr);
    WriteFile(file, "\n", 1, &written, nullptr);
    CloseHandle(file);
}

inline char Answer() {
    char path[MAX_PATH];
    if (GetEnvironmentVariableA("LUMIVEX_TEST_ANSWER", path, sizeof path) == 0)
        return '0';
    const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return '0';
    char answer = '0';
    DWORD read = 0;
    ReadFile(file, &answer, 1, &read, nullptr);
    CloseHandle(file);
    return read == 1 ? answer : '0';
}

} // namespace lumivex_test
