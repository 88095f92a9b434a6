// Runs a cleanup when its scope is left, by a return or by an exception alike.
#pragma once

#include <utility>

namespace lumivex {

template <typename Cleanup> class ScopeExit {
  public:
    explicit ScopeExit(Cleanup cleanup) : cleanup_(std::move(cleanup)) {}
    ~ScopeExit() { cleanup_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

  private:
    Cleanup cleanup_;
};

} // namespace lumivex
