// The modal loop's order on a scripted back end: what the loop asks of the back end and what the
// window hears share one log.
#include "platform/ModalLoop.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace lumivex {
namespace {

using Log = std::vector<std::string>;

class Script : public ModalLoop::Backend, public WindowEvents {
  public:
    Log Entries;
    std::deque<std::function<void()>> Pending; // events, each run when handled
    std::function<void()> OnWait = [] {};
    std::function<void()> IdleAction = [] {};
    int AllowFromQuery = 0; // the close queries before it refuse
    int IdlePassesDue = 1 << 30;
    bool Ending = false;
    ModalLoop Loop{*this, this};

    bool HandlePendingEvent() override {
        if (Pending.empty())
            return false;
        Entries.push_back("event");
        std::function<void()> event = Pending.front();
        Pending.pop_front();
        event();
        return true;
    }
    void WaitForEvent() override {
        Entries.push_back("wait");
        OnWait();
    }
    bool IsSessionEnding() override { return Ending; }
    bool IdleDue() override { return IdlePassesDue-- > 0; }
    void BeforeIdle() override { Entries.push_back("before idle"); }
    void AfterIdle() override { Entries.push_back("after idle"); }
    void OnKeyDown(std::uint16_t) override {}
    void OnMouseDown() override {}
    void OnMouseMove(int, int) override {}
    void OnTimer(TimerId) override {}
    void OnPaint() override {}
    void OnResize(int, int) override {}
    bool OnCloseQuery() override {
        Entries.push_back("query");
        return AllowFromQuery-- <= 0;
    }
    void OnClose() override { Entries.push_back("close"); }
    void OnIdle() override {
        Entries.push_back("idle");
        IdleAction();
    }
    void OnEndSession() override { Entries.push_back("end session"); }
};

TEST(ModalLoop, EachEventMeetsTheCloseQueryAndWithoutIdleHandlerTheLoopWaits) {
    Script script;
    script.AllowFromQuery = 1;
    script.Pending = {[&] { script.Loop.RequestClose(); }, [] {}};
    script.OnWait = [&] { script.Pending.push_back([&] { script.Loop.RequestClose(); }); };
    script.Loop.Run();
    EXPECT_EQ(script.Entries, (Log{"event", "query", "event", "wait", "event", "query", "close"}));
}

TEST(ModalLoop, TheRequestsOfAnIdlePassMeetOneQueryRightAfterIt) {
    Script script;
    script.Loop.SetIdleHandler(true);
    script.IdleAction = [&] {
        script.Loop.RequestClose();
        script.Pending.push_back([] {});
        // Events handled inside the pass do not run the query early.
        script.Loop.ProcessMessages();
        script.Loop.RequestClose();
        script.Pending.push_back([] {});
    };
    script.Loop.Run();
    EXPECT_EQ(script.Entries,
              (Log{"before idle", "idle", "event", "after idle", "query", "close"}));
}

// As a browser drives it: every queued event, then the idle passes due, each after the events
// queued before it, never a wait; the close query after each.
TEST(ModalLoop, AFrameHandlesThePendingEventsAndTheIdlePassesDueAndSaysWhenTheLoopEnded) {
    Script script;
    script.Loop.SetIdleHandler(true);
    script.IdlePassesDue = 2;
    script.Pending = {[] {}, [] {}};
    script.IdleAction = [&] { script.Pending.push_back([] {}); };
    EXPECT_TRUE(script.Loop.RunFrame());
    EXPECT_EQ(script.Entries, (Log{"event", "event", "before idle", "idle", "after idle", "event",
                                   "before idle", "idle", "after idle", "event"}));
    // A close asked for by a pass is queried before the next pass is due.
    script.Entries.clear();
    script.IdlePassesDue = 2;
    script.IdleAction = [&] { script.Loop.RequestClose(); };
    EXPECT_FALSE(script.Loop.RunFrame());
    EXPECT_EQ(script.Entries, (Log{"before idle", "idle", "after idle", "query", "close"}));
    Script ending;
    ending.Loop.SetIdleHandler(true);
    ending.Ending = true;
    ending.Pending = {[] {}};
    EXPECT_FALSE(ending.Loop.RunFrame());
    EXPECT_FALSE(ending.Loop.RunFrame());
    EXPECT_EQ(ending.Entries, (Log{"end session", "close"}));
}

} // namespace
} // namespace lumivex
