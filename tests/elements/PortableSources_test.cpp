// The portable subsystems reach the system only through the platform interface: none of their
// files may include an operating-system header.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace fs = std::filesystem;

TEST(PortableSourcesTest, IncludeNoOperatingSystemHeader) {
    const fs::path source = fs::path(__FILE__).parent_path().parent_path().parent_path() / "src";
    ASSERT_TRUE(fs::is_directory(source)) << source;
    const std::regex systemHeader(
        R"(^\s*#\s*include\s*[<"](windows\.h|win\w*\.h|mmsystem\.h|X11/|GL/|unistd\.h|dlfcn\.h|sys/|fcntl\.h|pthread\.h|signal\.h|link\.h))",
        std::regex::icase);
    int files = 0;
    for (const char* portable : {"elements", "view", "system", "shell"}) {
        if (!fs::is_directory(source / portable))
            continue;
        for (const auto& entry : fs::recursive_directory_iterator(source / portable)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".cpp" && extension != ".h")
                continue;
            ++files;
            std::ifstream file(entry.path());
            std::string line;
            for (int number = 1; std::getline(file, line); ++number)
                EXPECT_FALSE(std::regex_search(line, systemHeader))
                    << entry.path().string() << ":" << number << ": " << line;
        }
    }
    EXPECT_GT(files, 0);
}
