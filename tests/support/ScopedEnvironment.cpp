// The C runtime's own environment, which std::getenv reads: POSIX setenv on Linux, _putenv on
// Windows (where "NAME=" removes the variable).
#include "support/ScopedEnvironment.h"

#include <cstdlib>
#include <stdexcept>
#include <utility>

namespace lumivex::testing {
namespace {

void Put(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
    // An empty value would remove the variable instead of setting it.
    if (value && value->empty())
        throw std::invalid_argument("empty environment value for " + name);
    const int failed = ::_putenv((name + "=" + value.value_or("")).c_str());
#else
    const int failed = value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
#endif
    if (failed != 0)
        throw std::runtime_error("cannot set environment variable " + name);
}

} // namespace

ScopedEnvironment::ScopedEnvironment(std::string name, const std::string& value)
    : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str()))
        previous_ = old;
    Put(name_, value);
}

ScopedEnvironment::~ScopedEnvironment() {
    try {
        Put(name_, previous_);
    } catch (...) {
        // A destructor must not throw; the next test sees the variable as it was left.
    }
}

} // namespace lumivex::testing
