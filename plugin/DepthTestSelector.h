// The pass callback "DepthTest": of the passes that carry it, only the one
// whose int annotation "Compare" names the wanted depth test is drawn, the
// others are skipped. RenderDepth.hlsl has one pass per way the host's
// depth buffer may run, for the slices and for the probes; the plug-in says
// which it wants before each draw.
#pragma once

#include "HandlerInterfaces.h"

#include <string>

class DepthTestSelector final : public ICallbackHandler {
public:
    // The values of "Compare".
    enum Compare : int { k_Slices = 0, k_SlicesReversed = 1, k_Probe = 2, k_ProbeReversed = 3 };

    DepthTestSelector() : mr_Name("DepthTest"), mr_Wanted(k_Slices) {}

    void Want(int compare) noexcept { mr_Wanted = compare; }
    int Wanted() const noexcept { return mr_Wanted; }

    PassResult Apply(IShader* shader, D3DXHANDLE pass) override;
    void Reset(IShader*) override {}
    const std::string& GetName() override { return mr_Name; }

private:
    const std::string mr_Name;
    int mr_Wanted;
};
