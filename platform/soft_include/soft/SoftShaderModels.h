// What each shader model 2 and 3 gives a shader: its registers and the
// limits no optimiser could rescue. The device's decoder, the caps it
// reports and the compiler's checks (SoftGetShaderLimits) all read this one
// table.
#pragma once

#include <d3d9.h>

constexpr UINT k_SoftNoLimit = 0xFFFFFFFFu;

// The most registers of each constant kind any model gives: what the device
// keeps for SetPixelShaderConstant* and SetVertexShaderConstant*.
constexpr UINT k_SoftPixelFloatConstants = 224;
constexpr UINT k_SoftVertexFloatConstants = 256;
constexpr UINT k_SoftIntConstants = 16;
constexpr UINT k_SoftBoolConstants = 16;
constexpr UINT k_SoftPixelSamplers = 16;

struct SoftShaderModel {
    DWORD Version;             // a version token: D3DPS_VERSION or D3DVS_VERSION; 2.1 is 2.x
    UINT Temporaries;          // r#
    UINT Inputs;               // v#
    UINT Textures;             // t#: pixel shaders before 3.0
    UINT FloatConstants;       // c#
    UINT IntConstants;         // i#
    UINT BoolConstants;        // b#
    UINT Samplers;             // s#
    UINT TextureInstructions;  // texture instructions a shader may hold
    UINT DependentLevels;      // texture reads chained through coordinates
};

// The model of a version token; null for models before 2.0 or unknown ones.
inline const SoftShaderModel* SoftFindShaderModel(DWORD version) {
    static const SoftShaderModel k_Models[] = {
        {D3DPS_VERSION(2, 0), 12, 2, 8, 32, 0, 0, k_SoftPixelSamplers, 32, 4},
        {D3DPS_VERSION(2, 1), 32, 2, 8, 32, k_SoftIntConstants, k_SoftBoolConstants, k_SoftPixelSamplers, 512,
         k_SoftNoLimit},
        {D3DPS_VERSION(3, 0), 32, 10, 0, k_SoftPixelFloatConstants, k_SoftIntConstants, k_SoftBoolConstants,
         k_SoftPixelSamplers, k_SoftNoLimit, k_SoftNoLimit},
        {D3DVS_VERSION(2, 0), 12, 16, 0, k_SoftVertexFloatConstants, k_SoftIntConstants, k_SoftBoolConstants, 0, 0, 0},
        {D3DVS_VERSION(2, 1), 32, 16, 0, k_SoftVertexFloatConstants, k_SoftIntConstants, k_SoftBoolConstants, 0, 0, 0},
        {D3DVS_VERSION(3, 0), 32, 16, 0, k_SoftVertexFloatConstants, k_SoftIntConstants, k_SoftBoolConstants, 4,
         k_SoftNoLimit, k_SoftNoLimit},
    };
    for (const SoftShaderModel& lr_Model : k_Models)
        if (lr_Model.Version == version) return &lr_Model;
    return nullptr;
}
