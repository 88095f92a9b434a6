// The key map: X key symbols to Windows virtual-key codes. Several symbols share a code where
// Windows has one key for them (both Shifts, the keypad's editing keys without Num Lock, every
// Alt including AltGr).
#include "platform/posix/posix_keys.h"

#include "platform/Platform.h"

#include <X11/keysym.h>

namespace lumivex {

namespace {

struct KeyRange {
    unsigned long First;
    unsigned long Last;
    std::uint16_t Code; // of First; the others follow in order
};

// Both cases of a letter are its upper-case code: Shift and Caps Lock leave the key alone.
// clang-format off
constexpr KeyRange KeyRanges[] = {
    {XK_a, XK_z, 'A'},
    {XK_A, XK_Z, 'A'},
    {XK_0, XK_9, '0'},
    {XK_KP_0, XK_KP_9, VK_NUMPAD0},
    {XK_F1, XK_F24, VK_F1},
};
// clang-format on

struct KeyEntry {
    unsigned long Keysym;
    std::uint16_t Code;
};

constexpr KeyEntry KeyCodes[] = {
    {XK_BackSpace, VK_BACK},
    {XK_Tab, VK_TAB},
    {XK_ISO_Left_Tab, VK_TAB},
    {XK_Clear, VK_CLEAR},
    {XK_KP_Begin, VK_CLEAR},
    {XK_Return, VK_RETURN},
    {XK_KP_Enter, VK_RETURN},
    {XK_Shift_L, VK_SHIFT},
    {XK_Shift_R, VK_SHIFT},
    {XK_Control_L, VK_CONTROL},
    {XK_Control_R, VK_CONTROL},
    {XK_Alt_L, VK_MENU},
    {XK_Alt_R, VK_MENU},
    {XK_Meta_L, VK_MENU},
    {XK_Meta_R, VK_MENU},
    {XK_ISO_Level3_Shift, VK_MENU},
    {XK_Mode_switch, VK_MENU},
    {XK_Pause, VK_PAUSE},
    {XK_Caps_Lock, VK_CAPITAL},
    {XK_Escape, VK_ESCAPE},
    {XK_space, VK_SPACE},
    {XK_KP_Space, VK_SPACE},
    {XK_Prior, VK_PRIOR},
    {XK_KP_Prior, VK_PRIOR},
    {XK_Next, VK_NEXT},
    {XK_KP_Next, VK_NEXT},
    {XK_End, VK_END},
    {XK_KP_End, VK_END},
    {XK_Home, VK_HOME},
    {XK_KP_Home, VK_HOME},
    {XK_Left, VK_LEFT},
    {XK_KP_Left, VK_LEFT},
    {XK_Up, VK_UP},
    {XK_KP_Up, VK_UP},
    {XK_Right, VK_RIGHT},
    {XK_KP_Right, VK_RIGHT},
    {XK_Down, VK_DOWN},
    {XK_KP_Down, VK_DOWN},
    {XK_Print, VK_SNAPSHOT},
    {XK_Insert, VK_INSERT},
    {XK_KP_Insert, VK_INSERT},
    {XK_Delete, VK_DELETE},
    {XK_KP_Delete, VK_DELETE},
    {XK_Super_L, VK_LWIN},
    {XK_Super_R, VK_RWIN},
    {XK_Menu, VK_APPS},
    {XK_KP_Multiply, VK_MULTIPLY},
    {XK_KP_Add, VK_ADD},
    {XK_KP_Separator, VK_SEPARATOR},
    {XK_KP_Subtract, VK_SUBTRACT},
    {XK_KP_Decimal, VK_DECIMAL},
    {XK_KP_Divide, VK_DIVIDE},
    {XK_Num_Lock, VK_NUMLOCK},
    {XK_Scroll_Lock, VK_SCROLL},
    {XK_semicolon, VK_OEM_1},
    {XK_equal, VK_OEM_PLUS},
    {XK_comma, VK_OEM_COMMA},
    {XK_minus, VK_OEM_MINUS},
    {XK_period, VK_OEM_PERIOD},
    {XK_slash, VK_OEM_2},
    {XK_grave, VK_OEM_3},
    {XK_bracketleft, VK_OEM_4},
    {XK_backslash, VK_OEM_5},
    {XK_bracketright, VK_OEM_6},
    {XK_apostrophe, VK_OEM_7},
    {XK_less, VK_OEM_102},
};

} // namespace

std::uint16_t VirtualKeyFromKeysym(unsigned long keysym) {
    for (const KeyRange& range : KeyRanges)
        if (keysym >= range.First && keysym <= range.Last)
            return static_cast<std::uint16_t>(range.Code + (keysym - range.First));
    for (const KeyEntry& key : KeyCodes)
        if (key.Keysym == keysym)
            return key.Code;
    return VK_UNKNOWN;
}

} // namespace lumivex
