// Keys of the page: KeyboardEvent.code, the key's place on the keyboard whatever the layout, to
// the Windows virtual-key code the saver window understands. Portable, so the unit tests build it
// natively.
#pragma once

#include <cstdint>
#include <string_view>

namespace lumivex {

// A key with no virtual-key code of its own; like any other key it ends the saver or, with Caps
// Lock on, only restarts the regeneration count.
constexpr std::uint16_t VK_WEB_UNKNOWN = 0xFF;

// Num Lock decides between a keypad digit and the navigation key it doubles as, as on Windows.
std::uint16_t VirtualKeyFromCode(std::string_view code, bool numLock);

} // namespace lumivex
