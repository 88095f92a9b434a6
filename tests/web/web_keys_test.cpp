// The page's key map: the codes the saver's keys arrive with give the virtual keys its window
// understands, the keypad follows Num Lock as on Windows, and a key it has no code for still
// arrives (it ends the saver like any other).
#include "platform/web/web_keys.h"

#include "platform/Platform.h"

#include <gtest/gtest.h>

namespace lumivex {
namespace {

TEST(WebKeys, CodesGiveTheSaversVirtualKeys) {
    struct Case {
        const char* Code;
        bool NumLock;
        std::uint16_t Key;
    };
    const Case cases[] = {
        {"KeyT", false, 'T'},
        {"KeyW", true, 'W'},
        {"Digit0", false, '0'},
        {"Digit9", false, '9'},
        {"Numpad6", true, 102},
        {"Numpad6", false, VK_RIGHT},
        {"Numpad0", true, VK_NUMPAD0},
        {"Numpad8", false, VK_UP},
        {"NumpadAdd", false, VK_ADD},
        {"NumpadSubtract", true, VK_SUBTRACT},
        {"ArrowUp", false, VK_UP},
        {"ArrowLeft", false, VK_LEFT},
        {"Delete", false, VK_DELETE},
        {"NumpadDecimal", false, VK_DELETE},
        {"Backspace", false, VK_BACK},
        {"Escape", false, VK_ESCAPE},
        {"CapsLock", false, VK_CAPITAL},
        {"AltRight", false, VK_MENU},
        {"NumLock", true, VK_NUMLOCK},
        {"F1", false, 112},
        {"F24", false, 135},
        {"Enter", false, 13},
        {"F25", false, VK_WEB_UNKNOWN},
        {"Key", false, VK_WEB_UNKNOWN},
        {"Keyw", false, VK_WEB_UNKNOWN},
        {"", false, VK_WEB_UNKNOWN},
        {"Lang1", false, VK_WEB_UNKNOWN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VirtualKeyFromCode(c.Code, c.NumLock), c.Key) << c.Code << " " << c.NumLock;
}

} // namespace
} // namespace lumivex
