// Key symbols to the virtual-key codes of the saver window's key table. The expected codes are
// the Windows virtual-key numbers (winuser.h), written out by hand.
// GoogleTest goes before Xlib, whose None macro breaks it.
#include <gtest/gtest.h>

#include "platform/x11/x11_window.h"

#include <X11/keysym.h>

namespace lumivex {
namespace {

TEST(VirtualKeyFromKeysym, LettersAreTheirUpperCaseCodeWhateverTheCase) {
    EXPECT_EQ(VirtualKeyFromKeysym(XK_t), 84);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_T), 84);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_v), 86);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_w), 87);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_a), 65);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_z), 90);
}

TEST(VirtualKeyFromKeysym, MainAndKeypadDigitsAreDistinct) {
    EXPECT_EQ(VirtualKeyFromKeysym(XK_0), 48);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_9), 57);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_KP_0), 96);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_KP_6), 102);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_KP_9), 105);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_KP_Add), 107);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_KP_Subtract), 109);
}

// Without Num Lock the keypad reads as the editing keys, exactly as on Windows.
TEST(VirtualKeyFromKeysym, KeypadWithoutNumLockIsArrowsAndEditingKeys) {
    EXPECT_EQ(VirtualKeyFromKeysym(XK_KP_Up), 38);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_KP_Right), 39);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_KP_Down), 40);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_KP_Left), 37);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_KP_Delete), 46);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_KP_Begin), 12);
}

TEST(VirtualKeyFromKeysym, KeysTheSaverWindowTreatsApart) {
    EXPECT_EQ(VirtualKeyFromKeysym(XK_Up), 38);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_Down), 40);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_Left), 37);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_Right), 39);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_Delete), 46);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_BackSpace), 8);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_Escape), 27);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_Caps_Lock), 20);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_Num_Lock), 144);
    // Every Alt, AltGr included, is the one key that is ignored.
    EXPECT_EQ(VirtualKeyFromKeysym(XK_Alt_L), 18);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_Alt_R), 18);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_Meta_L), 18);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_ISO_Level3_Shift), 18);
}

// Keys outside the table still arrive, so that with Caps Lock off they end the saver.
TEST(VirtualKeyFromKeysym, OtherKeysStillArriveWithACode) {
    EXPECT_EQ(VirtualKeyFromKeysym(XK_Shift_L), 16);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_Control_R), 17);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_space), 32);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_Return), 13);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_F1), 112);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_F12), 123);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_minus), 189);
    EXPECT_EQ(VirtualKeyFromKeysym(XK_EuroSign), VK_UNKNOWN);
    EXPECT_EQ(VirtualKeyFromKeysym(NoSymbol), VK_UNKNOWN);
    EXPECT_NE(VK_UNKNOWN, 0);
}

} // namespace
} // namespace lumivex
