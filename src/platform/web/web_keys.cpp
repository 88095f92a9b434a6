// The key map of the page, one table from KeyboardEvent.code to the virtual-key code.
#include "platform/web/web_keys.h"

#include "platform/Platform.h"

#include <array>
#include <utility>

namespace lumivex {

namespace {

struct CodeKey {
    std::string_view Code;
    std::uint16_t Key;
};

// Keys whose code is not a run of letters, digits or function keys. The keypad keys here are the
// ones Num Lock leaves alone.
constexpr std::array<CodeKey, 47> CodeKeys{{
    {"Backspace", VK_BACK},
    {"Tab", 9},
    {"Enter", 13},
    {"NumpadEnter", 13},
    {"ShiftLeft", 16},
    {"ShiftRight", 16},
    {"ControlLeft", 17},
    {"ControlRight", 17},
    {"AltLeft", VK_MENU},
    {"AltRight", VK_MENU},
    {"Pause", 19},
    {"CapsLock", VK_CAPITAL},
    {"Escape", VK_ESCAPE},
    {"Space", 32},
    {"PageUp", 33},
    {"PageDown", 34},
    {"End", 35},
    {"Home", 36},
    {"ArrowLeft", VK_LEFT},
    {"ArrowUp", VK_UP},
    {"ArrowRight", VK_RIGHT},
    {"ArrowDown", VK_DOWN},
    {"PrintScreen", 44},
    {"Insert", 45},
    {"Delete", VK_DELETE},
    {"MetaLeft", 91},
    {"MetaRight", 92},
    {"ContextMenu", 93},
    {"NumpadMultiply", 106},
    {"NumpadAdd", VK_ADD},
    {"NumpadComma", 108},
    {"NumpadSubtract", VK_SUBTRACT},
    {"NumpadDivide", 111},
    {"NumLock", VK_NUMLOCK},
    {"ScrollLock", 145},
    {"Semicolon", 186},
    {"Equal", 187},
    {"Comma", 188},
    {"Minus", 189},
    {"Period", 190},
    {"Slash", 191},
    {"Backquote", 192},
    {"BracketLeft", 219},
    {"Backslash", 220},
    {"BracketRight", 221},
    {"Quote", 222},
    {"IntlBackslash", 226},
}};

// Numpad0 to Numpad9 without Num Lock: Insert, End, Down, Page Down, Left, Clear, Right, Home,
// Up, Page Up.
constexpr std::array<std::uint16_t, 10> KeypadNavigation{45, 35,       40, 34,    VK_LEFT,
                                                         12, VK_RIGHT, 36, VK_UP, 33};

// The number after `prefix` in `code` ("F12" -> 12), or -1.
int NumberAfter(std::string_view code, std::string_view prefix) {
    if (code.size() <= prefix.size() || code.size() > prefix.size() + 2 ||
        code.substr(0, prefix.size()) != prefix)
        return -1;
    int number = 0;
    for (char c : code.substr(prefix.size())) {
        if (c < '0' || c > '9')
            return -1;
        number = number * 10 + (c - '0');
    }
    return number;
}

} // namespace

std::uint16_t VirtualKeyFromCode(std::string_view code, bool numLock) {
    if (code.size() == 4 && code.substr(0, 3) == "Key" && code[3] >= 'A' && code[3] <= 'Z')
        return static_cast<std::uint16_t>(code[3]);
    if (const int digit = NumberAfter(code, "Digit"); digit >= 0 && digit <= 9)
        return static_cast<std::uint16_t>('0' + digit);
    if (const int digit = NumberAfter(code, "Numpad"); digit >= 0 && digit <= 9)
        return numLock ? static_cast<std::uint16_t>(VK_NUMPAD0 + digit) : KeypadNavigation[digit];
    if (code == "NumpadDecimal")
        return numLock ? 110 : VK_DELETE;
    if (const int number = NumberAfter(code, "F"); number >= 1 && number <= 24)
        return static_cast<std::uint16_t>(111 + number);
    for (const CodeKey& entry : CodeKeys)
        if (entry.Code == code)
            return entry.Key;
    return VK_WEB_UNKNOWN;
}

} // namespace lumivex
