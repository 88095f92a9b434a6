// Counts heap allocations made by a piece of work, to show that a frame makes none. Linking
// this replaces the program's global operator new and delete; they count only while armed.
#pragma once

namespace lumivex::testing {

void StartCountingAllocations();
long StopCountingAllocations(); // allocations since the start

template <typename Work> long CountAllocations(Work&& work) {
    StartCountingAllocations();
    work();
    return StopCountingAllocations();
}

} // namespace lumivex::testing
