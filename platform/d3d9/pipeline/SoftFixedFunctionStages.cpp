#include "pipeline/SoftFixedFunctionStages.h"

#include "pipeline/SoftVertexFetch.h"

#include <cstring>

namespace {

enum : DWORD {
    k_ArgSelect = 0xF,
    k_ArgSpecular = 4,
    k_ArgComplement = 0x10,
    k_ArgAlphaReplicate = 0x20,
    k_TexCoordSetMask = 0xFFFF,
};

bool UsesArg1(DWORD op) { return op != D3DTOP_SELECTARG2 && op != D3DTOP_DISABLE; }
bool UsesArg2(DWORD op) { return op != D3DTOP_SELECTARG1 && op != D3DTOP_DISABLE; }
bool Supported(DWORD op) { return op >= D3DTOP_DISABLE && op <= D3DTOP_ADD; }

const char* CheckArg(DWORD arg) {
    if (arg & ~static_cast<DWORD>(k_ArgSelect | k_ArgComplement | k_ArgAlphaReplicate))
        return "a texture stage argument has flags not handled here";
    if ((arg & k_ArgSelect) > k_ArgSpecular) return "texture stage arguments TEMP and CONSTANT are not supported";
    return nullptr;
}

bool IsTexture(DWORD arg) { return (arg & k_ArgSelect) == D3DTA_TEXTURE; }

// Without a texture a stage acts as if the texture were not among its
// arguments: a binary operation keeps its other argument, a selection of
// the texture keeps the current colour.
void DropTexture(DWORD& op, DWORD& arg1, DWORD& arg2) {
    bool lr_First = UsesArg1(op) && IsTexture(arg1);
    bool lr_Second = UsesArg2(op) && IsTexture(arg2);
    if (!lr_First && !lr_Second) return;
    if (lr_First && !lr_Second && UsesArg2(op)) {
        op = D3DTOP_SELECTARG2;
    } else if (lr_Second && !lr_First && UsesArg1(op)) {
        op = D3DTOP_SELECTARG1;
    } else {
        op = D3DTOP_SELECTARG1;
        arg1 = D3DTA_CURRENT;
    }
}

float Saturate(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }

void Unpack(D3DCOLOR color, float out[4]) {
    out[0] = ((color >> 16) & 0xFF) / 255.0f;
    out[1] = ((color >> 8) & 0xFF) / 255.0f;
    out[2] = (color & 0xFF) / 255.0f;
    out[3] = ((color >> 24) & 0xFF) / 255.0f;
}

// The colours an argument can name, by D3DTA selector.
struct Sources {
    const float* Of[k_ArgSpecular + 1];
};

// One argument of a stage: the named colour itself, or its modified copy in
// `scratch`. Inlined, as it runs for every pixel and stage; results are read
// one channel at a time (a whole-vector read of channels just written one by
// one stalls the store buffer).
__attribute__((always_inline)) inline const float* Argument(DWORD arg, const Sources& sources, float scratch[4]) {
    const float* lr_Source_ = sources.Of[arg & k_ArgSelect];
    if (!(arg & (k_ArgComplement | k_ArgAlphaReplicate))) return lr_Source_;
    for (int i = 0; i < 4; ++i) scratch[i] = lr_Source_[(arg & k_ArgAlphaReplicate) ? 3 : i];
    if (arg & k_ArgComplement)
        for (int i = 0; i < 4; ++i) scratch[i] = 1.0f - scratch[i];
    return scratch;
}

// Channels first..last of `out`; DISABLE leaves them (the alpha passes through).
__attribute__((always_inline)) inline void Apply(DWORD op, const float* a, const float* b, int first, int last,
                                                 float out[4]) {
    switch (op) {
    case D3DTOP_SELECTARG1:
        for (int i = first; i <= last; ++i) out[i] = Saturate(a[i]);
        return;
    case D3DTOP_SELECTARG2:
        for (int i = first; i <= last; ++i) out[i] = Saturate(b[i]);
        return;
    case D3DTOP_MODULATE:
        for (int i = first; i <= last; ++i) out[i] = Saturate(a[i] * b[i]);
        return;
    case D3DTOP_MODULATE2X:
        for (int i = first; i <= last; ++i) out[i] = Saturate(a[i] * b[i] * 2.0f);
        return;
    case D3DTOP_MODULATE4X:
        for (int i = first; i <= last; ++i) out[i] = Saturate(a[i] * b[i] * 4.0f);
        return;
    case D3DTOP_ADD:
        for (int i = first; i <= last; ++i) out[i] = Saturate(a[i] + b[i]);
        return;
    default: return;
    }
}

}  // namespace

SoftFixedFunctionStages::SoftFixedFunctionStages()
    : mr_Stages{},
      mr_StageCount(0),
      mr_Factor{1.0f, 1.0f, 1.0f, 1.0f},
      mr_SpecularAdd(false),
      mr_SlotMask(0),
      mr_Samples(false),
      mr_Sampler_(nullptr) {}

const char* SoftFixedFunctionStages::Configure(const SoftDeviceState& state, const bool textured[SOFT_TEXTURE_STAGES]) {
    mr_StageCount = 0;
    mr_Samples = false;
    mr_SlotMask = 1u << SOFT_ATTRIBUTE_DIFFUSE;
    mr_SpecularAdd = state.RenderStates[D3DRS_SPECULARENABLE] != 0;
    if (mr_SpecularAdd) mr_SlotMask |= 1u << SOFT_ATTRIBUTE_SPECULAR;
    Unpack(state.RenderStates[D3DRS_TEXTUREFACTOR], mr_Factor);
    for (UINT s = 0; s < SOFT_TEXTURE_STAGES; ++s) {
        const DWORD* lr_Tss_ = state.StageStates[s];
        if (lr_Tss_[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
        if (s >= k_Stages) return "texture stages past stage 1 are not supported";
        Stage& lr_Stage = mr_Stages[s];
        lr_Stage.Color = Operation{lr_Tss_[D3DTSS_COLOROP], lr_Tss_[D3DTSS_COLORARG1], lr_Tss_[D3DTSS_COLORARG2]};
        lr_Stage.Alpha = Operation{lr_Tss_[D3DTSS_ALPHAOP], lr_Tss_[D3DTSS_ALPHAARG1], lr_Tss_[D3DTSS_ALPHAARG2]};
        if (!Supported(lr_Stage.Color.Op) || !Supported(lr_Stage.Alpha.Op))
            return "a texture stage operation other than SELECTARG, MODULATE or ADD";
        if (lr_Tss_[D3DTSS_RESULTARG] != D3DTA_CURRENT) return "texture stage results to TEMP are not supported";
        if (lr_Tss_[D3DTSS_TEXTURETRANSFORMFLAGS] != 0) return "texture coordinate transforms are not supported";
        DWORD lr_Index = lr_Tss_[D3DTSS_TEXCOORDINDEX];
        if ((lr_Index & ~static_cast<DWORD>(k_TexCoordSetMask)) || lr_Index >= 8)
            return "generated texture coordinates are not supported";
        lr_Stage.TexCoord = lr_Index;
        lr_Stage.Reads = false;
        for (const Operation* lr_Operation_ : {&lr_Stage.Color, &lr_Stage.Alpha}) {
            const char* ls_Reason = CheckArg(lr_Operation_->Arg1);
            if (!ls_Reason) ls_Reason = CheckArg(lr_Operation_->Arg2);
            if (ls_Reason) return ls_Reason;
            if (UsesArg1(lr_Operation_->Op) && (lr_Operation_->Arg1 & k_ArgSelect) == D3DTA_TEXTURE)
                lr_Stage.Reads = true;
            if (UsesArg2(lr_Operation_->Op) && (lr_Operation_->Arg2 & k_ArgSelect) == D3DTA_TEXTURE)
                lr_Stage.Reads = true;
            for (DWORD lr_Arg : {lr_Operation_->Arg1, lr_Operation_->Arg2})
                if ((lr_Arg & k_ArgSelect) == k_ArgSpecular) mr_SlotMask |= 1u << SOFT_ATTRIBUTE_SPECULAR;
        }
        lr_Stage.Textured = lr_Stage.Reads && textured[s];
        if (!textured[s]) {
            DropTexture(lr_Stage.Color.Op, lr_Stage.Color.Arg1, lr_Stage.Color.Arg2);
            DropTexture(lr_Stage.Alpha.Op, lr_Stage.Alpha.Arg1, lr_Stage.Alpha.Arg2);
        }
        if (lr_Stage.Textured) {
            mr_Samples = true;
            mr_SlotMask |= 1u << (SOFT_ATTRIBUTE_TEXCOORD0 + lr_Index);
        }
        ++mr_StageCount;
    }
    return nullptr;
}

void SoftFixedFunctionStages::ShadeQuad(const SoftPixelInputs inputs[4], const bool live[4],
                                        SoftPixelOutputs outputs[4], UINT) {
    float lr_Texels[k_Stages][4][4];
    for (UINT s = 0; s < mr_StageCount; ++s) {
        const Stage& lr_Stage = mr_Stages[s];
        if (!lr_Stage.Textured) {
            for (auto& lr_Texel : lr_Texels[s])
                for (float& v : lr_Texel) v = 1.0f;
            continue;
        }
        // One derivative for the whole quad, as the coarse hardware rule.
        const float* lr_T0_ = inputs[0].TexCoord[lr_Stage.TexCoord];
        const float* lr_T1_ = inputs[1].TexCoord[lr_Stage.TexCoord];
        const float* lr_T2_ = inputs[2].TexCoord[lr_Stage.TexCoord];
        float lr_Ddx[4], lr_Ddy[4];
        for (int i = 0; i < 4; ++i) {
            lr_Ddx[i] = lr_T1_[i] - lr_T0_[i];
            lr_Ddy[i] = lr_T2_[i] - lr_T0_[i];
        }
        for (int l = 0; l < 4; ++l)
            mr_Sampler_->Sample(s, inputs[l].TexCoord[lr_Stage.TexCoord], lr_Ddx, lr_Ddy, SoftLodMode::Implicit, 0.0f,
                                lr_Texels[s][l]);
    }
    for (int l = 0; l < 4; ++l) {
        SoftPixelOutputs& lr_Out = outputs[l];
        lr_Out.Killed = false;
        lr_Out.DepthWritten = false;
        lr_Out.Depth = 0.0f;
        if (!live[l]) continue;
        const float* lr_Diffuse_ = inputs[l].Color[0];
        const float* lr_Specular_ = inputs[l].Color[1];
        float lr_Current[4] = {lr_Diffuse_[0], lr_Diffuse_[1], lr_Diffuse_[2], lr_Diffuse_[3]};
        for (UINT s = 0; s < mr_StageCount; ++s) {
            const Stage& lr_Stage = mr_Stages[s];
            // The colour operation reads the current rgb before replacing it;
            // the alpha operation reads only alphas, which it alone replaces.
            float lr_Previous[4] = {lr_Current[0], lr_Current[1], lr_Current[2], lr_Current[3]};
            Sources lr_Sources{{lr_Diffuse_, lr_Previous, lr_Texels[s][l], mr_Factor, lr_Specular_}};
            float lr_ScratchA[4], lr_ScratchB[4];
            Apply(lr_Stage.Color.Op, Argument(lr_Stage.Color.Arg1, lr_Sources, lr_ScratchA),
                  Argument(lr_Stage.Color.Arg2, lr_Sources, lr_ScratchB), 0, 2, lr_Current);
            Apply(lr_Stage.Alpha.Op, Argument(lr_Stage.Alpha.Arg1, lr_Sources, lr_ScratchA),
                  Argument(lr_Stage.Alpha.Arg2, lr_Sources, lr_ScratchB), 3, 3, lr_Current);
        }
        if (mr_SpecularAdd)
            for (int i = 0; i < 3; ++i) lr_Current[i] = Saturate(lr_Current[i] + lr_Specular_[i]);
        for (int i = 0; i < 4; ++i) lr_Out.Color[0][i] = lr_Current[i];
    }
}
