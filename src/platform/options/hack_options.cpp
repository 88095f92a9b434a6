// Options in the manner of xscreensaver's hacks (see hack_options.h), read and listed by one table.
// Counts and the pause are clamped later with the stored settings; only text that is no number at
// all is refused here, and a seed out of range, which names no picture, or a colour not RRGGBB.
#include "platform/options/hack_options.h"

#include "view/LumivexGL_.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string_view>

namespace lumivex {

namespace {

constexpr std::int64_t MaxDelayMicroseconds = 2000000;
// --idle: five minutes without a value; at most a day.
constexpr int DefaultIdleSeconds = 300;
constexpr std::int64_t MaxIdleSeconds = 86400;

// "-root", "-window-id", "--count" and "-count=7" are options; "-s", "/s" and "-c:1234" are mode
// letters. A mode letter never holds '=', so "-=x" is an option, without a name.
bool LooksLikeOption(std::string_view argument) {
    if (argument.size() < 3 || argument[0] != '-')
        return false;
    if (argument[1] == '-' || argument.find('=') != std::string_view::npos)
        return true;
    const std::string_view word = argument.substr(1);
    return std::isalpha(static_cast<unsigned char>(word[0])) != 0 &&
           std::all_of(word.begin(), word.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-';
           });
}

// A decimal number with one sign at most; numbers too large for 64 bits saturate, as they are
// clamped anyway.
std::optional<std::int64_t> ParseNumber(std::string_view text) {
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && text[0] == '+')
        text.remove_prefix(1);
    const std::string_view digits = negative ? text.substr(1) : text;
    if (digits.empty() || std::isdigit(static_cast<unsigned char>(digits[0])) == 0)
        return std::nullopt;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (end != text.data() + text.size())
        return std::nullopt;
    if (error == std::errc::result_out_of_range)
        return negative ? std::numeric_limits<std::int64_t>::min()
                        : std::numeric_limits<std::int64_t>::max();
    return error == std::errc() ? std::optional(value) : std::nullopt;
}

// The whole of `text` as a 32-bit number in `base`: digits only, no sign, no space, nothing after.
std::optional<std::uint32_t> ParseUnsigned(std::string_view text, int base) {
    std::uint32_t value = 0;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value, base);
    return error == std::errc() && end == last ? std::optional(value) : std::nullopt;
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

// What the options set while they are read: the result, and how the window was chosen.
struct Reading {
    HostOptions& Result;
    bool Root = false;
    bool WindowGiven = false;
    int Options = 0; // read so far
};

// An option's value, read as its row says.
struct Given {
    bool On = true; // false for the "no-" form of a switch
    std::int64_t Number = 0;
    unsigned long Window = 0;
    std::string Text;
};

enum class Takes : std::uint8_t {
    Nothing,
    Switch, // no value; the row's other name is its "no-" form
    Number,
    WindowId,
    Text,
    Seed,   // 0 to 4294967295, refused outside: a seed out of range is no picture's
    Colour, // RRGGBB in hex, as a page's colours are written
    // A number of seconds, 1 to 86400, refused outside (0 would start the saver at once), or
    // none: then the next argument is read as the value only when it is a number.
    OptionalSeconds,
};

template <std::optional<std::int32_t> TSettingsOverrides::*Field>
void SetNumber(Reading& reading, const Given& given) {
    reading.Result.Run.Overrides.*Field = ToInt32(given.Number);
}

template <std::optional<bool> TSettingsOverrides::*Field>
void SetSwitch(Reading& reading, const Given& given) {
    reading.Result.Run.Overrides.*Field = given.On;
}

template <bool HostOptions::*Field> void SetFlag(Reading& reading, const Given&) {
    reading.Result.*Field = true;
}

void SetRoot(Reading& reading, const Given&) {
    reading.Root = true;
}

void SetWindow(Reading& reading, const Given& given) {
    reading.Result.HostWindow = given.Window;
    reading.WindowGiven = true;
}

// Microseconds, as hosts give them; the pause is whole milliseconds.
void SetDelay(Reading& reading, const Given& given) {
    reading.Result.Run.Overrides.Rest =
        ToInt32((std::clamp<std::int64_t>(given.Number, 0, MaxDelayMicroseconds) + 500) / 1000);
}

void SetBackground(Reading& reading, const Given& given) {
    reading.Result.Run.Overrides.Background = static_cast<std::uint32_t>(given.Number);
}

void SetSeed(Reading& reading, const Given& given) {
    reading.Result.Run.Seed = static_cast<std::uint32_t>(given.Number);
}

void SetAngle(Reading& reading, const Given& given) {
    reading.Result.Run.Angle = ToInt32(given.Number);
}

void SetDisplay(Reading& reading, const Given& given) {
    reading.Result.Display = given.Text;
}

void SetIdle(Reading& reading, const Given& given) {
    reading.Result.IdleSeconds = given.Text.empty() ? DefaultIdleSeconds : ToInt32(given.Number);
}

struct OptionRow {
    std::string_view Name;  // without dashes
    std::string_view Other; // an alias, or the "no-" form of a switch
    Takes Value;
    std::string_view ValueName; // as --help shows the value
    void (*Set)(Reading&, const Given&);
    // Lines after the first are continuations; options without help share the last line.
    std::string_view Help;
    std::string_view Dialog; // as the settings dialog passes it; empty when it does not
    bool OnPage;             // the page reads it from its address too
};

// Every option, in --help order.
constexpr OptionRow Options[] = {
    {"root", "", Takes::Nothing, "", SetRoot,
     "draw in the host's window ($XSCREENSAVER_WINDOW), else in\nthe root window", "--root", false},
    {"window-id", "", Takes::WindowId, "ID", SetWindow,
     "draw in window ID (0x... or decimal), as in a preview", "", false},
    {"count", "", Takes::Number, "N", SetNumber<&TSettingsOverrides::NumOfElements>,
     "elements, 1 to 10", "--count", true},
    {"reflections", "", Takes::Number, "N", SetNumber<&TSettingsOverrides::NumOfReflections>,
     "copies around the centre, 2 to 72", "--reflections", true},
    {"colour", "color", Takes::Number, "N", SetNumber<&TSettingsOverrides::Colour>,
     "0 = many colours, 1 to 9 = shades of one colour", "--colour", true},
    {"background", "", Takes::Colour, "RRGGBB", SetBackground,
     "the background colour in hex (default: the stored one)", "", true},
    {"translucent", "no-translucent", Takes::Switch, "", SetSwitch<&TSettingsOverrides::Alpha>,
     "translucent elements or not", "--translucent", true},
    {"mirror", "no-mirror", Takes::Switch, "", SetSwitch<&TSettingsOverrides::Reflected>,
     "every other copy mirrored or not", "--no-mirror", true},
    {"tile", "no-tile", Takes::Switch, "", SetSwitch<&TSettingsOverrides::FullScreen>,
     "elements tiled over the screen or not", "--tile", true},
    {"delay", "", Takes::Number, "MICROSECONDS", SetDelay, "pause after each frame, 0 to 2000000",
     "--delay", true},
    {"fps", "", Takes::Nothing, "", SetFlag<&HostOptions::FrameRate>,
     "the frame rate at the bottom left, once a second", "--fps", true},
    {"seed", "", Takes::Seed, "N", SetSeed,
     "start the generator at N, 0 to 4294967295, not at the\ntime of day: a kept picture's seed",
     "", true},
    {"angle", "", Takes::Number, "DEGREES", SetAngle, "the first picture turned, 0 to 359", "",
     true},
    {"display", "", Takes::Text, "NAME", SetDisplay, "the X display (default $DISPLAY)", "", false},
    {"idle", "", Takes::OptionalSeconds, "[SECONDS]", SetIdle,
     "watch the session: run the saver (/s) once it has been\nidle SECONDS (default 300, 1 to "
     "86400), and again\nafter each return; alone, one watcher per session",
     "", false},
    {"help", "", Takes::Nothing, "", SetFlag<&HostOptions::Help>, "", "", false},
    {"version", "", Takes::Nothing, "", SetFlag<&HostOptions::Version>, "", "", false},
};

constexpr std::string_view HelpHead = R"(Usage: lumivex-gl [OPTION]...
       lumivex-gl [MODE [WINDOW]]   (/s, /c, /p, /a: see lumivex-gl /c)

As a screen-saver host's hack (xscreensaver, xsecurelock), one dash or two:
)";
constexpr std::string_view HelpTail =
    R"(A set XSCREENSAVER_WINDOW makes a run hosted even without --root. A hosted run
draws inside the host's window, takes no input, never writes the settings and
ends on SIGTERM, SIGINT, SIGHUP or when its window goes. Without a host the
options run the saver full screen as /s does. Either way they hold for that run
only; values out of range are brought into range, but a seed, a colour or an
idle time is refused.
)";
// Where the help text of an option starts; the switches' long pairs have a column of their own.
constexpr std::size_t HelpColumn = 25;
constexpr std::size_t SwitchHelpColumn = 36;

const OptionRow* FindOption(std::string_view name, bool& on) {
    for (const OptionRow& row : Options) {
        if (name == row.Name || (!row.Other.empty() && name == row.Other)) {
            on = !(row.Value == Takes::Switch && name == row.Other);
            return &row;
        }
    }
    return nullptr;
}

// "--colour N, --color N"
std::string Usage(const OptionRow& row) {
    std::string usage;
    for (std::string_view name : {row.Name, row.Other}) {
        if (name.empty())
            continue;
        usage += (usage.empty() ? "--" : ", --") + std::string(name);
        if (!row.ValueName.empty())
            usage += " " + std::string(row.ValueName);
    }
    return usage;
}

// The value of the option at arguments[i], read as its row says; false with the error set when
// it is missing or is no such value.
bool ReadValue(const std::vector<std::string>& arguments, std::size_t& i,
               const std::optional<std::string>& attached, const OptionRow& row,
               const std::string& shown, Given& given, std::string& error) {
    if (row.Value == Takes::Nothing || row.Value == Takes::Switch) {
        if (attached)
            error = shown + " takes no value";
        return true; // the option still counts
    }
    if (row.Value == Takes::OptionalSeconds && !attached) {
        // "--idle 60" or "--idle": a following argument is its value only when it is a number.
        if (i + 1 >= arguments.size() || !ParseNumber(arguments[i + 1]))
            return true;
    }
    if (!attached && i + 1 >= arguments.size()) {
        error = shown + " needs a value";
        return false;
    }
    given.Text = attached ? *attached : arguments[++i];
    if (row.Value == Takes::OptionalSeconds) {
        const std::optional<std::int64_t> parsed = ParseNumber(given.Text);
        const bool good = parsed && *parsed >= 1 && *parsed <= MaxIdleSeconds;
        if (!good)
            error = "bad value '" + given.Text + "' for " + shown + " (1 to 86400 seconds)";
        given.Number = parsed.value_or(0);
        return good;
    }
    if (row.Value == Takes::Number) {
        const std::optional<std::int64_t> parsed = ParseNumber(given.Text);
        if (!parsed)
            error = "bad value '" + given.Text + "' for " + shown;
        given.Number = parsed.value_or(0);
        return parsed.has_value();
    }
    if (row.Value == Takes::Seed) {
        // A sign or a number beyond 32 bits names no picture.
        const std::optional<std::uint32_t> seed = ParseUnsigned(given.Text, 10);
        if (!seed)
            error = "bad value '" + given.Text + "' for " + shown + " (0 to 4294967295)";
        given.Number = seed.value_or(0);
        return seed.has_value();
    }
    if (row.Value == Takes::Colour) {
        const std::optional<std::uint32_t> rgb =
            given.Text.size() == 6 ? ParseUnsigned(given.Text, 16) : std::nullopt;
        if (!rgb)
            error = "bad value '" + given.Text + "' for " + shown + " (RRGGBB)";
        // Stored as the settings keep colours: 0x00BBGGRR.
        const std::uint32_t c = rgb.value_or(0);
        given.Number = (c >> 16 & 0xFF) | (c & 0xFF00) | (c & 0xFF) << 16;
        return rgb.has_value();
    }
    if (row.Value == Takes::WindowId) {
        const std::optional<unsigned long> id = ParseWindowId(given.Text);
        if (!id)
            error = "bad window id '" + given.Text + "' for --window-id";
        given.Window = id.value_or(0);
    }
    return true;
}

// Reads the option at arguments[i] (and its value), setting what it sets.
void ReadOption(const std::vector<std::string>& arguments, std::size_t& i, Reading& reading) {
    const std::string& argument = arguments[i];
    std::string& error = reading.Result.Error;
    if (!LooksLikeOption(argument)) {
        error = "unexpected argument '" + argument + "' (see --help)";
        return;
    }
    std::string name = argument.substr(argument[1] == '-' ? 2 : 1);
    std::optional<std::string> attached; // --count=7
    if (const std::size_t equals = name.find('='); equals != std::string::npos) {
        attached = name.substr(equals + 1);
        name.resize(equals);
    }
    Given given;
    const OptionRow* row = FindOption(name, given.On);
    if (row == nullptr) {
        error = "unknown option '" + argument + "' (see --help)";
        return;
    }
    ++reading.Options;
    if (ReadValue(arguments, i, attached, *row, "--" + name, given, error))
        row->Set(reading, given);
}

} // namespace

std::vector<PictureOption> PictureOptions(const PictureState& picture) {
    int colour = 0;
    if (picture.Monochrome && picture.MonoColor != clNone) {
        const TColor* const end = MonoColors + MonoColorsLength;
        const TColor* const found = std::find(MonoColors + 1, end, picture.MonoColor);
        if (found == end)
            return {};
        colour = static_cast<int>(found - MonoColors);
    }
    const auto switched = [](bool on, std::string_view yes, std::string_view no) {
        return PictureOption{on ? yes : no, ""};
    };
    std::vector<PictureOption> options{
        {"seed", std::to_string(picture.Seed)},
        {"count", std::to_string(picture.NumOfElements)},
        {"reflections", std::to_string(picture.NumOfReflections)},
        {"colour", std::to_string(colour)},
        switched(picture.Alpha, "translucent", "no-translucent"),
        switched(picture.Reflected, "mirror", "no-mirror"),
        switched(picture.FullScreen, "tile", "no-tile"),
        {"delay", std::to_string(static_cast<std::int64_t>(picture.Rest) * 1000)},
    };
    // The first paint clears to the background: one other than black is part of the picture.
    if (const std::uint32_t background = picture.Background & 0xFFFFFF; background != 0) {
        char rgb[7];
        std::snprintf(rgb, sizeof rgb, "%02x%02x%02x", background & 0xFF, background >> 8 & 0xFF,
                      background >> 16);
        options.push_back({"background", rgb});
    }
    // Only a new random picture is turned; an unturned one needs no word of it.
    const long angle = std::lround(picture.BaseAngle);
    if (angle != 0)
        options.push_back({"angle", std::to_string(angle)});
    return options;
}

std::string PictureAddress(const PictureState& picture) {
    std::string address;
    for (const PictureOption& option : PictureOptions(picture)) {
        address += (address.empty() ? "" : "&") + std::string(option.Name);
        if (!option.Value.empty())
            address += "=" + option.Value;
    }
    return address;
}

std::string PictureCommandLine(const PictureState& picture) {
    const std::vector<PictureOption> options = PictureOptions(picture);
    if (options.empty())
        return {};
    std::string line = "lumivex-gl";
    for (const PictureOption& option : options) {
        line += " --" + std::string(option.Name);
        if (!option.Value.empty())
            line += " " + option.Value;
    }
    return line;
}

std::string HostOptionsHelp() {
    std::string text(HelpHead);
    std::string together; // the options without help text
    for (const OptionRow& row : Options) {
        const std::string usage = Usage(row);
        if (row.Help.empty()) {
            together += (together.empty() ? "  " : ", ") + usage;
            continue;
        }
        const std::size_t column = row.Value == Takes::Switch ? SwitchHelpColumn : HelpColumn;
        std::string line = "  " + usage;
        line.resize(std::max(column, line.size() + 1), ' ');
        for (char c : row.Help)
            line += c == '\n' ? "\n" + std::string(column, ' ') : std::string(1, c);
        text += line + "\n";
    }
    return text + together + "\n" + std::string(HelpTail);
}

std::vector<std::string_view> HostOptionNames() {
    std::vector<std::string_view> names;
    for (const OptionRow& row : Options) {
        names.push_back(row.Name);
        if (!row.Other.empty())
            names.push_back(row.Other);
    }
    return names;
}

std::vector<std::string_view> HostOptionsInDialog() {
    std::vector<std::string_view> options;
    for (const OptionRow& row : Options)
        if (!row.Dialog.empty())
            options.push_back(row.Dialog);
    return options;
}

HostOptions ParseHostOptions(const std::vector<std::string>& arguments, const char* hostWindow) {
    HostOptions result;
    const bool hostSet = hostWindow != nullptr && hostWindow[0] != '\0';
    // "--" ends the options, and this program has nothing to read after them.
    if (arguments.size() > 1 && arguments[0] == "--") {
        result.UsesOptions = true;
        result.Error = "unexpected argument '" + arguments[1] + "' after '--' (see --help)";
        return result;
    }
    if (arguments.empty() ? !hostSet : !LooksLikeOption(arguments[0]))
        return result;
    result.UsesOptions = true;
    Reading reading{result};
    for (std::size_t i = 0; i < arguments.size() && result.Error.empty(); ++i)
        ReadOption(arguments, i, reading);
    // The watcher runs the saver with its stored settings, in no host's window: nothing else
    // would reach it.
    if (result.IdleSeconds > 0) {
        if (result.Error.empty() && reading.Options > 1)
            result.Error = "--idle takes no other option";
        return result;
    }
    // The window: --window-id, else the host's, else the root window.
    if (!reading.WindowGiven && hostSet && result.Error.empty()) {
        const std::optional<unsigned long> id = ParseWindowId(hostWindow);
        if (!id)
            result.Error = std::string("bad window id '") + hostWindow + "' in XSCREENSAVER_WINDOW";
        result.HostWindow = id.value_or(0);
    }
    result.Run.Hosted = reading.Root || reading.WindowGiven || hostSet;
    return result;
}

HostOptions ParseAddressOptions(const std::vector<std::string>& pairs) {
    HostOptions result;
    result.UsesOptions = true;
    Reading reading{result};
    for (std::size_t i = 0; i + 1 < pairs.size() && result.Error.empty(); i += 2) {
        const std::string& name = pairs[i];
        Given given;
        const OptionRow* row = FindOption(name, given.On);
        if (row == nullptr || !row->OnPage) {
            result.Error = "unknown option '" + name + "' in the address";
            break;
        }
        std::optional<std::string> attached;
        if (!pairs[i + 1].empty())
            attached = pairs[i + 1];
        std::size_t none = 0; // a value comes with its name or not at all
        if (ReadValue({}, none, attached, *row, name, given, result.Error))
            row->Set(reading, given);
    }
    return result;
}

} // namespace lumivex
