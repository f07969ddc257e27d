#include "pipeline/SoftDrawPipeline.h"

#include "objects/SoftShader.h"
#include "objects/SoftSurface.h"

#include <algorithm>
#include <cstring>

namespace {

enum : DWORD { k_MaterialSource = 0, k_Color1Source = 1, k_Color2Source = 2 };

void ColorValue(const D3DCOLORVALUE& color, float out[4]) {
    out[0] = color.r;
    out[1] = color.g;
    out[2] = color.b;
    out[3] = color.a;
}

float Saturate(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }

// Lighting with no light enabled: the global ambient light on the ambient
// material plus the emissive one; alpha from the diffuse material.
struct UnlitColors {
    float Ambient[4];
    DWORD DiffuseSource, AmbientSource, EmissiveSource;
    float Diffuse[4], AmbientMaterial[4], Emissive[4];

    void Configure(const SoftDeviceState& state, UINT slotMask) {
        const DWORD* lr_Rs_ = state.RenderStates;
        D3DCOLOR lr_Ambient = lr_Rs_[D3DRS_AMBIENT];
        Ambient[0] = ((lr_Ambient >> 16) & 0xFF) / 255.0f;
        Ambient[1] = ((lr_Ambient >> 8) & 0xFF) / 255.0f;
        Ambient[2] = (lr_Ambient & 0xFF) / 255.0f;
        Ambient[3] = ((lr_Ambient >> 24) & 0xFF) / 255.0f;
        bool lr_Vertex = lr_Rs_[D3DRS_COLORVERTEX] != 0;
        // A colour source the vertices lack falls back to the material.
        auto lr_Source = [&](D3DRENDERSTATETYPE rs) -> DWORD {
            DWORD lr_Value = lr_Vertex ? lr_Rs_[rs] : k_MaterialSource;
            if (lr_Value == k_Color1Source && !(slotMask & (1u << SOFT_ATTRIBUTE_DIFFUSE))) return k_MaterialSource;
            if (lr_Value == k_Color2Source && !(slotMask & (1u << SOFT_ATTRIBUTE_SPECULAR))) return k_MaterialSource;
            return lr_Value;
        };
        DiffuseSource = lr_Source(D3DRS_DIFFUSEMATERIALSOURCE);
        AmbientSource = lr_Source(D3DRS_AMBIENTMATERIALSOURCE);
        EmissiveSource = lr_Source(D3DRS_EMISSIVEMATERIALSOURCE);
        ColorValue(state.Material.Diffuse, Diffuse);
        ColorValue(state.Material.Ambient, AmbientMaterial);
        ColorValue(state.Material.Emissive, Emissive);
    }

    void Apply(SoftFetchedVertex& vertex) const {
        auto lr_Pick = [&](DWORD source, const float* material) -> const float* {
            if (source == k_Color1Source) return vertex.Slots[SOFT_ATTRIBUTE_DIFFUSE];
            if (source == k_Color2Source) return vertex.Slots[SOFT_ATTRIBUTE_SPECULAR];
            return material;
        };
        const float* lr_Diffuse_ = lr_Pick(DiffuseSource, Diffuse);
        const float* lr_Ambient_ = lr_Pick(AmbientSource, AmbientMaterial);
        const float* lr_Emissive_ = lr_Pick(EmissiveSource, Emissive);
        float lr_Out[4];
        for (int i = 0; i < 3; ++i) lr_Out[i] = Saturate(Ambient[i] * lr_Ambient_[i] + lr_Emissive_[i]);
        lr_Out[3] = Saturate(lr_Diffuse_[3]);
        std::memcpy(vertex.Slots[SOFT_ATTRIBUTE_DIFFUSE], lr_Out, sizeof(lr_Out));
        for (int i = 0; i < 4; ++i) vertex.Slots[SOFT_ATTRIBUTE_SPECULAR][i] = 0.0f;
    }
};

}  // namespace

SoftDrawPipeline::SoftDrawPipeline(UINT threads) : mr_Rasteriser(threads), mr_PixelStage(mr_Rasteriser.WorkerCount()) {}

SoftDrawOutcome SoftDrawPipeline::Draw(const SoftDeviceState& state, SoftSurface* const targets[SOFT_RENDER_TARGETS],
                                       SoftSurface* depthStencil, const SoftDrawInput& input) {
    SoftDrawOutcome lr_Outcome;
    SoftRasterJob lr_Job;
    lr_Outcome.Reason = Prepare(state, targets, depthStencil, input, &lr_Job);
    if (lr_Outcome.Reason) return lr_Outcome;
    lr_Outcome.Rasterised = true;
    lr_Outcome.StencilIgnored = mr_Merger.StencilIgnored();
    SoftRasterCounts lr_Counts = mr_Rasteriser.Draw(lr_Job);
    lr_Outcome.PixelsShaded = lr_Counts.Shaded;
    lr_Outcome.PixelsWritten = lr_Counts.Written;
    return lr_Outcome;
}

const char* SoftDrawPipeline::Prepare(const SoftDeviceState& state, SoftSurface* const targets[SOFT_RENDER_TARGETS],
                                      SoftSurface* depthStencil, const SoftDrawInput& input, SoftRasterJob* job) {
    const DWORD* lr_Rs_ = state.RenderStates;
    if (input.Type != D3DPT_TRIANGLELIST && input.Type != D3DPT_TRIANGLESTRIP && input.Type != D3DPT_TRIANGLEFAN)
        return "points and lines are not rasterised";
    if (state.VertexShader) return "vertex shaders are not interpreted";
    if (lr_Rs_[D3DRS_FILLMODE] != D3DFILL_SOLID) return "only solid fill is rasterised";
    if (lr_Rs_[D3DRS_CLIPPLANEENABLE]) return "user clip planes are not supported";
    if (lr_Rs_[D3DRS_FOGENABLE]) return "fog is not supported";

    // What colours the pixels.
    ISoftQuadShader* lr_Shader_ = nullptr;
    bool lr_ShaderKeepsDepth = true;  // neither writes depth nor kills pixels
    uint64_t lr_Components = 0;
    UINT lr_ColorOutputs = 1;
    const char* ls_Reason = nullptr;
    mr_Sampler.Bind(state);
    if (state.PixelShader) {
        const SoftPixelProgram& lr_Program = static_cast<SoftPixelShader*>(state.PixelShader.Object())->Program();
        ls_Reason = mr_PixelStage.Configure(lr_Program, state, &mr_Sampler);
        if (ls_Reason) return ls_Reason;
        lr_Shader_ = &mr_PixelStage;
        lr_ShaderKeepsDepth = !lr_Program.WritesDepth() && !lr_Program.UsesTexKill();
        lr_Components = mr_PixelStage.ComponentMask();
        lr_ColorOutputs = mr_PixelStage.ColorOutputMask();
    } else {
        bool lr_Textured[SOFT_TEXTURE_STAGES];
        for (UINT s = 0; s < SOFT_TEXTURE_STAGES; ++s) lr_Textured[s] = static_cast<bool>(state.Textures[s]);
        ls_Reason = mr_Stages.Configure(state, lr_Textured);
        if (ls_Reason) return ls_Reason;
        mr_Stages.SetSampler(&mr_Sampler);
        lr_Shader_ = &mr_Stages;
        for (UINT lr_Slot = 0; lr_Slot < SOFT_ATTRIBUTE_SLOTS; ++lr_Slot)
            if (mr_Stages.SlotMask() & (1u << lr_Slot)) lr_Components |= 0xFull << (4 * lr_Slot);
    }

    ls_Reason = mr_Merger.Configure(state, targets, depthStencil, lr_ColorOutputs);
    if (ls_Reason) return ls_Reason;

    ls_Reason =
        state.Declaration
            ? mr_Fetch.DescribeDeclaration(static_cast<SoftVertexDeclaration*>(state.Declaration.Object())->Elements())
            : mr_Fetch.DescribeFvf(state.FVF, input.Streams[0].Stride);
    if (ls_Reason) return ls_Reason;
    ls_Reason = mr_Fetch.Bind(input.Streams, input.MaxVertex);
    if (ls_Reason) return ls_Reason;

    // The pixels this draw may reach.
    const D3DVIEWPORT9& lr_View = state.Viewport;
    SoftPixelRect lr_Clip = mr_Merger.Bounds();
    lr_Clip.Left = std::max(lr_Clip.Left, static_cast<int>(lr_View.X));
    lr_Clip.Top = std::max(lr_Clip.Top, static_cast<int>(lr_View.Y));
    lr_Clip.Right = std::min(lr_Clip.Right, static_cast<int>(lr_View.X + lr_View.Width));
    lr_Clip.Bottom = std::min(lr_Clip.Bottom, static_cast<int>(lr_View.Y + lr_View.Height));
    if (lr_Rs_[D3DRS_SCISSORTESTENABLE]) {
        lr_Clip.Left = std::max(lr_Clip.Left, static_cast<int>(state.Scissor.left));
        lr_Clip.Top = std::max(lr_Clip.Top, static_cast<int>(state.Scissor.top));
        lr_Clip.Right = std::min(lr_Clip.Right, static_cast<int>(state.Scissor.right));
        lr_Clip.Bottom = std::min(lr_Clip.Bottom, static_cast<int>(state.Scissor.bottom));
    }

    mr_Setup.PreTransformed = mr_Fetch.PreTransformed();
    mr_Setup.Viewport = lr_View;
    mr_Setup.CullMode = lr_Rs_[D3DRS_CULLMODE];
    mr_Setup.Clip = lr_Clip;
    mr_Setup.SlotMask = 0;
    for (UINT lr_Slot = 0; lr_Slot < SOFT_ATTRIBUTE_SLOTS; ++lr_Slot)
        if ((lr_Components >> (4 * lr_Slot)) & 0xFu) mr_Setup.SlotMask |= 1u << lr_Slot;
    ls_Reason = TransformVertices(state, input);
    if (ls_Reason) return ls_Reason;
    mr_Flat = lr_Rs_[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    SetupTriangles(input);

    job->Triangles_ = mr_Triangles.data();
    job->TriangleCount = mr_Triangles.size();
    job->Clip = lr_Clip;
    job->ComponentMask = lr_Components;
    job->Shader_ = lr_Shader_;
    job->Merger_ = &mr_Merger;
    job->EarlyDepth = lr_ShaderKeepsDepth && mr_Merger.EarlyDepthTestable();
    return nullptr;
}

const char* SoftDrawPipeline::TransformVertices(const SoftDeviceState& state, const SoftDrawInput& input) {
    UnlitColors lr_Unlit{};
    bool lr_Lit = !mr_Setup.PreTransformed && state.RenderStates[D3DRS_LIGHTING];
    if (lr_Lit) {
        for (const SoftLight& lr_Light : state.Lights)
            if (lr_Light.Enabled) return "fixed-function lights are not supported";
        lr_Unlit.Configure(state, mr_Fetch.SlotMask());
    }
    if (!mr_Setup.PreTransformed) {
        D3DMATRIX lr_WorldView, lr_All;
        SoftMultiplyMatrices(state.Transforms[D3DTS_WORLD], state.Transforms[D3DTS_VIEW], &lr_WorldView);
        SoftMultiplyMatrices(lr_WorldView, state.Transforms[D3DTS_PROJECTION], &lr_All);
        std::memcpy(mr_Setup.WorldViewProjection, lr_All.m, sizeof(lr_All.m));
    }
    mr_Vertices.resize(input.ElementCount);
    SoftFetchedVertex lr_Fetched;
    for (UINT i = 0; i < input.ElementCount; ++i) {
        UINT lr_Vertex = input.Indices_
                             ? static_cast<UINT>(input.BaseVertex +
                                                 static_cast<INT>(SoftReadIndex(input.Indices_, input.IndexSize, i)))
                             : input.StartVertex + i;
        mr_Fetch.Fetch(lr_Vertex, &lr_Fetched);
        if (lr_Lit) lr_Unlit.Apply(lr_Fetched);
        SoftClipVertex& lr_Out = mr_Vertices[i];
        if (mr_Setup.PreTransformed) {
            std::memcpy(lr_Out.Position, lr_Fetched.Position, sizeof(lr_Out.Position));
        } else {
            SoftTransformPosition(mr_Setup, lr_Fetched.Position, lr_Out.Position);
        }
        std::memcpy(lr_Out.Slots, lr_Fetched.Slots, sizeof(lr_Out.Slots));
    }
    return nullptr;
}

void SoftDrawPipeline::SetupTriangles(const SoftDrawInput& input) {
    mr_Triangles.clear();
    const SoftClipVertex* v_ = mr_Vertices.data();
    // Flat shading: the colours of the triangle's first vertex throughout.
    auto lr_Emit = [&](const SoftClipVertex& a, const SoftClipVertex& b, const SoftClipVertex& c,
                       const SoftClipVertex& first) {
        if (!mr_Flat) {
            SoftSetupTriangle(mr_Setup, a, b, c, mr_Triangles);
            return;
        }
        SoftClipVertex lr_Copies[3] = {a, b, c};
        for (SoftClipVertex& lr_Copy : lr_Copies)
            std::memcpy(lr_Copy.Slots, first.Slots, sizeof(float) * 4 * (SOFT_ATTRIBUTE_SPECULAR + 1));
        SoftSetupTriangle(mr_Setup, lr_Copies[0], lr_Copies[1], lr_Copies[2], mr_Triangles);
    };
    UINT n = input.ElementCount;
    switch (input.Type) {
    case D3DPT_TRIANGLELIST:
        for (UINT i = 0; i + 2 < n; i += 3) lr_Emit(v_[i], v_[i + 1], v_[i + 2], v_[i]);
        break;
    case D3DPT_TRIANGLESTRIP:
        // Every other triangle is reversed so that all keep the strip's winding.
        for (UINT i = 0; i + 2 < n; ++i) {
            if (i & 1) {
                lr_Emit(v_[i + 1], v_[i], v_[i + 2], v_[i]);
            } else {
                lr_Emit(v_[i], v_[i + 1], v_[i + 2], v_[i]);
            }
        }
        break;
    default:  // fan
        for (UINT i = 1; i + 1 < n; ++i) lr_Emit(v_[0], v_[i], v_[i + 1], v_[i]);
        break;
    }
}
