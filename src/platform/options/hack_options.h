// The command line of a screen-saver host's hack: options with one or two dashes (--root,
// -window-id ID, --count N...) beside the Windows-style mode letters (/s, -s, /c, /p, /a), which
// keep their meaning. XSCREENSAVER_WINDOW, which every host sets, makes a run hosted by itself.
// Portable: the page reads the options of its address (?count=7&tile) with the same table.
#pragma once

#include "shell/unInitialize.h"

#include <string>
#include <string_view>
#include <vector>

namespace lumivex {

struct HostOptions {
    // False: the arguments are a mode letter and window handle, for RunProgram.
    bool UsesOptions = false;
    std::string Error; // one line naming the option or value; the run must not start
    bool Help = false;
    bool Version = false;
    bool FrameRate = false;
    std::string Display; // --display, empty for $DISPLAY
    // --idle [SECONDS]: the session's idle watcher, which runs the saver after SECONDS idle; 0
    // for a saver run.
    int IdleSeconds = 0;
    unsigned long HostWindow = 0; // 0 = the root window
    TRunOptions Run;
};

// `arguments` without the program name; `hostWindow` is $XSCREENSAVER_WINDOW (or nullptr).
HostOptions ParseHostOptions(const std::vector<std::string>& arguments, const char* hostWindow);

// The options of the page's address ("?count=7&tile"): names and values in turn, a value empty
// when the address gives none. Only the options that mean something in a page are read, and a
// refusal names them as the address does ("count", not "--count").
HostOptions ParseAddressOptions(const std::vector<std::string>& pairs);

// An option that makes a picture again: its name as the table spells it, and its value (empty for
// a switch).
struct PictureOption {
    std::string_view Name;
    std::string Value;
};

// The options that make the picture again, every one that decides it, so that nobody's stored
// settings change it; none when options cannot give it (a colour of the stored settings that no
// digit key gives).
std::vector<PictureOption> PictureOptions(const PictureState& picture);
// The same as the page's address takes them ("seed=4000000007&count=4&tile..."), and as a command
// line ("lumivex-gl --seed 4000000007 --count 4 --tile ..."); empty when there are none.
std::string PictureAddress(const PictureState& picture);
std::string PictureCommandLine(const PictureState& picture);

// What --help prints.
std::string HostOptionsHelp();
// Every spelling of every option, without dashes ("colour", "color", "no-tile", ...).
std::vector<std::string_view> HostOptionNames();
// The options as the xscreensaver settings dialog passes them ("--count", "--no-mirror", ...).
std::vector<std::string_view> HostOptionsInDialog();

} // namespace lumivex
