// A lost X server under the GL library: a fault inside a guarded GLX call on a connection the
// server has closed ends the program as the lost display does; every other fault stays a crash.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/x11/x11_session.h"

#include <cstdint>

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lumivex {
namespace {

// The GL library reading a field of the reply it never got (a null reply, 16 bytes in).
int ReadThroughMissingReply() {
    volatile std::uintptr_t field = 16;
    return *reinterpret_cast<volatile int*>(field);
}

// Our end of a connection whose other end is closed when the server is gone.
int Connection(bool serverGone) {
    int ends[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0)
        return -1;
    if (serverGone)
        close(ends[1]);
    return ends[0];
}

TEST(SurvivingLostServerDeathTest, AFaultOnAClosedConnectionIsTheLostDisplay) {
    EXPECT_EXIT(SurvivingLostServer(Connection(true), ReadThroughMissingReply),
                testing::ExitedWithCode(1), "lost the connection to the X display");
}

TEST(SurvivingLostServerDeathTest, AFaultOnALiveConnectionStaysACrash) {
    const auto crashed = [](int status) {
        return WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) != 0);
    };
    EXPECT_EXIT(SurvivingLostServer(Connection(false), ReadThroughMissingReply), crashed,
                testing::Not(testing::HasSubstr("lost the connection")));
    // Outside a guarded call the program's own faults are never taken for a lost display.
    EXPECT_EXIT(
        {
            SurvivingLostServer(Connection(true), [] { return 0; });
            ReadThroughMissingReply();
        },
        crashed, testing::Not(testing::HasSubstr("lost the connection")));
}

} // namespace
} // namespace lumivex
