// Entry point of the page. The page's script hands over the role of this tab ("writer": it holds
// the page's lock and keeps the settings; "viewer": another tab does, this one shows the picture
// only) and the options of the page's address, names and values in turn ("?count=7&tile" gives
// count 7 tile ""), read with the same table as on Linux and held for this run only. Start-up then
// runs as on the desktop and ends in the animation loop.
#include "platform/options/hack_options.h"
#include "platform/web/web_platform.h"
#include "shell/unInitialize.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    // Outlives main, which the animation loop leaves behind without returning.
    static lumivex::WebPlatform platform;
    lumivex::SetPlatform(&platform);
    const std::vector<std::string> arguments(argv + (argc > 1 ? 2 : argc), argv + argc);
    const bool viewer = argc > 1 && std::string(argv[1]) == "viewer";
    lumivex::HostOptions options = lumivex::ParseAddressOptions(arguments);
    if (!options.Error.empty()) {
        platform.ShowMessage("lumivex-gl: " + options.Error, "Lumivex GL", lumivex::MB_OK);
        return 1;
    }
    platform.SetFrameRateReport(options.FrameRate);
    // A tab that does not keep the settings runs as a hosted saver does: it writes nothing.
    options.Run.Hosted = options.Run.Hosted || viewer;
    return lumivex::RunWithOptions(options.Run);
}
