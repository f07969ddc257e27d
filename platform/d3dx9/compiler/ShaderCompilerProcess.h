// Runs the HLSL compiler in a process of its own, one per effect, within the
// effect's budget of CPU time and memory. The process is the budget's
// boundary: a compile that runs away is stopped whole, and whatever the
// compiler leaks is given back when the process ends.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace softfx {

struct ShaderJob {
    std::string Entry;
    std::string Profile;
    // Results: the compiler's bytes when Compiled, its messages either way.
    bool Compiled = false;
    std::string Bytes;
    std::string Messages;
};

// Compiles every job of one effect's text. False when the effect's budget
// ran out or the compiler could not run: `errors` then says so in D3DX's
// form, naming the job it stopped at. Results of identical requests (text,
// name, jobs and budget) are kept and reused.
bool RunShaderCompiler(const char* text, size_t size, const std::string& sourceName, std::vector<ShaderJob>& jobs,
                       std::string& errors);

}  // namespace softfx
