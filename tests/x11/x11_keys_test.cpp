// Key symbols to the virtual-key codes of the saver window's key table. The expected codes are
// the Windows virtual-key numbers (winuser.h), written out by hand.
#include <gtest/gtest.h>

#include "platform/posix/posix_keys.h"

#include <X11/X.h>
#include <X11/keysym.h>

namespace lumivex {
namespace {

TEST(VirtualKeyFromKeysym, EachKeyHasTheCodeWindowsGivesIt) {
    // clang-format off
    const struct {
        unsigned long Keysym;
        int Code;
    } keys[] = {
        // Letters are their upper-case code whatever the case.
        {XK_a, 65}, {XK_t, 84}, {XK_T, 84}, {XK_v, 86}, {XK_w, 87}, {XK_z, 90}, {XK_Z, 90},
        // Main and keypad digits are distinct; the keypad's own plus and minus too.
        {XK_0, 48}, {XK_9, 57}, {XK_KP_0, 96}, {XK_KP_6, 102}, {XK_KP_9, 105},
        {XK_KP_Add, 107}, {XK_KP_Subtract, 109},
        // Without Num Lock the keypad reads as the arrows and editing keys, as on Windows.
        {XK_KP_Left, 37}, {XK_KP_Up, 38}, {XK_KP_Right, 39}, {XK_KP_Down, 40},
        {XK_KP_Delete, 46}, {XK_KP_Begin, 12},
        // The keys the saver window treats apart; every Alt, AltGr included, is the ignored one.
        {XK_Left, 37}, {XK_Up, 38}, {XK_Right, 39}, {XK_Down, 40}, {XK_Delete, 46},
        {XK_BackSpace, 8}, {XK_Escape, 27}, {XK_Caps_Lock, 20}, {XK_Num_Lock, 144},
        {XK_Alt_L, 18}, {XK_Alt_R, 18}, {XK_Meta_L, 18}, {XK_ISO_Level3_Shift, 18},
        // Other keys still arrive with their code, so that with Caps Lock off they end the saver.
        {XK_Shift_L, 16}, {XK_Control_R, 17}, {XK_space, 32}, {XK_Return, 13}, {XK_F1, 112},
        {XK_F12, 123}, {XK_F24, 135}, {XK_minus, 189}, {XK_less, 226},
        {XK_EuroSign, VK_UNKNOWN}, {NoSymbol, VK_UNKNOWN}};
    // clang-format on
    for (const auto& key : keys)
        EXPECT_EQ(VirtualKeyFromKeysym(key.Keysym), key.Code)
            << "keysym 0x" << std::hex << key.Keysym;
    EXPECT_NE(VK_UNKNOWN, 0);
}

} // namespace
} // namespace lumivex
