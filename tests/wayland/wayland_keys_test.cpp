// Keys on Wayland: the compositor's keymap and modifiers through xkbcommon into the virtual-key
// codes of the X11 back end, with a US keymap compiled here as a compositor would send it. Key
// numbers are xkb's (the kernel's + 8).
#include "platform/posix/posix_keys.h"
#include "platform/wayland/wayland_state.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace lumivex {
namespace {

enum : xkb_keycode_t {
    KeyW = 25,
    KeyCapsLock = 66,
    KeyNumLock = 77,
    KeyKeypad8 = 80,
    KeyKeypadDecimal = 91,
    KeyLeftShift = 50,
    KeyAltGr = 108,
    KeyUnused = 250,
};

class WaylandKeysTest : public ::testing::Test {
  protected:
    void SetUp() override {
        xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        ASSERT_NE(context, nullptr);
        const xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
        xkb_keymap* keymap =
            xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        ASSERT_NE(keymap, nullptr) << "no keyboard layouts (xkb-data)";
        const std::unique_ptr<char, decltype(&std::free)> text(
            xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1), &std::free);
        ASSERT_TRUE(LoadKeymap(keys, text.get()));
        shift = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
        caps = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CAPS);
        num = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_NUM);
        xkb_keymap_unref(keymap);
        xkb_context_unref(context);
    }

    WaylandKeyboard keys;
    std::uint32_t shift = 0, caps = 0, num = 0;
};

// Shift and Caps Lock leave the virtual key alone; only Num Lock turns the keypad from arrows
// and editing keys into digits, as on X11 and Windows. Caps Lock's own press reports the state
// it brings about, which the modifiers tell only after the key.
TEST_F(WaylandKeysTest, KeysReadAsOnX11WhateverTheModifiers) {
    const struct {
        xkb_keycode_t Key;
        std::uint32_t Depressed, Locked;
        std::uint16_t Code;
        int CapsLockDuring;
    } cases[] = {
        {KeyW, 0, 0, 'W', -1},
        {KeyW, shift, caps | num, 'W', -1},
        {KeyKeypad8, 0, 0, VK_UP, -1},
        {KeyKeypad8, 0, num, VK_NUMPAD0 + 8, -1},
        {KeyKeypad8, shift, num, VK_NUMPAD0 + 8, -1},
        {KeyKeypadDecimal, 0, 0, VK_DELETE, -1},
        {KeyKeypadDecimal, 0, num, VK_DECIMAL, -1},
        {KeyNumLock, 0, num, VK_NUMLOCK, -1},
        {KeyLeftShift, shift, 0, VK_SHIFT, -1},
        {KeyAltGr, 0, 0, VK_MENU, -1},
        {KeyCapsLock, 0, 0, VK_CAPITAL, 1},
        {KeyCapsLock, caps, caps, VK_CAPITAL, 0},
        {KeyCapsLock, 0, caps | num, VK_CAPITAL, 0},
        {KeyUnused, 0, 0, VK_UNKNOWN, -1},
    };
    for (const auto& test : cases) {
        UpdateModifiers(keys, test.Depressed, 0, test.Locked, 0);
        int capsLockDuring = 5;
        EXPECT_EQ(TranslateKey(keys, test.Key, capsLockDuring), test.Code)
            << "key " << test.Key << ", depressed " << test.Depressed << ", locked " << test.Locked;
        EXPECT_EQ(capsLockDuring, test.CapsLockDuring) << "key " << test.Key;
        EXPECT_EQ(CapsLockLocked(keys), (test.Locked & caps) != 0);
    }
}

// A keymap that does not compile leaves the one before in use; before any keymap, every key is
// unknown (and so ends the saver, as any key does).
TEST_F(WaylandKeysTest, ABrokenKeymapKeepsTheOneBefore) {
    EXPECT_FALSE(LoadKeymap(keys, "xkb_keymap { this is no keymap"));
    int capsLockDuring = 0;
    EXPECT_EQ(TranslateKey(keys, KeyW, capsLockDuring), 'W');
    WaylandKeyboard none;
    EXPECT_EQ(TranslateKey(none, KeyW, capsLockDuring), VK_UNKNOWN);
    EXPECT_FALSE(CapsLockLocked(none));
}

// A held key repeats after the compositor's delay at its rate (25 a second: every 40 ms) until it
// is released or another key is pressed; a late repeat comes once; Caps Lock, Shift and the
// like never repeat, nor anything at rate 0.
TEST_F(WaylandKeysTest, AHeldKeyRepeatsAtTheCompositorsRateUntilReleased) {
    keys.repeatRate = 25;
    keys.repeatDelay = 600;
    const auto repeatsAt = [&](std::uint64_t now, std::uint64_t expectedWait) {
        std::uint64_t wait = 1000;
        const bool due = TakeRepeat(keys, now, wait);
        EXPECT_EQ(wait, expectedWait) << "at " << now;
        return due;
    };
    HoldKey(keys, KeyW, true, 1000);
    EXPECT_FALSE(repeatsAt(1599, 1));
    EXPECT_TRUE(repeatsAt(1600, 40));
    EXPECT_FALSE(repeatsAt(1620, 20));
    EXPECT_TRUE(repeatsAt(1640, 40));
    EXPECT_TRUE(repeatsAt(1900, 40)) << "late: once, then a period later";
    EXPECT_FALSE(repeatsAt(1939, 1));
    HoldKey(keys, KeyKeypad8, false, 1940); // another key's release changes nothing
    EXPECT_TRUE(repeatsAt(1940, 40));
    HoldKey(keys, KeyW, false, 1950);
    EXPECT_FALSE(repeatsAt(5000, 1000));

    HoldKey(keys, KeyW, true, 6000);
    HoldKey(keys, KeyKeypad8, true, 6100); // the last key pressed is the one that repeats
    EXPECT_FALSE(repeatsAt(6600, 100));
    EXPECT_TRUE(repeatsAt(6700, 40));
    for (xkb_keycode_t key : {KeyCapsLock, KeyLeftShift, KeyNumLock}) {
        HoldKey(keys, key, true, 7000);
        EXPECT_FALSE(repeatsAt(9000, 1000)) << "key " << key;
    }
    keys.repeatRate = 0;
    HoldKey(keys, KeyW, true, 10000);
    EXPECT_FALSE(repeatsAt(20000, 1000));
}

// The compositor's repeat info is a rate a second, then a delay in ms.
TEST(WaylandKeyboardListener, TheRepeatRateAndDelayAreTakenInTheirOrder) {
    WaylandPlatform platform;
    WaylandPlatform::DisplayState display;
    WaylandWindow window(platform, display, nullptr);
    KeyboardListener.repeat_info(&window, nullptr, 33, 250);
    EXPECT_TRUE(window.keys.repeatRate == 33 && window.keys.repeatDelay == 250);
}

// The queue hands input out in order, keeps one pending move (the latest) as Windows does, and
// drops a flood beyond its capacity instead of storing it.
TEST(WaylandInputQueue, InOrderOneMoveAtATimeAFloodDropped) {
    WaylandInputQueue queue;
    const auto key = [](std::uint16_t code) { return WaylandInput{WaylandInput::Key, code}; };
    const auto move = [](int x) { return WaylandInput{WaylandInput::MouseMove, 0, -1, x}; };
    for (const WaylandInput& input : {key('A'), move(1), move(2), move(3), key('B'), move(4),
                                      WaylandInput{WaylandInput::MouseDown}, move(5)})
        queue.Push(input);
    // Kind, then the key's code or the move's x.
    const int expected[][2] = {{WaylandInput::Key, 'A'},     {WaylandInput::MouseMove, 3},
                               {WaylandInput::Key, 'B'},     {WaylandInput::MouseMove, 4},
                               {WaylandInput::MouseDown, 0}, {WaylandInput::MouseMove, 5}};
    for (const auto& want : expected) {
        WaylandInput got;
        ASSERT_TRUE(queue.Pop(got));
        EXPECT_EQ(got.Kind, want[0]);
        EXPECT_EQ(got.Kind == WaylandInput::Key ? got.VirtualKey : got.X, want[1]);
    }
    WaylandInput none;
    EXPECT_FALSE(queue.Pop(none));
    EXPECT_TRUE(queue.Empty());

    for (int i = 0; i < 1000; ++i)
        queue.Push(key(static_cast<std::uint16_t>(i)));
    for (std::size_t i = 0; i < WaylandInputQueue::Capacity; ++i) {
        WaylandInput got;
        ASSERT_TRUE(queue.Pop(got));
        EXPECT_EQ(got.VirtualKey, i) << "the first keys are kept, in order";
    }
    EXPECT_TRUE(queue.Empty());

    // A burst of one key is kept whole, and no Caps Lock is dropped: after a flood it takes the
    // newest other key's place.
    std::vector<std::uint16_t> pushed(72, VK_LEFT), got;
    pushed[0] = pushed[71] = VK_CAPITAL;
    for (std::uint16_t i = 0; i < 100; ++i)
        pushed.push_back(i == 99 ? VK_CAPITAL : 'A' + i);
    for (const std::uint16_t code : pushed)
        queue.Push(key(code));
    for (WaylandInput input; queue.Pop(input);)
        got.push_back(input.VirtualKey);
    pushed.erase(pushed.begin() + 72 + 60, pushed.end() - 1);
    EXPECT_EQ(got, pushed);
}

} // namespace
} // namespace lumivex
