// Key symbols as the Windows virtual-key codes the saver window understands; X and xkbcommon
// (Wayland) share the symbol values, so both back ends use this one table.
#pragma once

#include <cstdint>

namespace lumivex {

// Code delivered for keys the saver window has no name for; like any key, it ends the saver.
constexpr std::uint16_t VK_UNKNOWN = 0xFF;

// The virtual-key code of a key symbol looked up at the keyboard's base level (with only the
// Num Lock state applied, so a keypad key reads as a digit or as an arrow as Windows has it).
std::uint16_t VirtualKeyFromKeysym(unsigned long keysym);

// Caps Lock is locked on its press but unlocked only on its release, and the event of the press
// still carries the state from before it: while the press is handled, the state is the reverse.
constexpr bool CapsLockDuringPress(bool lockedInEvent) {
    return !lockedInEvent;
}

} // namespace lumivex
