// The hack's command line: which arguments are options at all, which window a hosted run draws
// in, what the options override, and refusals that name what was wrong.
#include "platform/options/hack_options.h"

#include "gl/OpenGL12.h"
#include "shell/fmCanvas.h"
#include "support/FakePlatform.h"
#include "support/RecordingGL.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace lumivex {
namespace {

using Args = std::vector<std::string>;

std::string SourceFile(const std::string& file) {
    std::ifstream in(std::string(LUMIVEX_SOURCE_DIR) + "/" + file);
    return {std::istreambuf_iterator<char>(in), {}}; // empty when the file is missing
}

// The first group of the first match, empty when there is none.
std::string FirstMatch(const std::string& text, const char* pattern) {
    std::smatch match;
    return std::regex_search(text, match, std::regex(pattern)) ? match[1].str() : std::string();
}

TEST(HostOptions, ModeLettersStayAndTheWindowIsTheGivenOneElseTheHostsElseTheRoot) {
    for (const Args& args : {Args{}, Args{"/s"}, Args{"-s"}, Args{"S"}, Args{"-c:1234"},
                             Args{"/p", "1234"}, Args{"/a", "5"}, Args{""}, Args{"--"}})
        EXPECT_FALSE(ParseHostOptions(args, nullptr).UsesOptions) << args.size();
    EXPECT_FALSE(ParseHostOptions({"/s"}, "0x600008").UsesOptions);
    const HostOptions idle = ParseHostOptions({"--idle"}, "0x600008"); // five minutes, not hosted
    EXPECT_TRUE(idle.UsesOptions && idle.Error.empty() && !idle.Run.Hosted &&
                idle.IdleSeconds == 300);

    struct Case {
        Args args;
        const char* host;
        unsigned long window;
    };
    // Users often leave --root out of a host's program line: the host's window alone will do.
    for (const Case& c : {Case{{}, "0x600008", 0x600008}, Case{{"--root"}, nullptr, 0},
                          Case{{"-root"}, "4194305", 4194305},
                          Case{{"--root", "--window-id", "0x400E22"}, "0x600008", 0x400E22},
                          Case{{"-window-id=0X1f"}, nullptr, 0x1F}}) {
        const HostOptions options = ParseHostOptions(c.args, c.host);
        EXPECT_TRUE(options.UsesOptions && options.Run.Hosted) << options.Error;
        EXPECT_EQ(options.HostWindow, c.window);
    }
}

TEST(HostOptions, OptionsOverrideTheirSettingsInTheStoredUnits) {
    const HostOptions options = ParseHostOptions(
        {"--count", "7", "--reflections=24", "-tile", "-colour", "3", "--no-mirror",
         "--translucent", "--delay", "12500", "--fps", "--background", "33669C"},
        nullptr);
    ASSERT_EQ(options.Error, "");
    EXPECT_FALSE(options.Run.Hosted);
    const TSettingsOverrides& o = options.Run.Overrides;
    EXPECT_TRUE(o.NumOfElements == 7 && o.NumOfReflections == 24 && o.Colour == 3);
    EXPECT_TRUE(o.FullScreen == true && o.Reflected == false && o.Alpha == true);
    EXPECT_EQ(o.Rest, 13); // microseconds to the nearest millisecond
    EXPECT_EQ(o.Background, 0x009C6633u);
    EXPECT_TRUE(options.FrameRate);
    // Numbers beyond any range are brought into it later, not refused.
    const TSettingsOverrides huge =
        ParseHostOptions({"--delay", "99999999999999999999999", "--count", "-99999999999"}, nullptr)
            .Run.Overrides;
    EXPECT_EQ(huge.Rest, 2000);
    EXPECT_LT(*huge.NumOfElements, 1);
    EXPECT_EQ(ParseHostOptions({"--delay", "-5"}, nullptr).Run.Overrides.Rest, 0);
}

TEST(HostOptions, RefusalsNameWhatWasWrong) {
    struct Case {
        Args args;
        const char* host;
        const char* named;
    };
    for (const Case& c : {Case{{"--frobnicate"}, nullptr, "'--frobnicate'"},
                          Case{{"--root", "-Count", "3"}, nullptr, "'-Count'"},
                          Case{{"--count"}, nullptr, "--count needs a value"},
                          Case{{"--delay", "1e3"}, nullptr, "'1e3' for --delay"},
                          Case{{"--tile=1"}, nullptr, "--tile takes no value"},
                          Case{{"--window-id", "0"}, nullptr, "'0' for --window-id"},
                          Case{{"--window-id", "-5"}, nullptr, "'-5' for --window-id"},
                          Case{{"--root"}, "screen0", "'screen0' in XSCREENSAVER_WINDOW"},
                          Case{{"--root", "/s"}, nullptr, "'/s'"},
                          // Nothing after "--" or after a name-less option is passed over.
                          Case{{"--", "--root"}, nullptr, "'--root' after '--'"},
                          Case{{"--root", "--", "--count", "3"}, nullptr, "argument '--'"},
                          Case{{"-=x"}, nullptr, "unknown option '-=x'"},
                          Case{{"--count", "+-5"}, nullptr, "'+-5' for --count"},
                          Case{{"--delay", "+"}, nullptr, "'+' for --delay"},
                          Case{{"--seed", "-1"}, nullptr, "'-1' for --seed (0 to 4294967295)"},
                          Case{{"--seed=4294967296"}, nullptr, "'4294967296' for --seed"},
                          Case{{"--seed", "12abc"}, nullptr, "'12abc' for --seed"},
                          Case{{"--background", "12345"}, nullptr, "'12345' for --background"},
                          Case{{"--background=0x1234"}, nullptr, "'0x1234' for --background"},
                          // An idle time of 0 would cover the screen at once.
                          Case{{"--idle", "0"}, nullptr, "'0' for --idle (1 to 86400 seconds)"},
                          Case{{"--idle=86401"}, nullptr, "'86401' for --idle"},
                          Case{{"--idle", "abc"}, nullptr, "unexpected argument 'abc'"},
                          Case{{"--count", "3", "--idle"}, nullptr, "--idle takes no other"}}) {
        const HostOptions options = ParseHostOptions(c.args, c.host);
        EXPECT_TRUE(options.UsesOptions);
        EXPECT_NE(options.Error.find(c.named), std::string::npos) << options.Error;
    }
    EXPECT_EQ(ParseHostOptions({"--count", "+5"}, nullptr).Run.Overrides.NumOfElements, 5);
    EXPECT_EQ(ParseHostOptions({"--seed", "4294967295"}, nullptr).Run.Seed, 4294967295u);
    EXPECT_EQ(ParseHostOptions({"-idle", "1"}, nullptr).IdleSeconds, 1);
    EXPECT_EQ(ParseHostOptions({"--idle=86400"}, nullptr).IdleSeconds, 86400);
}

// The page's address: names and values in turn, only the options a page has, named as written.
TEST(HostOptions, ThePageReadsItsOwnOptionsAndNamesThemAsItsAddressDoes) {
    const HostOptions options =
        ParseAddressOptions({"count", "7", "tile", "", "color", "3", "background", "ff8000"});
    ASSERT_EQ(options.Error, "");
    EXPECT_TRUE(options.Run.Overrides.NumOfElements == 7 && options.Run.Overrides.FullScreen &&
                options.Run.Overrides.Colour == 3 && !options.Run.Hosted &&
                options.Run.Overrides.Background == 0x000080FFu);
    // The page's own tests refuse unknown options and bad values in the browser.
    EXPECT_EQ(ParseAddressOptions({"count", ""}).Error, "count needs a value");
    EXPECT_EQ(ParseAddressOptions({"tile", "1"}).Error, "tile takes no value");
    EXPECT_EQ(ParseAddressOptions({"idle", "5"}).Error, "unknown option 'idle' in the address");
    EXPECT_EQ(ParseAddressOptions({"seed", "4000000007", "angle", "45"}).Run.Seed, 4000000007u);
}

FakePlatform* fake = nullptr;
std::vector<std::uint16_t> keysBeforeKeeping; // each after 7 passes
PictureState kept;
std::vector<testing::GLCall> drawn; // the kept picture's first 40 passes, from its paint on

// The saver window as RunSaverWindow makes it; the keys, then the current picture's first passes.
void DrawAndKeep() {
    testing::RecordingGL gl;
    TfrmCanvas form;
    form.Handle = fake->CreateSaverWindow(&form);
    form.ApplyDesignProperties();
    form.LumivexGL.InitRendering();
    form.FormCreate();
    for (const std::uint16_t key : keysBeforeKeeping) {
        for (int i = 0; i < 7; ++i)
            form.OnIdle();
        fake->CapsLock = fake->CapsLock != (key == VK_CAPITAL);
        form.OnKeyDown(key);
    }
    ASSERT_FALSE(fake->Pictures.empty());
    kept = fake->Pictures.back();
    gl.Clear();
    form.OnPaint();
    for (int i = 0; i < 40; ++i)
        form.OnIdle();
    drawn = gl.Calls();
    fake->DestroySaverWindow();
}

// A picture after Backspace (turned) and Caps Lock edits is drawn again by its command line,
// whatever the stored settings and time of day.
TEST(HostOptions, AKeptPictureIsDrawnAgainPassForPassByItsCommandLine) {
    FakePlatform platform;
    SetPlatform(fake = &platform);
    void (*const savedRunner)() = SaverWindowRunner;
    SaverWindowRunner = &DrawAndKeep;
    platform.MillisecondsOfDay = 43210123;
    const std::string key = "Software\\Orvantix\\Lumivex GL\\Version 3.0";
    platform.SetRegistryDword(key, "Background", 0x00996633);
    keysBeforeKeeping = {VK_BACK, VK_CAPITAL, VK_UP, 'T', VK_DELETE};
    ASSERT_EQ(RunWithOptions({}), 0);
    const PictureState first = kept;
    const std::vector<testing::GLCall> firstPasses = drawn;
    EXPECT_NE(first.BaseAngle, 0.0f) << "Backspace turned nothing: pick another time of day";
    EXPECT_EQ(PictureAddress({4000000007u, 4, 18, false, true, false, false, clNone, 0, 20}),
              "seed=4000000007&count=4&reflections=18&colour=0&no-translucent&mirror&no-tile&"
              "delay=20000");

    for (const char* name : {"Alpha", "FullScreen", "Reflected", "Monochrome"})
        platform.SetRegistryDword(key, name, first.Alpha ? 0 : 1);
    platform.SetRegistryDword(key, "Background", 0);
    platform.MillisecondsOfDay = 999;
    platform.Pictures.clear();
    keysBeforeKeeping.clear();
    std::istringstream words(PictureCommandLine(first));
    const Args line{std::istream_iterator<std::string>(words), {}};
    const HostOptions options = ParseHostOptions(Args(line.begin() + 1, line.end()), nullptr);
    ASSERT_EQ(RunWithOptions(options.Run), 0) << options.Error;
    EXPECT_TRUE(kept.BaseAngle == first.BaseAngle && firstPasses.size() > 1000u &&
                drawn.size() == firstPasses.size() && testing::StreamAt(drawn, 0, firstPasses));

    SaverWindowRunner = savedRunner;
    CloseOpenGL();
    SetPlatform(nullptr);
}

// The settings dialog and the man page spell the options too: they must name exactly the ones the
// parser reads, so that none is added or renamed in one place only.
TEST(HostOptions, TheDialogAndTheManPageListExactlyTheOptionsRead) {
    auto optionsIn = [](const std::string& file, const std::regex& pattern) {
        const std::string text = SourceFile(file);
        std::set<std::string> found;
        for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it)
            found.insert(std::regex_replace((*it)[1].str(), std::regex(R"(\\-)"), "-"));
        return found;
    };
    const auto dialog = HostOptionsInDialog(), names = HostOptionNames();
    EXPECT_EQ(optionsIn("share/xscreensaver/config/lumivex-gl.xml",
                        std::regex(R"(arg(?:-set|-unset)?="(--[a-z-]+))")),
              std::set<std::string>(dialog.begin(), dialog.end()));
    EXPECT_EQ(optionsIn("doc/lumivex-gl.1", std::regex(R"(\\-\\-((?:[a-z]|\\-)+))")),
              std::set<std::string>(names.begin(), names.end()));
}

// Each host starts the program with the command line of its entry, with no window of its own in
// XSCREENSAVER_WINDOW in a preview: the line alone must make a hosted run, under the one name
// every host lists. MATE's screen saver runs only a bare program name it finds in its own
// folders (where the package links lumivex-gl), so a path there would be silently ignored.
TEST(HostOptions, EveryHostsEntryStartsAHostedRunUnderTheProgramsName) {
    const std::string dialog = SourceFile("share/xscreensaver/config/lumivex-gl.xml");
    const std::string theme = SourceFile("share/applications/screensavers/lumivex-gl.desktop");
    struct Case {
        const char* host;
        std::string commandLine, name;
    };
    for (const Case& c : {Case{"xscreensaver", FirstMatch(dialog, R"re(<command arg="([^"]*)")re"),
                               FirstMatch(dialog, R"re(<screensaver [^>]*_label="([^"]*)")re")},
                          Case{"MATE", FirstMatch(theme, R"(\nExec=lumivex-gl( [^\n]*)?\n)"),
                               FirstMatch(theme, R"(\nName=([^\n]*)\n)")}}) {
        std::istringstream words(c.commandLine);
        const Args args{std::istream_iterator<std::string>(words), {}};
        const HostOptions options = ParseHostOptions(args, nullptr);
        EXPECT_TRUE(options.UsesOptions && options.Run.Hosted && options.Error.empty())
            << c.host << ": '" << c.commandLine << "' " << options.Error;
        EXPECT_EQ(c.name, "Lumivex GL") << c.host;
    }
}

} // namespace
} // namespace lumivex
