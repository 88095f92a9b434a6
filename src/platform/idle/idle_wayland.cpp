// Idleness from a Wayland compositor: ext_idle_notifier_v1 (KWin, sway 1.8 and later), else
// org_kde_kwin_idle (sway 1.7). Both tell idled and resumed, and both wait while an inhibitor
// holds idleness back.
#include "platform/idle/idle_sources.h"

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"

#include <wayland-client.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace lumivex {

namespace {

class WaylandIdle final : public IdleConnection {
  public:
    WaylandIdle(wl_display* display, IdleSink& sink) : display_(display), sink_(sink) {}
    ~WaylandIdle() override {
        if (reading_)
            wl_display_cancel_read(display_);
        if (notification_ != nullptr)
            ext_idle_notification_v1_destroy(notification_);
        if (kdeTimeout_ != nullptr)
            org_kde_kwin_idle_timeout_release(kdeTimeout_);
        if (notifier_ != nullptr)
            ext_idle_notifier_v1_destroy(notifier_);
        if (kdeIdle_ != nullptr)
            org_kde_kwin_idle_destroy(kdeIdle_);
        if (seat_ != nullptr)
            wl_seat_destroy(seat_);
        if (registry_ != nullptr)
            wl_registry_destroy(registry_);
        wl_display_disconnect(display_);
    }
    WaylandIdle(const WaylandIdle&) = delete;
    WaylandIdle& operator=(const WaylandIdle&) = delete;

    // The protocol's name, or empty with the reason in `problem`.
    std::string Watch(unsigned milliseconds, std::string& problem) {
        static const wl_registry_listener registryListener = {&OnGlobal, &OnGlobalRemove};
        registry_ = wl_display_get_registry(display_);
        wl_registry_add_listener(registry_, &registryListener, this);
        if (wl_display_roundtrip(display_) < 0) {
            problem = "the Wayland compositor does not answer";
            return {};
        }
        if (seat_ == nullptr || (notifier_ == nullptr && kdeIdle_ == nullptr)) {
            problem = seat_ == nullptr ? "the Wayland compositor has no seat"
                                       : "the Wayland compositor offers no idle protocol "
                                         "(ext_idle_notifier_v1, org_kde_kwin_idle)";
            return {};
        }
        if (notifier_ != nullptr) {
            static const ext_idle_notification_v1_listener listener = {&OnIdled, &OnResumed};
            notification_ =
                ext_idle_notifier_v1_get_idle_notification(notifier_, milliseconds, seat_);
            ext_idle_notification_v1_add_listener(notification_, &listener, this);
        } else {
            static const org_kde_kwin_idle_timeout_listener listener = {&OnKdeIdle, &OnKdeResumed};
            kdeTimeout_ = org_kde_kwin_idle_get_idle_timeout(kdeIdle_, seat_, milliseconds);
            org_kde_kwin_idle_timeout_add_listener(kdeTimeout_, &listener, this);
        }
        if (wl_display_roundtrip(display_) < 0) {
            problem = "the Wayland compositor refused the idle watch";
            return {};
        }
        return notifier_ != nullptr ? "ext_idle_notifier_v1" : "org_kde_kwin_idle";
    }

    pollfd Prepare(int& /*timeout*/) override {
        if (!reading_) {
            while (wl_display_prepare_read(display_) != 0)
                if (wl_display_dispatch_pending(display_) < 0)
                    return {-1, 0, 0}; // the error shows in Dispatch
            reading_ = true;
        }
        short events = POLLIN;
        if (wl_display_flush(display_) < 0 && errno == EAGAIN)
            events |= POLLOUT;
        return {wl_display_get_fd(display_), events, 0};
    }

    bool Dispatch(short revents, std::string& lost) override {
        if (reading_) {
            reading_ = false;
            if ((revents & POLLIN) != 0)
                wl_display_read_events(display_);
            else
                wl_display_cancel_read(display_);
        }
        if (wl_display_dispatch_pending(display_) >= 0 && wl_display_get_error(display_) == 0)
            return true;
        const char* name = std::getenv("WAYLAND_DISPLAY");
        lost = std::string("lost the connection to the Wayland compositor ") +
               (name != nullptr ? name : "wayland-0");
        return false;
    }

  private:
    static WaylandIdle& Of(void* self) { return *static_cast<WaylandIdle*>(self); }

    static void OnGlobal(void* self, wl_registry* registry, std::uint32_t name,
                         const char* interface, std::uint32_t /*version*/) {
        WaylandIdle& idle = Of(self);
        if (std::strcmp(interface, wl_seat_interface.name) == 0 && idle.seat_ == nullptr)
            idle.seat_ =
                static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        else if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0)
            idle.notifier_ = static_cast<ext_idle_notifier_v1*>(
                wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
        else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0)
            idle.kdeIdle_ = static_cast<org_kde_kwin_idle*>(
                wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
    }
    static void OnGlobalRemove(void* /*self*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {}

    static void OnIdled(void* self, ext_idle_notification_v1* /*notification*/) {
        Of(self).sink_.OnIdle();
    }
    static void OnResumed(void* self, ext_idle_notification_v1* /*notification*/) {
        Of(self).sink_.OnActive();
    }
    static void OnKdeIdle(void* self, org_kde_kwin_idle_timeout* /*timeout*/) {
        Of(self).sink_.OnIdle();
    }
    static void OnKdeResumed(void* self, org_kde_kwin_idle_timeout* /*timeout*/) {
        Of(self).sink_.OnActive();
    }

    wl_display* display_;
    IdleSink& sink_;
    bool reading_ = false; // between prepare_read and read_events
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    ext_idle_notifier_v1* notifier_ = nullptr;
    ext_idle_notification_v1* notification_ = nullptr;
    org_kde_kwin_idle* kdeIdle_ = nullptr;
    org_kde_kwin_idle_timeout* kdeTimeout_ = nullptr;
};

} // namespace

std::unique_ptr<IdleConnection> WatchWayland(unsigned milliseconds, IdleSink& sink,
                                             std::string& name, std::string& problem) {
    const char* socket = std::getenv("WAYLAND_DISPLAY");
    if (socket == nullptr || *socket == '\0') {
        problem = "WAYLAND_DISPLAY is not set";
        return nullptr;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        problem = std::string("cannot connect to the Wayland compositor ") + socket;
        return nullptr;
    }
    auto idle = std::make_unique<WaylandIdle>(display, sink);
    name = idle->Watch(milliseconds, problem);
    if (name.empty())
        return nullptr;
    name = std::string("the Wayland compositor ") + socket + "'s " + name;
    return idle;
}

} // namespace lumivex
