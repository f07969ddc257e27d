#include "CostTable.h"

#include <soft/SoftShaderStatistics.h>

#include <sstream>

// Without flow control every shaded pixel runs the whole program, so fetches
// and instructions are pixels times the code's counts (arithmetic slots are
// an upper bound: the compiler does not optimise).
std::vector<std::string> DescribeCost(ISoftDeviceControl* control) {
    std::vector<std::string> lr_Lines;
    unsigned long long lr_Pixels = 0, lr_Fetches = 0, lr_Instructions = 0;
    for (const SoftDrawRecord& lr_Draw : control->GetDraws()) {
        IDirect3DPixelShader9* lr_Shader_ = lr_Draw.PixelShader;
        UINT lr_Size = 0;
        if (!lr_Shader_ || FAILED(lr_Shader_->GetFunction(nullptr, &lr_Size)) || lr_Size < 8) continue;
        std::vector<DWORD> lr_Tokens(lr_Size / sizeof(DWORD));
        SoftShaderStatistics lr_Stats;
        if (FAILED(lr_Shader_->GetFunction(lr_Tokens.data(), &lr_Size)) ||
            !SoftGetShaderStatistics(lr_Tokens.data(), static_cast<UINT>(lr_Tokens.size()), &lr_Stats))
            continue;
        const unsigned long long lr_Fetch = lr_Draw.PixelsShaded * lr_Stats.Texture;
        const unsigned long long lr_Run = lr_Draw.PixelsShaded * (lr_Stats.Texture + lr_Stats.Arithmetic);
        lr_Pixels += lr_Draw.PixelsShaded;
        lr_Fetches += lr_Fetch;
        lr_Instructions += lr_Run;
        std::ostringstream ls_Text;
        ls_Text << lr_Draw.PixelShaderName << ": ps_" << ((lr_Stats.Version >> 8) & 0xFF) << "_"
                << (lr_Stats.Version & 0xFF) << ", " << lr_Stats.Texture << " texture + <= " << lr_Stats.Arithmetic
                << " arithmetic, " << lr_Stats.Temporaries << " temporaries, " << lr_Stats.FloatConstants
                << " constants; " << lr_Draw.PrimitiveCount << " tri, " << lr_Draw.PixelsShaded << " pixels shaded, "
                << lr_Fetch << " texture fetches, <= " << lr_Run << " instructions";
        lr_Lines.push_back(ls_Text.str());
    }
    std::ostringstream ls_Total;
    ls_Total << "frame: " << lr_Pixels << " pixels shaded, " << lr_Fetches << " texture fetches, <= " << lr_Instructions
             << " instructions, " << control->GetCopies().size() << " copies";
    lr_Lines.push_back(ls_Total.str());
    return lr_Lines;
}
