// The fixed-function texture stages 0 and 1 (colour and alpha operations
// SELECTARG1, SELECTARG2, MODULATE, MODULATE2X, MODULATE4X, ADD, DISABLE on
// DIFFUSE, SPECULAR, CURRENT, TEXTURE and TFACTOR, with COMPLEMENT and
// ALPHAREPLICATE) and the specular add.
#pragma once

#include "objects/SoftStateRecord.h"
#include "pipeline/SoftQuadShader.h"

class SoftFixedFunctionStages final : public ISoftQuadShader {
public:
    enum : UINT { k_Stages = 2 };

    SoftFixedFunctionStages();

    // Reads the stage and render states; `textured` tells which samplers
    // have a texture. Returns nullptr, or the first setting not handled here.
    const char* Configure(const SoftDeviceState& state, const bool textured[SOFT_TEXTURE_STAGES]);
    // Attribute slots (SoftVertexFetch numbering) the stages read.
    UINT SlotMask() const { return mr_SlotMask; }
    bool Samples() const { return mr_Samples; }
    void SetSampler(ISoftTextureSampler* sampler) { mr_Sampler_ = sampler; }

    void ShadeQuad(const SoftPixelInputs inputs[4], const bool live[4], SoftPixelOutputs outputs[4],
                   UINT worker) override;

private:
    struct Operation {
        DWORD Op;
        DWORD Arg1, Arg2;
    };
    struct Stage {
        Operation Color, Alpha;
        UINT TexCoord;
        bool Textured;  // a texture is bound and an argument reads it
        bool Reads;     // some argument reads TEXTURE
    };

    Stage mr_Stages[k_Stages];
    UINT mr_StageCount;  // stages before the first disabled one
    float mr_Factor[4];
    bool mr_SpecularAdd;
    UINT mr_SlotMask;
    bool mr_Samples;
    ISoftTextureSampler* mr_Sampler_;
};
