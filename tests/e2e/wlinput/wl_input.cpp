// wl_input STEP...: keys and clicks through the compositor's virtual keyboard and pointer. A STEP
// is a key symbol name (w, Escape, Caps_Lock...) pressed and released, "click" (a left click where
// the pointer is: a move would end a saver by itself) or "hold" ("ready" on standard output, then
// the devices stay until the program is ended: a headless compositor drops keys sent before a
// client's keyboard is bound, so the keyboard must exist before the saver starts).
// The compositor keeps no modifier state for a virtual keyboard: our own xkb state does, sending
// each change after its key as a real keyboard does. Exit status 1 with a message on failure.
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>

namespace {

// The requests used, and those before them, in the protocols' order; neither has events.
const wl_interface* NoTypes[] = {nullptr, nullptr, nullptr, nullptr, nullptr};

const wl_message VirtualKeyboardRequests[] = {
    {"keymap", "uhu", NoTypes}, {"key", "uuu", NoTypes}, {"modifiers", "uuuu", NoTypes}};
const wl_interface VirtualKeyboardInterface = {"zwp_virtual_keyboard_v1", 1, 3,
                                               VirtualKeyboardRequests,   0, nullptr};

const wl_interface* KeyboardManagerTypes[] = {&wl_seat_interface, &VirtualKeyboardInterface};
const wl_message KeyboardManagerRequests[] = {
    {"create_virtual_keyboard", "on", KeyboardManagerTypes}};
const wl_interface KeyboardManagerInterface = {"zwp_virtual_keyboard_manager_v1", 1, 1,
                                               KeyboardManagerRequests,           0, nullptr};

const wl_message VirtualPointerRequests[] = {{"motion", "uff", NoTypes},
                                             {"motion_absolute", "uuuuu", NoTypes},
                                             {"button", "uuu", NoTypes},
                                             {"axis", "uuf", NoTypes},
                                             {"frame", "", NoTypes}};
const wl_interface VirtualPointerInterface = {"zwlr_virtual_pointer_v1", 1, 5,
                                              VirtualPointerRequests,    0, nullptr};

const wl_interface* PointerManagerTypes[] = {&wl_seat_interface, &VirtualPointerInterface};
const wl_message PointerManagerRequests[] = {
    {"create_virtual_pointer", "?on", PointerManagerTypes}};
const wl_interface PointerManagerInterface = {
    "zwlr_virtual_pointer_manager_v1", 1, 1, PointerManagerRequests, 0, nullptr};

enum KeyboardOpcode : std::uint32_t { Keymap, Key, Modifiers };
enum PointerOpcode : std::uint32_t { Button = 2, Frame = 4 };
constexpr std::uint32_t KeymapFormatXkbV1 = 1;

struct Globals {
    wl_proxy* seat = nullptr;
    wl_proxy* keyboards = nullptr;
    wl_proxy* pointers = nullptr;
};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t) {
    auto& globals = *static_cast<Globals*>(data);
    for (auto [wanted, proxy] : {std::pair{&wl_seat_interface, &globals.seat},
                                 {&KeyboardManagerInterface, &globals.keyboards},
                                 {&PointerManagerInterface, &globals.pointers}})
        if (std::strcmp(interface, wanted->name) == 0 && *proxy == nullptr)
            *proxy = static_cast<wl_proxy*>(wl_registry_bind(registry, name, wanted, 1));
}
void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener RegistryListener = {OnGlobal, OnGlobalRemove};

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "wl_input: %s\n", message.c_str());
    std::exit(1);
}

std::uint32_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

class Keyboard {
  public:
    Keyboard(wl_proxy* manager, wl_proxy* seat)
        : keymap(xkb_keymap_new_from_names(xkb_context_new(XKB_CONTEXT_NO_FLAGS), nullptr,
                                           XKB_KEYMAP_COMPILE_NO_FLAGS)) {
        if (keymap == nullptr)
            Fail("xkbcommon made no keymap");
        state = xkb_state_new(keymap);
        device = wl_proxy_marshal_flags(manager, 0, &VirtualKeyboardInterface, 1, 0, seat, nullptr);
        char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        const std::size_t size = std::strlen(text) + 1;
        const int fd = memfd_create("keymap", MFD_CLOEXEC);
        if (fd < 0 || write(fd, text, size) != static_cast<ssize_t>(size))
            Fail("cannot write the keymap");
        std::free(text);
        wl_proxy_marshal_flags(device, Keymap, nullptr, 1, 0, KeymapFormatXkbV1, fd,
                               static_cast<std::uint32_t>(size));
        close(fd);
    }

    void Tap(const char* name) {
        for (const xkb_key_direction direction : {XKB_KEY_DOWN, XKB_KEY_UP})
            Send(KeycodeOf(name), direction);
    }

  private:
    // The evdev code of the key that gives the symbol without modifiers.
    std::uint32_t KeycodeOf(const char* name) const {
        const xkb_keysym_t wanted = xkb_keysym_from_name(name, XKB_KEYSYM_NO_FLAGS);
        for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap);
             wanted != XKB_KEY_NoSymbol && code <= xkb_keymap_max_keycode(keymap); ++code) {
            const xkb_keysym_t* syms = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &syms);
            for (int i = 0; i < count; ++i)
                if (syms[i] == wanted)
                    return code - 8;
        }
        Fail(std::string("no key gives the symbol ") + name);
    }

    void Send(std::uint32_t code, xkb_key_direction direction) {
        wl_proxy_marshal_flags(device, Key, nullptr, 1, 0, NowMs(), code,
                               direction == XKB_KEY_DOWN ? 1U : 0U);
        if (xkb_state_update_key(state, code + 8, direction) == 0)
            return;
        wl_proxy_marshal_flags(device, Modifiers, nullptr, 1, 0,
                               xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
                               xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED),
                               xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED),
                               xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE));
    }

    xkb_keymap* keymap = nullptr;
    xkb_state* state = nullptr;
    wl_proxy* device = nullptr;
};

void Click(wl_proxy* pointer) {
    for (const std::uint32_t state : {1U, 0U}) {
        wl_proxy_marshal_flags(pointer, Button, nullptr, 1, 0, NowMs(), std::uint32_t{BTN_LEFT},
                               state);
        wl_proxy_marshal_flags(pointer, Frame, nullptr, 1, 0);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        Fail("usage: wl_input KEYSYM|click|hold...");
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr)
        Fail("cannot connect to the Wayland display");
    Globals globals;
    wl_registry_add_listener(wl_display_get_registry(display), &RegistryListener, &globals);
    wl_display_roundtrip(display);
    if (globals.seat == nullptr || globals.keyboards == nullptr || globals.pointers == nullptr)
        Fail("the compositor offers no seat, virtual keyboard or virtual pointer");
    Keyboard keyboard(globals.keyboards, globals.seat);
    wl_proxy* pointer = wl_proxy_marshal_flags(globals.pointers, 0, &VirtualPointerInterface, 1, 0,
                                               globals.seat, nullptr);
    wl_display_roundtrip(display);
    bool hold = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "click") == 0)
            Click(pointer);
        else if (std::strcmp(argv[i], "hold") == 0)
            hold = true;
        else
            keyboard.Tap(argv[i]);
    }
    if (wl_display_roundtrip(display) < 0)
        Fail("the compositor closed the connection");
    if (hold) {
        std::printf("ready\n");
        std::fflush(stdout);
        while (wl_display_dispatch(display) >= 0) {
        }
    }
    wl_display_disconnect(display);
    return 0;
}
