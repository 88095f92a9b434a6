// The portable subsystems reach the system only through the platform interface: none of their
// files may include an operating-system header.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

TEST(PortableSourcesTest, IncludeNoOperatingSystemHeader) {
    const fs::path source = fs::path(__FILE__).parent_path().parent_path().parent_path() / "src";
    ASSERT_TRUE(fs::is_directory(source)) << source;
    const std::regex systemHeader(
        R"(^\s*#\s*include\s*[<"](windows\.h|win\w*\.h|mmsystem\.h|unistd\.h|dlfcn\.h|sys/|fcntl\.h|pthread\.h|signal\.h|link\.h))",
        std::regex::icase);
    // Case matters here: "gl/" is the program's own GL table.
    const std::regex windowSystemHeader(R"(^\s*#\s*include\s*[<"](X11/|GL/))");
    std::vector<fs::path> sources;
    // The platform interface's own files are portable too; its back ends' folders are not.
    for (const auto& entry : fs::directory_iterator(source / "platform"))
        sources.push_back(entry.path());
    for (const char* portable :
         {"platform/regfile", "platform/options", "gl", "elements", "view", "system", "shell"})
        if (fs::is_directory(source / portable))
            for (const auto& entry : fs::recursive_directory_iterator(source / portable))
                sources.push_back(entry.path());
    int files = 0;
    for (const fs::path& path : sources) {
        const std::string extension = path.extension().string();
        if (extension != ".cpp" && extension != ".h")
            continue;
        ++files;
        std::ifstream file(path);
        std::string line;
        for (int number = 1; std::getline(file, line); ++number)
            EXPECT_FALSE(std::regex_search(line, systemHeader) ||
                         std::regex_search(line, windowSystemHeader))
                << path.string() << ":" << number << ": " << line;
    }
    EXPECT_GT(files, 0);
}

// Every include between the portable folders points down: platform interface, registry file and
// GL table, elements and settings, view, shell. A folder may include its own files and lower
// folders only; no portable folder includes a back end's.
TEST(PortableSourcesTest, IncludesPointDown) {
    const fs::path source = fs::path(__FILE__).parent_path().parent_path().parent_path() / "src";
    const std::map<std::string, int> level = {{"platform", 0}, {"platform/regfile", 1}, {"gl", 1},
                                              {"elements", 2}, {"system", 2},           {"view", 3},
                                              {"shell", 4},    {"platform/options", 5}};
    const std::regex projectInclude(R"(^\s*#\s*include\s*"([\w/]+)/[\w.]+")");
    for (const auto& [folder, rank] : level) {
        if (folder == "platform")
            continue; // its back ends sit on top of everything
        for (const auto& entry : fs::recursive_directory_iterator(source / folder)) {
            std::ifstream file(entry.path());
            std::string line;
            std::smatch match;
            for (int number = 1; std::getline(file, line); ++number) {
                if (!std::regex_search(line, match, projectInclude) || match[1] == folder)
                    continue;
                const auto target = level.find(match[1]);
                EXPECT_TRUE(target != level.end() && target->second < rank)
                    << entry.path().string() << ":" << number << ": " << line;
            }
        }
    }
}
