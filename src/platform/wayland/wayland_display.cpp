// The connection to the compositor: its globals (compositor, xdg-shell, xdg-output, the seat)
// and its outputs, each with its mode, its scale and, through xdg-output, its name and logical
// size. Connect tells whether the saver can draw here at all, before anything is shown.
#include "platform/wayland/wayland_state.h"

#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lumivex {

namespace {

constexpr std::uint32_t CompositorVersion = 4;
constexpr std::uint32_t OutputVersion = 2; // with its scale
constexpr std::uint32_t XdgOutputVersion = 2;
constexpr std::uint32_t SeatVersion = 5;
// A compositor that accepts the connection and then says nothing (stopped, or hung) must not
// hold the start for good.
constexpr std::uint64_t AnswerWaitMilliseconds = 3000;

void OnPing(void*, xdg_wm_base* base, std::uint32_t serial) {
    xdg_wm_base_pong(base, serial);
}
const xdg_wm_base_listener WmBaseListener = {&OnPing};

void OnGeometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                std::int32_t, const char*, const char*, std::int32_t) {}
void OnMode(void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height,
            std::int32_t) {
    auto* output = static_cast<WaylandOutput*>(data);
    if ((flags & WL_OUTPUT_MODE_CURRENT) != 0) {
        output->modeWidth = width;
        output->modeHeight = height;
    }
}
// An output that comes while the saver runs gets its surface once it has said what it is.
void OnOutputDone(void* data, wl_output*) {
    auto* output = static_cast<WaylandOutput*>(data);
    if (!output->described && !output->gone)
        output->display->outputsChanged = true;
    output->described = true;
}
void OnScale(void* data, wl_output*, std::int32_t factor) {
    static_cast<WaylandOutput*>(data)->scale = std::max(1, factor);
}
// Name and description come from version 4 on; the name is xdg-output's.
const wl_output_listener OutputListener = {&OnGeometry, &OnMode, &OnOutputDone,
                                           &OnScale,    nullptr, nullptr};

void OnLogicalPosition(void*, zxdg_output_v1*, std::int32_t, std::int32_t) {}
void OnLogicalSize(void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height) {
    auto* output = static_cast<WaylandOutput*>(data);
    output->logicalWidth = width;
    output->logicalHeight = height;
}
void OnXdgOutputDone(void*, zxdg_output_v1*) {}
void OnName(void* data, zxdg_output_v1*, const char* name) {
    static_cast<WaylandOutput*>(data)->name = name;
}
void OnDescription(void*, zxdg_output_v1*, const char*) {}
const zxdg_output_v1_listener XdgOutputListener = {&OnLogicalPosition, &OnLogicalSize,
                                                   &OnXdgOutputDone, &OnName, &OnDescription};

void WatchXdgOutput(WaylandPlatform::DisplayState& state, WaylandOutput& output) {
    if (state.outputManager == nullptr || output.xdgOutput != nullptr)
        return;
    output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(state.outputManager, output.output);
    zxdg_output_v1_add_listener(output.xdgOutput, &XdgOutputListener, &output);
}

template <typename Proxy>
Proxy* Bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface,
            std::uint32_t offered, std::uint32_t wanted) {
    return static_cast<Proxy*>(
        wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t version) {
    auto& state = *static_cast<WaylandPlatform::DisplayState*>(data);
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        state.compositor = Bind<wl_compositor>(registry, name, &wl_compositor_interface, version,
                                               CompositorVersion);
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        state.wmBase = Bind<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, 1);
        xdg_wm_base_add_listener(state.wmBase, &WmBaseListener, nullptr);
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        state.outputManager = Bind<zxdg_output_manager_v1>(
            registry, name, &zxdg_output_manager_v1_interface, version, XdgOutputVersion);
        for (auto& output : state.outputs)
            WatchXdgOutput(state, *output);
    } else if (std::strcmp(interface, wp_viewporter_interface.name) == 0) {
        state.viewporter =
            Bind<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
    } else if (std::strcmp(interface, wp_fractional_scale_manager_v1_interface.name) == 0) {
        state.fractionalScale = Bind<wp_fractional_scale_manager_v1>(
            registry, name, &wp_fractional_scale_manager_v1_interface, version, 1);
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && state.seatGlobal == 0) {
        state.seatGlobal = name;
        state.seatVersion = std::min(version, SeatVersion);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0 && version >= 2) {
        auto output = std::make_unique<WaylandOutput>();
        output->display = &state;
        output->global = name;
        output->output =
            Bind<wl_output>(registry, name, &wl_output_interface, version, OutputVersion);
        wl_output_add_listener(output->output, &OutputListener, output.get());
        WatchXdgOutput(state, *output);
        state.outputs.push_back(std::move(output));
    }
}

// An output that goes away takes its surface with it; the others go on.
void OnGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
    auto& state = *static_cast<WaylandPlatform::DisplayState*>(data);
    if (name == state.seatGlobal)
        state.seatGlobal = 0;
    for (auto& output : state.outputs)
        if (output->global == name && !output->gone) {
            output->gone = true;
            state.outputsChanged = true;
        }
}
const wl_registry_listener RegistryListener = {&OnGlobal, &OnGlobalRemove};

std::string MissingGlobals(const WaylandPlatform::DisplayState& state) {
    if (state.compositor == nullptr)
        return "the compositor offers no wl_compositor";
    if (state.wmBase == nullptr)
        return "the compositor offers no xdg_wm_base";
    if (state.outputs.empty())
        return "the compositor has no output";
    return "";
}

void OnSyncDone(void* data, wl_callback*, std::uint32_t) {
    *static_cast<bool*>(data) = true;
}
const wl_callback_listener SyncListener = {&OnSyncDone};

enum class Answer { Given, Lost, Late, Ended };

// wl_display_roundtrip, but given up at `deadline` or on a termination signal.
Answer RoundTrip(wl_display* display, std::uint64_t deadline) {
    bool done = false;
    wl_callback* sync = wl_display_sync(display);
    wl_callback_add_listener(sync, &SyncListener, &done);
    Answer answer = Answer::Given;
    while (!done && answer == Answer::Given) {
        const std::uint64_t now = WaylandMilliseconds();
        if (TerminationRequested())
            answer = Answer::Ended;
        else if (now >= deadline)
            answer = Answer::Late;
        else
            answer = ReadCompositor(display, static_cast<int>(deadline - now)) ? Answer::Given
                                                                               : Answer::Lost;
    }
    wl_callback_destroy(sync);
    return answer;
}

} // namespace

// What the compositor sent within `timeout` milliseconds, read and dispatched; a termination
// signal ends the wait at once. False when the connection is lost.
bool ReadCompositor(wl_display* display, int timeout) {
    while (wl_display_prepare_read(display) != 0)
        if (wl_display_dispatch_pending(display) < 0)
            return false;
    if (wl_display_flush(display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display);
        return false;
    }
    pollfd sources[2] = {{wl_display_get_fd(display), POLLIN, 0}, {TerminationPipe(), POLLIN, 0}};
    const int ready = poll(sources, sources[1].fd >= 0 ? 2 : 1, timeout);
    if (ready > 0 && (sources[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        if (wl_display_read_events(display) < 0)
            return false;
    } else {
        wl_display_cancel_read(display);
    }
    return wl_display_dispatch_pending(display) >= 0;
}

WaylandOutput::~WaylandOutput() {
    if (xdgOutput != nullptr)
        zxdg_output_v1_destroy(xdgOutput);
    if (output != nullptr)
        wl_output_destroy(output);
}

int WaylandOutput::SurfaceWidth() const {
    return logicalWidth > 0 ? logicalWidth : modeWidth / std::max(1, scale);
}

int WaylandOutput::SurfaceHeight() const {
    return logicalHeight > 0 ? logicalHeight : modeHeight / std::max(1, scale);
}

WaylandPlatform::DisplayState::~DisplayState() {
    outputs.clear();
    if (outputManager != nullptr)
        zxdg_output_manager_v1_destroy(outputManager);
    if (fractionalScale != nullptr)
        wp_fractional_scale_manager_v1_destroy(fractionalScale);
    if (viewporter != nullptr)
        wp_viewporter_destroy(viewporter);
    if (wmBase != nullptr)
        xdg_wm_base_destroy(wmBase);
    if (compositor != nullptr)
        wl_compositor_destroy(compositor);
    if (registry != nullptr)
        wl_registry_destroy(registry);
    if (display != nullptr)
        wl_display_disconnect(display);
}

void WaylandPlatform::StateDeleter::operator()(DisplayState* state) const {
    std::default_delete<DisplayState>()(state);
}

std::string WaylandPlatform::Connect() {
    // The library would complain on standard error; a run that falls back to X11 says nothing.
    unanswered_ = false;
    const char* name = std::getenv("WAYLAND_DISPLAY");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if ((name == nullptr || name[0] != '/') && (runtime == nullptr || runtime[0] != '/') &&
        std::getenv("WAYLAND_SOCKET") == nullptr)
        return "cannot connect to a Wayland compositor: XDG_RUNTIME_DIR is not set";
    // EGL's warnings too, unless asked for.
    setenv("EGL_LOG_LEVEL", "fatal", 0);
    auto state = std::make_unique<DisplayState>();
    state->display = wl_display_connect(nullptr);
    const std::string named =
        name != nullptr && *name != '\0' ? std::string(" \"") + name + "\"" : std::string();
    if (state->display == nullptr)
        return "cannot connect to the Wayland compositor" + named;
    state->registry = wl_display_get_registry(state->display);
    wl_registry_add_listener(state->registry, &RegistryListener, state.get());
    // The globals, then what the outputs say of themselves.
    const std::uint64_t deadline = WaylandMilliseconds() + AnswerWaitMilliseconds;
    for (int round = 0; round < 2; ++round) {
        switch (RoundTrip(state->display, deadline)) {
        case Answer::Given:
            break;
        case Answer::Lost:
            return "the Wayland compositor" + named + " closed the connection";
        case Answer::Late:
            unanswered_ = true;
            return "the Wayland compositor" + named + " did not answer within " +
                   std::to_string(AnswerWaitMilliseconds / 1000) + " s";
        case Answer::Ended:
            return "ended before the Wayland compositor answered";
        }
    }
    if (std::string missing = MissingGlobals(*state); !missing.empty())
        return missing;
    auto egl = std::make_unique<EglState>();
    if (std::string problem = StartEgl(*egl, state->display); !problem.empty())
        return problem;
    display_ = std::move(state);
    egl_ = std::move(egl);
    return "";
}

} // namespace lumivex
