// The hack's command line: which arguments make options at all, which window a hosted run draws
// in, what each option overrides, and the one-line refusals.
#include "platform/x11/x11_options.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace lumivex {
namespace {

using Args = std::vector<std::string>;

TEST(HostOptions, ModeLettersKeepTheirMeaningEvenUnderAHost) {
    for (const Args& args :
         {Args{}, Args{"/s"}, Args{"-s"}, Args{"S"}, Args{"/c:1234"}, Args{"-c:1234"},
          Args{"/p", "1234"}, Args{"/a", "5"}, Args{""}, Args{"-x"}, Args{"--"}}) {
        const HostOptions options = ParseHostOptions(args, nullptr);
        EXPECT_FALSE(options.UsesOptions) << (args.empty() ? "(none)" : args[0]);
    }
    EXPECT_FALSE(ParseHostOptions({"/s"}, "0x600008").UsesOptions);
    // Users often leave --root out of the host's program line: the window alone makes it hosted.
    const HostOptions bare = ParseHostOptions({}, "0x600008");
    EXPECT_TRUE(bare.UsesOptions && bare.Run.Hosted);
    EXPECT_EQ(bare.HostWindow, 0x600008u);
    EXPECT_FALSE(ParseHostOptions({}, "").UsesOptions);
}

TEST(HostOptions, TheWindowIsTheGivenOneElseTheHostsElseTheRoot) {
    struct Case {
        Args args;
        const char* host;
        unsigned long window;
    };
    const Case cases[] = {
        {{"--root"}, nullptr, 0},
        {{"-root"}, "0x600008", 0x600008},
        {{"-root"}, "4194305", 4194305},
        {{"--root", "--window-id", "0x400E22"}, "0x600008", 0x400E22},
        {{"-window-id", "4194305"}, nullptr, 4194305},
        {{"--window-id=0X1f"}, nullptr, 0x1F},
    };
    for (const Case& c : cases) {
        const HostOptions options = ParseHostOptions(c.args, c.host);
        EXPECT_TRUE(options.UsesOptions && options.Run.Hosted && options.Error.empty())
            << c.args[0] << " " << options.Error;
        EXPECT_EQ(options.HostWindow, c.window) << c.args.back();
    }
}

TEST(HostOptions, EachOptionOverridesItsSettingForTheRun) {
    const HostOptions options = ParseHostOptions({"--count", "7", "--reflections=24", "-tile",
                                                  "-colour", "3", "--no-mirror", "--translucent",
                                                  "--delay", "12500", "--fps", "--display", ":3"},
                                                 nullptr);
    ASSERT_TRUE(options.UsesOptions) << options.Error;
    EXPECT_EQ(options.Error, "");
    EXPECT_FALSE(options.Run.Hosted);
    const TSettingsOverrides& o = options.Run.Overrides;
    EXPECT_EQ(o.NumOfElements, 7);
    EXPECT_EQ(o.NumOfReflections, 24);
    EXPECT_EQ(o.FullScreen, true);
    EXPECT_EQ(o.Colour, 3);
    EXPECT_EQ(o.Reflected, false);
    EXPECT_EQ(o.Alpha, true);
    EXPECT_EQ(o.Rest, 13); // microseconds to the nearest millisecond
    EXPECT_TRUE(options.FrameRate);
    EXPECT_EQ(options.Display, ":3");

    // Out of range is brought into range later, with the stored values; the delay here.
    const TSettingsOverrides huge =
        ParseHostOptions({"--delay", "99999999999999999999999", "--count", "-99999999999",
                          "--color", "12", "--mirror", "--no-tile"},
                         nullptr)
            .Run.Overrides;
    EXPECT_EQ(huge.Rest, 2000);
    EXPECT_EQ(huge.NumOfElements, INT_MIN);
    EXPECT_EQ(huge.Colour, 12);
    EXPECT_EQ(huge.Reflected, true);
    EXPECT_EQ(huge.FullScreen, false);
    EXPECT_EQ(ParseHostOptions({"--delay", "-5"}, nullptr).Run.Overrides.Rest, 0);
    EXPECT_FALSE(ParseHostOptions({"--root"}, nullptr).Run.Overrides.NumOfElements.has_value());
}

TEST(HostOptions, RefusalsNameTheOptionOrValue) {
    struct Case {
        Args args;
        const char* host;
        const char* error;
    };
    const Case cases[] = {
        {{"--frobnicate"}, nullptr, "unknown option '--frobnicate' (see --help)"},
        {{"--root", "-Count", "3"}, nullptr, "unknown option '-Count' (see --help)"},
        {{"--count"}, nullptr, "--count needs a value"},
        {{"--count", "seven"}, nullptr, "bad value 'seven' for --count"},
        {{"--delay", "1e3"}, nullptr, "bad value '1e3' for --delay"},
        {{"--tile=1"}, nullptr, "--tile takes no value"},
        {{"--window-id", "0"}, nullptr, "bad window id '0' for --window-id"},
        {{"--window-id", "-5"}, nullptr, "bad window id '-5' for --window-id"},
        {{"--window-id", "0x1g"}, nullptr, "bad window id '0x1g' for --window-id"},
        {{"--root"}, "screen0", "bad window id 'screen0' in XSCREENSAVER_WINDOW"},
        {{"--root", "/s"}, nullptr, "unexpected argument '/s' (see --help)"},
    };
    for (const Case& c : cases) {
        const HostOptions options = ParseHostOptions(c.args, c.host);
        EXPECT_TRUE(options.UsesOptions) << c.error;
        EXPECT_EQ(options.Error, c.error);
    }
    const HostOptions help = ParseHostOptions({"-help", "--version"}, nullptr);
    EXPECT_TRUE(help.Help && help.Version && help.Error.empty());
}

} // namespace
} // namespace lumivex
