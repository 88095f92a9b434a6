// The saver window's modal loop, written once for every back end. A back end supplies the few
// things only its window system can do (ModalLoop::Backend); the order lives here:
//
//   each turn:  the session is ending?  -> OnEndSession, OnClose; the loop ends
//               one pending event?      -> handle it, then the close query
//               else, idle handler on
//               and an idle pass due?   -> OnIdle, then the close query
//               else                    -> the close query, then wait for an event or a deadline
//
// The close query (OnCloseQuery, and OnClose when it allows) runs once for all the close
// requests made since the last look; when it allows, the loop ends.
//
// Two ways to drive it:
// - Run() blocks until the loop ends (X11, Windows, the test fake).
// - RunFrame() never blocks, for a host that calls back once a frame and must return (a browser's
//   requestAnimationFrame): it runs turns until one finds neither an event nor an idle pass due,
//   so every event queued since the last frame is handled, one at a time, and the idle passes
//   the back end says are due run, each after the events before it (without an idle handler,
//   the close query alone). It answers false once the loop has ended, and from then on; the host
//   then stops asking for frames and tears the window down.
// Step() is one turn, for a driver that bounds the loop itself (the test fake); it runs a turn
// whether or not the loop has ended.
#pragma once

#include "platform/Platform.h"

namespace lumivex {

class ModalLoop {
  public:
    class Backend {
      public:
        // Handles one pending event (input, paint, due timer, the window system's close);
        // false when nothing is pending.
        virtual bool HandlePendingEvent() = 0;
        // Sleeps until an event may be pending or the next timer is due; may return early.
        // Only Run() calls it.
        virtual void WaitForEvent() = 0;
        // The session ends (logout, the program told to stop, the host's window gone).
        virtual bool IsSessionEnding() = 0;
        // Before each turn looks for events, and before ProcessMessages does.
        virtual void BeforeEvents() {}
        // Whether an idle pass runs now (the pace of a back end that sets it); when not, the turn
        // waits. A back end driven by RunFrame must say no once its frame has had its passes.
        virtual bool IdleDue() { return true; }
        // Around each idle pass.
        virtual void BeforeIdle() {}
        virtual void AfterIdle() {}

      protected:
        ~Backend() = default;
    };

    // What one turn did.
    enum class Turn { Event, Idle, Waiting, Ended };

    // Without events (a window nobody listens to) the loop ends at its first turn.
    ModalLoop(Backend& backend, WindowEvents* events) : backend_(backend), events_(events) {}

    // Asks the loop to end; the close query decides.
    void RequestClose() { closeRequested_ = true; }
    void SetIdleHandler(bool installed) { idleInstalled_ = installed; }
    bool Ended() const { return ended_; }

    // Until the loop ends. A window may run its loop again after it ended.
    void Run();
    // The turns of one frame: its events and its idle passes; never waits. False once the loop
    // has ended.
    bool RunFrame();
    Turn Step();
    // Ends the loop as a turn does when the session is ending (for a back end that looks before
    // it shows the window); true when it ended.
    bool EndIfSessionEnding();
    // Handles up to MaxEventsPerProcessMessages pending events, without the close query: that is
    // the loop's, after the pass that asked for it (Platform::ProcessMessages).
    void ProcessMessages();

    // A flood of events must not starve a frame.
    static constexpr int MaxEventsPerProcessMessages = 512;

  private:
    Turn CloseQuery(Turn turn);

    Backend& backend_;
    WindowEvents* events_;
    bool closeRequested_ = false;
    bool idleInstalled_ = false;
    bool ended_ = false;
};

} // namespace lumivex
