// The substitute D3DX's budget for creating one effect: its HLSL compiler
// runs in a process of its own, stopped past the budget's CPU time or
// memory. Exported by the substitute d3dx9 library only; product code never
// uses it. Tests shrink the budget to reach it in seconds.
#pragma once

#include <d3d9.h>

struct SoftEffectCompileBudget {
    DWORD CpuMilliseconds;  // CPU time of the compiler process, all of one effect's shaders together
    ULONGLONG MemoryBytes;  // the compiler process's memory
};

extern "C" {
// The budget every later effect creation gets; zero fields restore the defaults (10 s, 1 GiB).
DECLSPEC_EXPORT void WINAPI SoftSetEffectCompileBudget(const SoftEffectCompileBudget* budget);
DECLSPEC_EXPORT void WINAPI SoftGetEffectCompileBudget(SoftEffectCompileBudget* budget);
// Compiler processes started so far in this process; identical compiles reuse earlier results and start none.
DECLSPEC_EXPORT ULONGLONG WINAPI SoftGetEffectCompilerRuns();
}  // extern "C"
