// What each shader model 2 and 3 gives a shader: its registers and the
// limits no optimiser could rescue. The device's decoder, the caps it
// reports and the compiler's checks (SoftGetShaderLimits) all read this one
// table.
#pragma once

#include <d3d9.h>

constexpr UINT k_SoftNoLimit = 0xFFFFFFFFu;

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
        {D3DPS_VERSION(2, 0), 12, 2, 8, 32, 0, 0, 16, 32, 4},
        {D3DPS_VERSION(2, 1), 32, 2, 8, 32, 16, 16, 16, 512, k_SoftNoLimit},
        {D3DPS_VERSION(3, 0), 32, 10, 0, 224, 16, 16, 16, k_SoftNoLimit, k_SoftNoLimit},
        {D3DVS_VERSION(2, 0), 12, 16, 0, 256, 16, 16, 0, 0, 0},
        {D3DVS_VERSION(2, 1), 32, 16, 0, 256, 16, 16, 0, 0, 0},
        {D3DVS_VERSION(3, 0), 32, 16, 0, 256, 16, 16, 4, k_SoftNoLimit, k_SoftNoLimit},
    };
    for (const SoftShaderModel& lr_Model : k_Models)
        if (lr_Model.Version == version) return &lr_Model;
    return nullptr;
}
