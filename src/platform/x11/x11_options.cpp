// Options in the manner of xscreensaver's hacks (see x11_options.h). Counts and the pause are
// clamped later with the stored settings; only text that is no number at all is refused here.
#include "platform/x11/x11_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace lumivex {

const char* const HostOptionsHelp = R"(Usage: lumivex-gl [OPTION]...
       lumivex-gl [MODE [WINDOW]]   (/s, /c, /p, /a: see lumivex-gl /c)

As a screen-saver host's hack (xscreensaver, xsecurelock), one dash or two:
  --root                 draw in the host's window ($XSCREENSAVER_WINDOW), else in
                         the root window
  --window-id ID         draw in window ID (0x... or decimal), as in a preview
  --count N              elements, 1 to 10
  --reflections N        copies around the centre, 2 to 72
  --colour N, --color N  0 = many colours, 1 to 9 = shades of one colour
  --translucent, --no-translucent   translucent elements or not
  --mirror, --no-mirror             every other copy mirrored or not
  --tile, --no-tile                 elements tiled over the screen or not
  --delay MICROSECONDS   pause after each frame, 0 to 2000000
  --fps                  the frame rate on standard error once a second
  --display NAME         the X display (default $DISPLAY)
  --help, --version
A set XSCREENSAVER_WINDOW makes a run hosted even without --root. A hosted run
draws inside the host's window, takes no input, never writes the settings and
ends on SIGTERM, SIGINT, SIGHUP or when its window goes. Without a host the
options run the saver full screen as /s does. Either way they hold for that run
only; values out of range are brought into range.
)";

namespace {

constexpr std::int64_t MaxDelayMicroseconds = 2000000;

// "-root", "-window-id" and "--count" are options; "-s", "/s" and "-c:1234" are mode letters.
bool LooksLikeOption(std::string_view argument) {
    if (argument.size() < 3 || argument[0] != '-')
        return false;
    if (argument[1] == '-')
        return true;
    const std::string_view word = argument.substr(1, argument.find('=') - 1);
    return std::isalpha(static_cast<unsigned char>(word[0])) != 0 &&
           std::all_of(word.begin(), word.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-';
           });
}

// A decimal number; numbers too large for 64 bits saturate, as they are clamped anyway.
std::optional<std::int64_t> ParseNumber(std::string_view text) {
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && text[0] == '+')
        text.remove_prefix(1);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || end != text.data() + text.size())
        return std::nullopt;
    if (error == std::errc::result_out_of_range)
        return negative ? std::numeric_limits<std::int64_t>::min()
                        : std::numeric_limits<std::int64_t>::max();
    return error == std::errc() ? std::optional(value) : std::nullopt;
}

// Hosts write window ids in hex (0x600008) or decimal (4194305).
std::optional<unsigned long> ParseWindowId(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint32_t id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || id == 0)
        return std::nullopt;
    return id;
}

std::int32_t ToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace

HostOptions ParseHostOptions(const std::vector<std::string>& arguments, const char* hostWindow) {
    HostOptions result;
    const bool hostSet = hostWindow != nullptr && hostWindow[0] != '\0';
    if (arguments.empty() ? !hostSet : !LooksLikeOption(arguments[0]))
        return result;
    result.UsesOptions = true;
    TSettingsOverrides& overrides = result.Run.Overrides;
    bool root = false;
    bool windowGiven = false;
    for (std::size_t i = 0; i < arguments.size() && result.Error.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (!LooksLikeOption(argument)) {
            result.Error = "unexpected argument '" + argument + "' (see --help)";
            break;
        }
        std::string name = argument.substr(argument[1] == '-' ? 2 : 1);
        std::optional<std::string> attached; // --count=7
        if (const std::size_t equals = name.find('='); equals != std::string::npos) {
            attached = name.substr(equals + 1);
            name.resize(equals);
        }
        const std::string shown = "--" + name;
        auto value = [&]() -> std::optional<std::string> {
            if (attached)
                return attached;
            if (i + 1 < arguments.size())
                return arguments[++i];
            result.Error = shown + " needs a value";
            return std::nullopt;
        };
        auto number = [&]() -> std::optional<std::int64_t> {
            const std::optional<std::string> text = value();
            if (!text)
                return std::nullopt;
            const std::optional<std::int64_t> parsed = ParseNumber(*text);
            if (!parsed)
                result.Error = "bad value '" + *text + "' for " + shown;
            return parsed;
        };
        auto setting = [&](std::optional<std::int32_t>& field) {
            if (const std::optional<std::int64_t> parsed = number())
                field = ToInt32(*parsed);
        };
        auto flag = [&](bool& field) {
            if (attached)
                result.Error = shown + " takes no value";
            field = true;
        };
        auto toggle = [&](std::optional<bool>& field, bool on) {
            if (attached)
                result.Error = shown + " takes no value";
            field = on;
        };

        if (name == "root") {
            flag(root);
        } else if (name == "window-id") {
            if (const std::optional<std::string> text = value()) {
                const std::optional<unsigned long> id = ParseWindowId(*text);
                if (!id)
                    result.Error = "bad window id '" + *text + "' for --window-id";
                result.HostWindow = id.value_or(0);
                windowGiven = true;
            }
        } else if (name == "count") {
            setting(overrides.NumOfElements);
        } else if (name == "reflections") {
            setting(overrides.NumOfReflections);
        } else if (name == "colour" || name == "color") {
            setting(overrides.Colour);
        } else if (name == "delay") {
            // Microseconds, as hosts give them; the pause is whole milliseconds.
            if (const std::optional<std::int64_t> parsed = number())
                overrides.Rest = ToInt32(
                    (std::clamp<std::int64_t>(*parsed, 0, MaxDelayMicroseconds) + 500) / 1000);
        } else if (name == "translucent" || name == "no-translucent") {
            toggle(overrides.Alpha, name == "translucent");
        } else if (name == "mirror" || name == "no-mirror") {
            toggle(overrides.Reflected, name == "mirror");
        } else if (name == "tile" || name == "no-tile") {
            toggle(overrides.FullScreen, name == "tile");
        } else if (name == "fps") {
            flag(result.FrameRate);
        } else if (name == "display") {
            result.Display = value().value_or("");
        } else if (name == "help") {
            flag(result.Help);
        } else if (name == "version") {
            flag(result.Version);
        } else {
            result.Error = "unknown option '" + argument + "' (see --help)";
        }
    }
    // The window: --window-id, else the host's, else the root window.
    if (!windowGiven && hostSet && result.Error.empty()) {
        const std::optional<unsigned long> id = ParseWindowId(hostWindow);
        if (!id)
            result.Error = std::string("bad window id '") + hostWindow + "' in XSCREENSAVER_WINDOW";
        result.HostWindow = id.value_or(0);
    }
    result.Run.Hosted = root || windowGiven || hostSet;
    return result;
}

} // namespace lumivex
