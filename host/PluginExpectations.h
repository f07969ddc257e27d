// What the tests know of the plug-in from outside: what any host knows (the
// id of its check box among it) and the log lines of a deactivation.
#pragma once

#include "HostContract.h"

#include <string>
#include <vector>

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
