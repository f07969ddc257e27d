// What a compiled shader costs, read from its token stream: the substitute
// D3DX checks a profile's limits with it, and tests and the demo host print
// it. Exported by the substitute d3dx9 library; the real D3DX has no such
// call, so product code never uses it.
#pragma once

#include <d3d9.h>

struct SoftShaderStatistics {
    DWORD Version;         // version token
    UINT Arithmetic;       // arithmetic instruction slots (macros count their expansion): an upper bound
    UINT Texture;          // texture instructions (texld and variants, texkill)
    UINT FlowControl;      // flow-control instructions
    UINT Temporaries;      // r registers used (highest index + 1)
    UINT FloatConstants;   // c registers used, defined ones included (highest index + 1)
    UINT IntConstants;     // i registers used
    UINT BoolConstants;    // b registers used
    UINT Samplers;         // s registers used
    UINT DependentLevels;  // longest chain of texture reads whose coordinates come from earlier reads (1: none)
    UINT Unsupported;      // instructions the stream's model does not have (SoftShaderOpcodes.h)
};

// The limits of a profile that no optimiser could rescue.
struct SoftShaderLimits {
    UINT Texture;
    UINT Temporaries;
    UINT FloatConstants;
    UINT IntConstants;
    UINT BoolConstants;
    UINT Samplers;
    UINT DependentLevels;
};

extern "C" {

// Fills `statistics` from a token stream of at most `maxTokens` tokens; false
// when the stream is malformed.
DECLSPEC_EXPORT BOOL WINAPI SoftGetShaderStatistics(const DWORD* tokens, UINT maxTokens,
                                                    SoftShaderStatistics* statistics);

// The limits of the shader model of a version token; false for a model the
// compiler does not produce.
DECLSPEC_EXPORT BOOL WINAPI SoftGetShaderLimits(DWORD version, SoftShaderLimits* limits);

}  // extern "C"
