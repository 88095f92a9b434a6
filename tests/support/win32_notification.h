// GoogleTest's Notification for the Windows test build. GoogleTest 1.12 builds its own on
// std::mutex, which the win32 thread model of mingw-w64 does not have; this one waits on a Win32
// event. It is put in front of every file of that build, with GTEST_HAS_NOTIFICATION_=1, and
// leaves windows.h out so the platform's method names stay free of the Win32 A/W macros.
#pragma once

namespace testing::internal {

class Notification {
  public:
    Notification();
    ~Notification();
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify();
    void WaitForNotification();

  private:
    void* event_;
};

} // namespace testing::internal
