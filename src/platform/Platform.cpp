// Holder of the process-wide platform pointer, and the Platform methods of the modal loop.
#include "platform/Platform.h"

#include "platform/ModalLoop.h"

#include <cassert>

namespace lumivex {

namespace {
Platform* current = nullptr;
}

Platform& GetPlatform() {
    assert(current != nullptr && "SetPlatform must run first");
    return *current;
}

void SetPlatform(Platform* platform) {
    current = platform;
}

void Platform::SetIdleHandler(bool installed) {
    if (ModalLoop* loop = SaverLoop())
        loop->SetIdleHandler(installed);
}

void Platform::RequestClose() {
    if (ModalLoop* loop = SaverLoop())
        loop->RequestClose();
}

void Platform::ProcessMessages() {
    if (ModalLoop* loop = SaverLoop())
        loop->ProcessMessages();
}

} // namespace lumivex
