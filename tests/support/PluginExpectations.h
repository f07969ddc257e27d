// What the tests know of the plug-in from outside: the id of its check box
// and the log lines of a deactivation.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// {E11173DF-0193-4102-81E5-AC8256483E05}
inline const GUID k_ShowAOOnlyGuid = {0xE11173DF, 0x0193, 0x4102, {0x81, 0xE5, 0xAC, 0x82, 0x56, 0x48, 0x3E, 0x05}};

// The twelve lines of a deactivation, in order.
inline std::vector<std::string> DeactivationLines() {
    return {"SSAO: Deactivating...",
            "SSAO: Deinitialising mr_ShaderSystem_...",
            "SSAO: Deinitialising mr_ScreenMask_...",
            "SSAO: Deinitialising mr_ZScreenMask_...",
            "SSAO: Deinitialising mr_ClearMask_...",
            "SSAO: Deinitialising mr_NoiseTexture...",
            "SSAO: Deinitialising mr_BackBufferTexture...",
            "SSAO: Deinitialising mr_AOBackBufferTexture...",
            "SSAO: Deinitialising mr_ZBackBufferTexture...",
            "SSAO: Deinitialising mr_DefaultStateBlock_...",
            "SSAO: Deinitialising mr_CurrentStateBlock_...",
            "SSAO: Deactivating finished."};
}
