// The key map of the page, one table from KeyboardEvent.code to the virtual-key code.
#include "platform/web/web_keys.h"

#include "platform/Platform.h"

namespace lumivex {

namespace {

struct CodeKey {
    std::string_view Code;
    std::uint16_t Key;
};

// Keys whose code is not a run of letters, digits or function keys. The keypad keys here are the
// ones Num Lock leaves alone.
// clang-format off
constexpr CodeKey CodeKeys[] = {
    {"Backspace", VK_BACK},           {"Tab", VK_TAB},
    {"Enter", VK_RETURN},             {"NumpadEnter", VK_RETURN},
    {"ShiftLeft", VK_SHIFT},          {"ShiftRight", VK_SHIFT},
    {"ControlLeft", VK_CONTROL},      {"ControlRight", VK_CONTROL},
    {"AltLeft", VK_MENU},             {"AltRight", VK_MENU},
    {"Pause", VK_PAUSE},              {"CapsLock", VK_CAPITAL},
    {"Escape", VK_ESCAPE},            {"Space", VK_SPACE},
    {"PageUp", VK_PRIOR},             {"PageDown", VK_NEXT},
    {"End", VK_END},                  {"Home", VK_HOME},
    {"ArrowLeft", VK_LEFT},           {"ArrowUp", VK_UP},
    {"ArrowRight", VK_RIGHT},         {"ArrowDown", VK_DOWN},
    {"PrintScreen", VK_SNAPSHOT},     {"Insert", VK_INSERT},
    {"Delete", VK_DELETE},            {"MetaLeft", VK_LWIN},
    {"MetaRight", VK_RWIN},           {"ContextMenu", VK_APPS},
    {"NumpadMultiply", VK_MULTIPLY},  {"NumpadAdd", VK_ADD},
    {"NumpadComma", VK_SEPARATOR},    {"NumpadSubtract", VK_SUBTRACT},
    {"NumpadDivide", VK_DIVIDE},      {"NumLock", VK_NUMLOCK},
    {"ScrollLock", VK_SCROLL},        {"Semicolon", VK_OEM_1},
    {"Equal", VK_OEM_PLUS},           {"Comma", VK_OEM_COMMA},
    {"Minus", VK_OEM_MINUS},          {"Period", VK_OEM_PERIOD},
    {"Slash", VK_OEM_2},              {"Backquote", VK_OEM_3},
    {"BracketLeft", VK_OEM_4},        {"Backslash", VK_OEM_5},
    {"BracketRight", VK_OEM_6},       {"Quote", VK_OEM_7},
    {"IntlBackslash", VK_OEM_102},
};
// clang-format on

// Numpad0 to Numpad9 without Num Lock.
constexpr std::uint16_t KeypadNavigation[] = {VK_INSERT, VK_END,   VK_DOWN, VK_NEXT, VK_LEFT,
                                              VK_CLEAR,  VK_RIGHT, VK_HOME, VK_UP,   VK_PRIOR};

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
        return numLock ? VK_DECIMAL : VK_DELETE;
    if (const int number = NumberAfter(code, "F"); number >= 1 && number <= 24)
        return static_cast<std::uint16_t>(VK_F1 + number - 1);
    for (const CodeKey& entry : CodeKeys)
        if (entry.Code == code)
            return entry.Key;
    return VK_WEB_UNKNOWN;
}

} // namespace lumivex
