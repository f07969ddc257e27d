// Counts the heap allocations a stretch of code makes through global
// operator new. Linking ssao_allocation_counter replaces operator new and
// delete for the whole program (the shared libraries included), so link it
// only into test programs made for counting.
//
// Usage:
//   AllocationCounter::Start();
//   ...code under test...
//   AllocationCounter::Stop();
//   EXPECT_EQ(AllocationCounter::Total(), 0u);
//
// With SSAO_TRACE_ALLOCATIONS set in the environment, every counted
// allocation prints its call stack to stderr.
#pragma once

class AllocationCounter {
public:
    // Zeroes the counts and starts counting on every thread.
    static void Start();
    static void Stop();

    // Allocations counted since Start.
    static unsigned long Total();
    // Those made with one of the substitute platform libraries (the software
    // device, the effect runtime, the Windows text functions) on the stack.
    static unsigned long Platform();
    // The rest.
    static unsigned long Ours() { return Total() - Platform(); }
};
