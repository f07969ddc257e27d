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
// allocation, and the one made to fail, prints its call stack to stderr.
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
    // Most bytes held at once by blocks allocated since Start.
    static unsigned long long PeakBytes();

    // Makes the nth allocation from now on that is not the platform
    // libraries' (1: the very next) throw std::bad_alloc; 0 disarms. The
    // platform stands in for the system's libraries, which do not throw
    // through their C interfaces, so its allocations never fail.
    static void FailOurs(unsigned long nth);
    // Makes the nth allocation from now on made with the substitute platform
    // on the stack throw std::bad_alloc (1: the very next); 0 disarms. Its
    // interface methods must turn that into a failure code.
    static void FailPlatform(unsigned long nth);
    // Whether the allocation armed by FailOurs or FailPlatform has failed.
    static bool Failed();
    // While on, no thread of the program can start: pthread_create returns
    // EAGAIN, as when a process has run out of threads or address space.
    static void FailThreadStarts(bool fail);
};
