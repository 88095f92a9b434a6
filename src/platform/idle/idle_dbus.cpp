// The session bus through sd-bus (libsystemd): GNOME's idle monitor, and the
// org.freedesktop.ScreenSaver service that browsers and players ask to hold idleness back. sd-bus
// is C with a descriptor, events and a deadline of its own, so the bus shares the watcher's one
// poll with the X or Wayland connection; it brings no main loop and no thread.
#include "platform/idle/idle_sources.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace lumivex {

namespace {

constexpr const char* MutterName = "org.gnome.Mutter.IdleMonitor";
constexpr const char* MutterPath = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr const char* ScreenSaverName = "org.freedesktop.ScreenSaver";
// Browsers and players call one or the other.
constexpr const char* ScreenSaverPaths[] = {"/org/freedesktop/ScreenSaver", "/ScreenSaver"};
constexpr const char* BusName = "org.freedesktop.DBus";
constexpr const char* BusPath = "/org/freedesktop/DBus";

struct BusUnref {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct SlotUnref {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using BusPtr = std::unique_ptr<sd_bus, BusUnref>;
using SlotPtr = std::unique_ptr<sd_bus_slot, SlotUnref>;
using MessagePtr = std::unique_ptr<sd_bus_message, MessageUnref>;

std::string ErrorOf(int negativeErrno) {
    return std::strerror(-negativeErrno);
}

// A method call's reply, or nullptr with the reason in `problem`.
template <typename... Arguments>
MessagePtr Call(sd_bus* bus, const char* destination, const char* path, const char* interface,
                const char* member, std::string& problem, const char* types,
                Arguments... arguments) {
    sd_bus_error error{}; // SD_BUS_ERROR_NULL, which is C
    sd_bus_message* reply = nullptr;
    const int result = sd_bus_call_method(bus, destination, path, interface, member, &error, &reply,
                                          types, arguments...);
    if (result < 0)
        problem = error.message != nullptr ? error.message : ErrorOf(result);
    sd_bus_error_free(&error);
    return MessagePtr(result < 0 ? nullptr : reply);
}

class SdBus final : public IdleBus {
  public:
    explicit SdBus(sd_bus* bus) : bus_(bus) {}

    // Told of every name that leaves the bus: GNOME's idle monitor, and the callers that hold
    // inhibitions.
    bool Start(std::string& problem) {
        sd_bus_slot* slot = nullptr;
        const int result = sd_bus_match_signal(bus_.get(), &slot, BusName, BusPath, BusName,
                                               "NameOwnerChanged", &OnNameOwnerChanged, this);
        if (result < 0) {
            problem = "the session bus does not answer (" + ErrorOf(result) + ")";
            return false;
        }
        ownerChanges_.reset(slot);
        return true;
    }

    bool WatchMutter(unsigned milliseconds, IdleSink& sink) override {
        std::string problem;
        const MessagePtr owned =
            Call(bus_.get(), BusName, BusPath, BusName, "NameHasOwner", problem, "s", MutterName);
        int has = 0;
        if (!owned || sd_bus_message_read(owned.get(), "b", &has) < 0 || has == 0)
            return false;
        // The signal goes to this connection alone; matched before any watch can fire it.
        sd_bus_slot* slot = nullptr;
        if (sd_bus_match_signal(bus_.get(), &slot, nullptr, MutterPath, MutterName, "WatchFired",
                                &OnWatchFired, this) < 0)
            return false;
        watchFired_.reset(slot);
        const MessagePtr added = Call(bus_.get(), MutterName, MutterPath, MutterName,
                                      "AddIdleWatch", problem, "t", std::uint64_t{milliseconds});
        if (!added || sd_bus_message_read(added.get(), "u", &idleWatch_) < 0) {
            watchFired_.reset();
            return false;
        }
        mutter_ = &sink;
        return true;
    }

    bool ServeScreenSaver(IdleSink& sink) override {
        static const sd_bus_vtable methods[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_METHOD("Inhibit", "ss", "u", &OnInhibit, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_METHOD("UnInhibit", "u", "", &OnUnInhibit, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_VTABLE_END};
        inhibitSink_ = &sink;
        for (const char* path : ScreenSaverPaths) {
            sd_bus_slot* slot = nullptr;
            if (sd_bus_add_object_vtable(bus_.get(), &slot, path, ScreenSaverName, methods, this) <
                0)
                break;
            objects_.emplace_back(slot);
        }
        sd_bus_slot* slot = nullptr;
        if (objects_.size() == std::size(ScreenSaverPaths) &&
            sd_bus_match_signal(bus_.get(), &slot, BusName, BusPath, BusName, "NameLost",
                                &OnNameLost, this) >= 0) {
            nameLost_.reset(slot);
            // A desktop that comes later may take the name over.
            if (sd_bus_request_name(bus_.get(), ScreenSaverName, SD_BUS_NAME_ALLOW_REPLACEMENT) >=
                0)
                return true;
        }
        StopServing();
        return false;
    }

    pollfd Prepare(int& timeout) override {
        std::uint64_t deadline = 0;
        if (sd_bus_get_timeout(bus_.get(), &deadline) >= 0 && deadline != UINT64_MAX) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            const std::uint64_t nowUs =
                std::uint64_t(now.tv_sec) * 1000000U + std::uint64_t(now.tv_nsec) / 1000U;
            const std::uint64_t wait = deadline > nowUs ? (deadline - nowUs + 999) / 1000 : 0;
            if (timeout < 0 || wait < std::uint64_t(timeout))
                timeout = static_cast<int>(wait);
        }
        const int events = sd_bus_get_events(bus_.get());
        return {sd_bus_get_fd(bus_.get()), static_cast<short>(events > 0 ? events : POLLIN), 0};
    }

    // Everything that came is handled, whatever the poll said: sd-bus may hold messages read
    // during a call.
    bool Dispatch(short /*revents*/, std::string& lost) override {
        int result = 0;
        while (lost_.empty() && (result = sd_bus_process(bus_.get(), nullptr)) > 0) {
        }
        if (result < 0 && lost_.empty())
            lost_ = "lost the connection to the session bus (" + ErrorOf(result) + ")";
        lost = lost_;
        return lost_.empty();
    }

  private:
    static SdBus& Of(void* self) { return *static_cast<SdBus*>(self); }

    static int OnWatchFired(sd_bus_message* message, void* self, sd_bus_error* /*error*/) {
        SdBus& bus = Of(self);
        std::uint32_t id = 0;
        if (bus.mutter_ == nullptr || sd_bus_message_read(message, "u", &id) < 0 || id == 0)
            return 0;
        if (id == bus.idleWatch_) {
            // A user-active watch fires once, at the next input.
            sd_bus_slot* slot = nullptr;
            if (sd_bus_call_method_async(bus.bus_.get(), &slot, MutterName, MutterPath, MutterName,
                                         "AddUserActiveWatch", &OnActiveWatchAdded, self, "") >= 0)
                bus.activeWatchCall_.reset(slot);
            bus.mutter_->OnIdle();
        } else if (id == bus.activeWatch_) {
            bus.activeWatch_ = 0;
            bus.mutter_->OnActive();
        }
        return 0;
    }

    static int OnActiveWatchAdded(sd_bus_message* reply, void* self, sd_bus_error* /*error*/) {
        SdBus& bus = Of(self);
        std::uint32_t id = 0;
        if (sd_bus_message_is_method_error(reply, nullptr) == 0 &&
            sd_bus_message_read(reply, "u", &id) >= 0)
            bus.activeWatch_ = id;
        return 0;
    }

    static int OnNameOwnerChanged(sd_bus_message* message, void* self, sd_bus_error* /*error*/) {
        SdBus& bus = Of(self);
        const char* name = nullptr;
        const char* before = nullptr;
        const char* after = nullptr;
        if (sd_bus_message_read(message, "sss", &name, &before, &after) < 0 || *after != '\0')
            return 0;
        if (bus.mutter_ != nullptr && std::strcmp(name, MutterName) == 0)
            bus.lost_ = std::string("GNOME's idle monitor (") + MutterName + ") left the bus";
        else if (name[0] == ':')
            bus.DropInhibitions(name);
        return 0;
    }

    static int OnNameLost(sd_bus_message* message, void* self, sd_bus_error* /*error*/) {
        const char* name = nullptr;
        if (sd_bus_message_read(message, "s", &name) >= 0 &&
            std::strcmp(name, ScreenSaverName) == 0) {
            std::fprintf(stderr, "lumivex-gl: %s is served by another program now\n",
                         ScreenSaverName);
            Of(self).StopServing();
        }
        return 0;
    }

    static int OnInhibit(sd_bus_message* message, void* self, sd_bus_error* /*error*/) {
        SdBus& bus = Of(self);
        const char* application = nullptr;
        const char* reason = nullptr;
        if (const int result = sd_bus_message_read(message, "ss", &application, &reason);
            result < 0)
            return result;
        const char* sender = sd_bus_message_get_sender(message);
        const std::uint32_t cookie = bus.nextCookie_++;
        if (bus.nextCookie_ == 0)
            bus.nextCookie_ = 1;
        const bool first = bus.inhibitions_.empty();
        bus.inhibitions_[cookie] = sender != nullptr ? sender : "";
        if (first)
            bus.inhibitSink_->OnInhibited(true);
        return sd_bus_reply_method_return(message, "u", cookie);
    }

    static int OnUnInhibit(sd_bus_message* message, void* self, sd_bus_error* /*error*/) {
        SdBus& bus = Of(self);
        std::uint32_t cookie = 0;
        if (const int result = sd_bus_message_read(message, "u", &cookie); result < 0)
            return result;
        if (bus.inhibitions_.erase(cookie) > 0 && bus.inhibitions_.empty())
            bus.inhibitSink_->OnInhibited(false);
        return sd_bus_reply_method_return(message, "");
    }

    // The inhibitions of a caller that left the bus (all of them for nullptr).
    void DropInhibitions(const char* caller) {
        if (inhibitions_.empty())
            return;
        std::erase_if(inhibitions_, [caller](const auto& inhibition) {
            return caller == nullptr || inhibition.second == caller;
        });
        if (inhibitions_.empty())
            inhibitSink_->OnInhibited(false);
    }

    void StopServing() {
        DropInhibitions(nullptr);
        objects_.clear();
        nameLost_.reset();
    }

    BusPtr bus_;
    SlotPtr ownerChanges_;
    std::string lost_; // why the watcher must end, once it must
    // GNOME's idle monitor.
    IdleSink* mutter_ = nullptr;
    SlotPtr watchFired_;
    SlotPtr activeWatchCall_;
    std::uint32_t idleWatch_ = 0;
    std::uint32_t activeWatch_ = 0;
    // org.freedesktop.ScreenSaver.
    IdleSink* inhibitSink_ = nullptr;
    std::vector<SlotPtr> objects_;
    SlotPtr nameLost_;
    std::map<std::uint32_t, std::string> inhibitions_; // cookie: the caller's unique name
    std::uint32_t nextCookie_ = 1;
};

} // namespace

std::unique_ptr<IdleBus> IdleBus::Connect(std::string& problem) {
    sd_bus* bus = nullptr;
    if (const int result = sd_bus_open_user(&bus); result < 0) {
        problem = "no session bus (" + ErrorOf(result) + ")";
        return nullptr;
    }
    auto connected = std::make_unique<SdBus>(bus);
    if (!connected->Start(problem))
        return nullptr;
    return connected;
}

} // namespace lumivex
