// Work that may run away (a macro that expands without end) runs in a child
// process with a time and memory budget: past either the child is killed,
// and whatever it allocated or leaked goes with it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace softfx {

struct ChildBudget {
    double WallSeconds = 10.0;
    size_t MemoryBytes = 256u << 20;  // growth of the child's resident memory over the parent's
};

enum class ChildOutcome { Finished, OverTime, OverMemory, Failed };

// What the child sends: requests it needs answered while it works, then its result.
class IChildChannel {
public:
    // Sends a request to the parent and waits for its answer; false when the
    // parent is gone.
    virtual bool Ask(const std::string& request, std::string& answer) = 0;

protected:
    ~IChildChannel() = default;
};

// Runs `work` in a forked child. The child may ask questions through the
// channel; `answer` runs in the parent for each (so that callbacks of the
// caller run in the caller's process). `result` receives what `work` wrote.
ChildOutcome RunInChild(const std::function<void(IChildChannel&, std::string&)>& work,
                        const std::function<std::string(const std::string&)>& answer, const ChildBudget& budget,
                        std::string& result);

}  // namespace softfx
