// Sets an environment variable of this process for the lifetime of the object and then puts
// back what was there before (or removes it), on Linux and on Windows alike.
//
//     ScopedEnvironment fps("LUMIVEX_FPS", "1");
#pragma once

#include <optional>
#include <string>

namespace lumivex::testing {

class ScopedEnvironment {
  public:
    ScopedEnvironment(std::string name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    std::string name_;
    std::optional<std::string> previous_;
};

} // namespace lumivex::testing
