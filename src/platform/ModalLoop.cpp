// The modal loop's order; see ModalLoop.h.
#include "platform/ModalLoop.h"

namespace lumivex {

ModalLoop::Turn ModalLoop::Step() {
    if (events_ == nullptr || EndIfSessionEnding())
        return Turn::Ended;
    backend_.BeforeEvents();
    if (backend_.HandlePendingEvent())
        return CloseQuery(Turn::Event);
    if (!idleInstalled_ || !backend_.IdleDue())
        return CloseQuery(Turn::Waiting);
    backend_.BeforeIdle();
    events_->OnIdle();
    backend_.AfterIdle();
    return CloseQuery(Turn::Idle);
}

void ModalLoop::Run() {
    ended_ = false;
    for (Turn turn = Step(); turn != Turn::Ended; turn = Step())
        if (turn == Turn::Waiting)
            backend_.WaitForEvent();
}

bool ModalLoop::RunFrame() {
    if (ended_)
        return false;
    Turn turn = Step();
    while (turn == Turn::Event || turn == Turn::Idle)
        turn = Step();
    return turn != Turn::Ended;
}

bool ModalLoop::EndIfSessionEnding() {
    if (!backend_.IsSessionEnding())
        return false;
    ended_ = true;
    if (events_ != nullptr) {
        events_->OnEndSession();
        events_->OnClose();
    }
    return true;
}

void ModalLoop::ProcessMessages() {
    backend_.BeforeEvents();
    for (int handled = 0; handled < MaxEventsPerProcessMessages && backend_.HandlePendingEvent();
         ++handled) {
    }
}

// Several requests lead to one query; a refused close is dropped.
ModalLoop::Turn ModalLoop::CloseQuery(Turn turn) {
    if (!closeRequested_)
        return turn;
    closeRequested_ = false;
    if (!events_->OnCloseQuery())
        return turn;
    events_->OnClose();
    ended_ = true;
    return Turn::Ended;
}

} // namespace lumivex
