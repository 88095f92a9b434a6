// Input on Wayland: the seat's keyboard through xkbcommon into the virtual-key codes of the X11
// back end (xkbcommon keysyms are X keysyms, so the key table is shared), and its pointer, hidden
// over the saver's surfaces, in the view's device pixels. Everything is queued and handed out one
// at a time by the modal loop, as a window system's queue does.
#include "platform/posix/posix_keys.h"
#include "platform/wayland/wayland_state.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace lumivex {

namespace {

constexpr std::uint32_t FirstButton = 0x110; // BTN_LEFT; the wheel comes as an axis, no button

// The keymap arrives as a file to map, read once.
void OnKeymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
    auto& window = *static_cast<WaylandWindow*>(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (text != MAP_FAILED) {
            LoadKeymap(window.keys, static_cast<const char*>(text));
            munmap(text, size);
        }
    }
    close(fd);
}

void OnKeyboardEnter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
void OnKeyboardLeave(void* data, wl_keyboard*, std::uint32_t, wl_surface*) {
    static_cast<WaylandWindow*>(data)->keys.repeatKey = 0;
}

void QueueKey(WaylandWindow& window, xkb_keycode_t keycode) {
    WaylandInput input{WaylandInput::Key};
    input.VirtualKey = TranslateKey(window.keys, keycode, input.CapsLock);
    // The key is handled later, by when the modifiers may have changed again.
    if (input.CapsLock < 0)
        input.CapsLock = CapsLockLocked(window.keys) ? 1 : 0;
    window.Queue(input);
}

void OnKey(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key,
           std::uint32_t state) {
    auto& window = *static_cast<WaylandWindow*>(data);
    WaylandKeyboard& keys = window.keys;
    // Wayland's key numbers are the kernel's; xkb's are the X server's, 8 above them.
    const xkb_keycode_t keycode = key + 8;
    const bool pressed = state == WL_KEYBOARD_KEY_STATE_PRESSED;
    HoldKey(keys, keycode, pressed, WaylandMilliseconds());
    if (pressed && keys.keymap != nullptr)
        QueueKey(window, keycode);
}

void OnModifiers(void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed,
                 std::uint32_t latched, std::uint32_t locked, std::uint32_t group) {
    UpdateModifiers(static_cast<WaylandWindow*>(data)->keys, depressed, latched, locked, group);
}

void OnRepeatInfo(void* data, wl_keyboard*, std::int32_t rate, std::int32_t delay) {
    WaylandKeyboard& keys = static_cast<WaylandWindow*>(data)->keys;
    keys.repeatRate = std::max(0, rate);
    keys.repeatDelay = std::max(0, delay);
}

} // namespace

const wl_keyboard_listener KeyboardListener = {&OnKeymap, &OnKeyboardEnter, &OnKeyboardLeave,
                                               &OnKey,    &OnModifiers,     &OnRepeatInfo};

namespace {

// Surface coordinates to the view's device pixels. When outputs come, go or change size, the
// compositor tells the pointer's place again, unmoved: that is no movement of the user's.
void QueueMotion(WaylandWindow& window, wl_surface* target, wl_fixed_t x, wl_fixed_t y) {
    WaylandWindow::PointerPlace& last = window.pointerPlace;
    if (target == last.surface && x == last.x && y == last.y)
        return;
    last = {target, x, y};
    for (auto& surface : window.surfaces)
        if (surface->surface == target) {
            WaylandInput input{WaylandInput::MouseMove};
            input.X = surface->rect.Left +
                      static_cast<int>(std::lround(wl_fixed_to_double(x) * surface->scale));
            input.Y = surface->rect.Top +
                      static_cast<int>(std::lround(wl_fixed_to_double(y) * surface->scale));
            window.Queue(input);
        }
}

// A window system tells a window where the pointer is as soon as it comes over it.
void OnPointerEnter(void* data, wl_pointer*, std::uint32_t serial, wl_surface* surface,
                    wl_fixed_t x, wl_fixed_t y) {
    auto& window = *static_cast<WaylandWindow*>(data);
    window.pointerSerial = serial;
    window.pointerSurface = surface;
    ApplyCursor(window);
    QueueMotion(window, surface, x, y);
}

void OnPointerLeave(void* data, wl_pointer*, std::uint32_t, wl_surface*) {
    static_cast<WaylandWindow*>(data)->pointerSurface = nullptr;
}

void OnMotion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
    auto& window = *static_cast<WaylandWindow*>(data);
    QueueMotion(window, window.pointerSurface, x, y);
}

void OnButton(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button,
              std::uint32_t state) {
    if (state == WL_POINTER_BUTTON_STATE_PRESSED && button >= FirstButton)
        static_cast<WaylandWindow*>(data)->Queue({WaylandInput::MouseDown});
}

void OnAxis(void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {}
void OnFrame(void*, wl_pointer*) {}
void OnAxisSource(void*, wl_pointer*, std::uint32_t) {}
void OnAxisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
void OnAxisDiscrete(void*, wl_pointer*, std::uint32_t, std::int32_t) {}

const wl_pointer_listener PointerListener = {
    &OnPointerEnter, &OnPointerLeave, &OnMotion,   &OnButton,       &OnAxis,
    &OnFrame,        &OnAxisSource,   &OnAxisStop, &OnAxisDiscrete, nullptr};

// A device that goes (a wireless keyboard asleep) is let go, so that the one that comes next is
// bound and heard: the seat hands out no events through the old object.
template <typename Device>
void LetGo(Device*& device, std::uint32_t (*version)(Device*), std::uint32_t releaseSince,
           void (*release)(Device*), void (*destroy)(Device*)) {
    if (device != nullptr)
        (version(device) >= releaseSince ? release : destroy)(device);
    device = nullptr;
}

void ReleaseKeyboard(WaylandWindow& window) {
    LetGo(window.keyboard, &wl_keyboard_get_version, WL_KEYBOARD_RELEASE_SINCE_VERSION,
          &wl_keyboard_release, &wl_keyboard_destroy);
    // No key is held on a keyboard that is gone; the next keyboard brings its own keymap and
    // modifiers, and until then Caps Lock stays as it was last told.
    window.keys.repeatKey = 0;
}

void ReleasePointer(WaylandWindow& window) {
    LetGo(window.pointer, &wl_pointer_get_version, WL_POINTER_RELEASE_SINCE_VERSION,
          &wl_pointer_release, &wl_pointer_destroy);
    window.pointerSurface = nullptr;
}

void OnCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities) {
    auto& window = *static_cast<WaylandWindow*>(data);
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) == 0) {
        ReleaseKeyboard(window);
    } else if (window.keyboard == nullptr) {
        window.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(window.keyboard, &KeyboardListener, &window);
    }
    if ((capabilities & WL_SEAT_CAPABILITY_POINTER) == 0) {
        ReleasePointer(window);
    } else if (window.pointer == nullptr) {
        window.pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(window.pointer, &PointerListener, &window);
    }
}

void OnSeatName(void*, wl_seat*, const char*) {}

const wl_seat_listener SeatListener = {&OnCapabilities, &OnSeatName};

} // namespace

WaylandKeyboard::~WaylandKeyboard() {
    xkb_state_unref(numLock);
    xkb_state_unref(state);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
}

bool LoadKeymap(WaylandKeyboard& keys, const char* text) {
    if (keys.context == nullptr)
        keys.context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap =
        keys.context != nullptr
            ? xkb_keymap_new_from_string(keys.context, text, XKB_KEYMAP_FORMAT_TEXT_V1,
                                         XKB_KEYMAP_COMPILE_NO_FLAGS)
            : nullptr;
    if (keymap == nullptr)
        return false;
    xkb_state_unref(keys.numLock);
    xkb_state_unref(keys.state);
    xkb_keymap_unref(keys.keymap);
    keys.keymap = keymap;
    keys.state = xkb_state_new(keymap);
    keys.numLock = xkb_state_new(keymap);
    const xkb_mod_index_t numLock = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_NUM);
    keys.numLockMask = numLock != XKB_MOD_INVALID ? 1u << numLock : 0;
    keys.capsLockIndex = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CAPS);
    return true;
}

void UpdateModifiers(WaylandKeyboard& keys, std::uint32_t depressed, std::uint32_t latched,
                     std::uint32_t locked, std::uint32_t group) {
    if (keys.state == nullptr)
        return;
    xkb_state_update_mask(keys.state, depressed, latched, locked, 0, 0, group);
    // Only Num Lock may change the symbol: Shift and Caps Lock leave the virtual key alone.
    xkb_state_update_mask(keys.numLock, 0, 0, locked & keys.numLockMask, 0, 0, group);
}

bool CapsLockLocked(const WaylandKeyboard& keys) {
    return keys.state != nullptr && keys.capsLockIndex != XKB_MOD_INVALID &&
           xkb_state_mod_index_is_active(keys.state, keys.capsLockIndex, XKB_STATE_MODS_LOCKED) > 0;
}

std::uint16_t TranslateKey(WaylandKeyboard& keys, xkb_keycode_t keycode, int& capsLockDuring) {
    capsLockDuring = -1;
    if (keys.numLock == nullptr)
        return VK_UNKNOWN;
    const std::uint16_t key =
        VirtualKeyFromKeysym(xkb_state_key_get_one_sym(keys.numLock, keycode));
    // The modifiers that lock Caps Lock come after its key, as on X11.
    if (key == VK_CAPITAL)
        capsLockDuring = CapsLockDuringPress(CapsLockLocked(keys)) ? 1 : 0;
    return key;
}

void StartInput(WaylandWindow& window) {
    WaylandPlatform::DisplayState& display = window.display;
    if (display.seatGlobal == 0)
        return;
    window.seat = static_cast<wl_seat*>(wl_registry_bind(display.registry, display.seatGlobal,
                                                         &wl_seat_interface, display.seatVersion));
    wl_seat_add_listener(window.seat, &SeatListener, &window);
}

void StopInput(WaylandWindow& window) {
    ReleaseKeyboard(window);
    ReleasePointer(window);
    if (window.seat != nullptr)
        wl_seat_destroy(window.seat);
    window.seat = nullptr;
}

void HoldKey(WaylandKeyboard& keys, xkb_keycode_t keycode, bool pressed, std::uint64_t now) {
    if (!pressed) {
        if (keycode == keys.repeatKey)
            keys.repeatKey = 0;
        return;
    }
    const bool repeats = keys.keymap != nullptr && keys.repeatRate > 0 &&
                         xkb_keymap_key_repeats(keys.keymap, keycode) != 0;
    keys.repeatKey = repeats ? keycode : 0;
    keys.repeatDue = now + static_cast<std::uint64_t>(keys.repeatDelay);
}

bool TakeRepeat(WaylandKeyboard& keys, std::uint64_t now, std::uint64_t& wait) {
    if (keys.repeatKey == 0 || keys.repeatRate <= 0)
        return false;
    const bool due = now >= keys.repeatDue;
    if (due) {
        const auto period = static_cast<std::uint64_t>(std::max(1, 1000 / keys.repeatRate));
        keys.repeatDue += period;
        // A late repeat comes once, not once for every period missed.
        if (keys.repeatDue <= now)
            keys.repeatDue = now + period;
    }
    wait = std::min(wait, keys.repeatDue - now);
    return due;
}

std::uint64_t RepeatHeldKey(WaylandWindow& window, std::uint64_t now, std::uint64_t limit) {
    if (TakeRepeat(window.keys, now, limit))
        QueueKey(window, window.keys.repeatKey);
    return limit;
}

// No cursor at all over the saver's surfaces while it is hidden.
void ApplyCursor(WaylandWindow& window) {
    if (window.pointer != nullptr && window.pointerSurface != nullptr && window.cursorHidden)
        wl_pointer_set_cursor(window.pointer, window.pointerSerial, nullptr, 0, 0);
}

} // namespace lumivex
