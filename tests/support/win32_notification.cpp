// A manual-reset event: once notified, every waiter, present and later, goes on.
#include "support/win32_notification.h"

#include <cstdlib>

#include <windows.h>

namespace testing::internal {

Notification::Notification() : event_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    if (event_ == nullptr)
        std::abort();
}

Notification::~Notification() {
    ::CloseHandle(event_);
}

void Notification::Notify() {
    ::SetEvent(event_);
}

void Notification::WaitForNotification() {
    ::WaitForSingleObject(event_, INFINITE);
}

} // namespace testing::internal
