// The five effect files compile with the effect runtime on the software
// device. The slices, the occlusion and the composite offer a ps_2_a
// technique first and a ps_2_0 fallback that a device without ps_2_x
// takes; the blur and the black fill one ps_2_0 technique (their quads are
// pre-transformed, and ps_3_0 would need a vs_3_0 beside it). Each shader
// stays within its profile as the compiler counts it, draws, publishes the
// texture semantics and "sddx" the plug-in binds, and sets the depth and
// blend states its pass needs.
#include "SoftDeviceFixture.h"

#include <d3dx9.h>
#include <soft/SoftShaderStatistics.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct ExpectedParameter {
    const char* Semantic;  // null: looked up by name
    const char* Name;
    D3DXPARAMETER_CLASS Class;
    D3DXPARAMETER_TYPE Type;
    UINT Columns;
};

struct EffectFile {
    const char* File;
    const char* Technique;          // chosen on a shader model 3 device
    const char* ModelTwoTechnique;  // chosen on a device limited to ps_2_0
    bool DepthTest;                 // only the slices are tested against the depth buffer
    std::vector<ExpectedParameter> Parameters;
};

const ExpectedParameter k_Sddx{nullptr, "sddx", D3DXPC_VECTOR, D3DXPT_FLOAT, 4};
// Objects have no columns.
ExpectedParameter Texture(const char* semantic) { return {semantic, nullptr, D3DXPC_OBJECT, D3DXPT_TEXTURE, 0}; }

std::vector<EffectFile> EffectFiles() {
    return {
        {"ShowTexture.hlsl", "ShowTexture", "ShowTexture", false, {Texture("BackBuffer"), Texture("BlurBackBuffer")}},
        {"ZBlur.hlsl", "Blur3x3", "Blur3x3", false, {Texture("BlurBackBuffer"), Texture("ZBackBuffer"), k_Sddx}},
        {"RenderDepth.hlsl", "RenderDepth", "RenderDepthFallback", true, {Texture("NoiseTexture")}},
        {"RenderBlack.hlsl", "RenderBlack", "RenderBlack", false, {}},
        {"SSAO.hlsl",
         "Occlusion",
         "OcclusionFallback",
         false,
         {Texture("ZBackBuffer"), Texture("BlurBackBuffer"), Texture("NoiseTexture"), k_Sddx}},
    };
}

class EffectFileTest : public SoftDeviceFixture {
protected:
    // Compiles the file on the device as it is now; null (and a failure) when it does not.
    ID3DXEffect* Compile(const char* file) {
        const std::string ls_Path = std::string(SSAO_DATA_DIR) + "/" + file;
        ID3DXEffect* lr_Effect = nullptr;
        ID3DXBuffer* lr_Errors = nullptr;
        const HRESULT hr = D3DXCreateEffectFromFileA(mr_Device_, ls_Path.c_str(), nullptr, nullptr, 0, nullptr,
                                                     &lr_Effect, &lr_Errors);
        EXPECT_EQ(D3D_OK, hr) << (lr_Errors ? static_cast<const char*>(lr_Errors->GetBufferPointer()) : "");
        if (lr_Errors) lr_Errors->Release();
        return SUCCEEDED(hr) ? lr_Effect : nullptr;
    }

    std::string ValidTechnique(ID3DXEffect* effect) {
        D3DXHANDLE lr_Technique = nullptr;
        if (FAILED(effect->FindNextValidTechnique(nullptr, &lr_Technique)) || !lr_Technique) return "";
        D3DXTECHNIQUE_DESC lr_Desc{};
        effect->GetTechniqueDesc(lr_Technique, &lr_Desc);
        return lr_Desc.Name ? lr_Desc.Name : "";
    }
};

// Each technique's pixel shader is real model 2 bytecode within its
// profile's limits: ps_2_0 as the substitute checks it (texture slots,
// temporaries, dependent reads), ps_2_x within its 512 instruction slots as
// the compiler counts them, moves included (a driver would refuse more).
// The counts are printed for the record.
TEST_F(EffectFileTest, PixelShadersStayWithinTheirProfiles) {
    for (const EffectFile& lr_File : EffectFiles()) {
        SCOPED_TRACE(lr_File.File);
        ID3DXEffect* lr_Effect = Compile(lr_File.File);
        ASSERT_NE(nullptr, lr_Effect);
        D3DXEFFECT_DESC lr_Effects{};
        ASSERT_EQ(D3D_OK, lr_Effect->GetDesc(&lr_Effects));
        const bool lr_HasFallback = std::string(lr_File.Technique) != lr_File.ModelTwoTechnique;
        EXPECT_EQ(lr_HasFallback ? 2u : 1u, lr_Effects.Techniques);
        for (UINT t = 0; t < lr_Effects.Techniques; ++t) {
            const D3DXHANDLE lr_Technique = lr_Effect->GetTechnique(t);
            D3DXTECHNIQUE_DESC lr_Desc{};
            ASSERT_EQ(D3D_OK, lr_Effect->GetTechniqueDesc(lr_Technique, &lr_Desc));
            SCOPED_TRACE(lr_Desc.Name);
            for (UINT p = 0; p < lr_Desc.Passes; ++p) {
                D3DXPASS_DESC lr_Pass{};
                ASSERT_EQ(D3D_OK, lr_Effect->GetPassDesc(lr_Effect->GetPass(lr_Technique, p), &lr_Pass));
                SCOPED_TRACE(lr_Pass.Name);
                SoftShaderStatistics lr_Stats{};
                ASSERT_TRUE(SoftGetShaderStatistics(lr_Pass.pPixelShaderFunction, 1u << 16, &lr_Stats));
                // The first of two techniques is the extended one, the last always plain ps_2_0.
                const bool lr_Extended = lr_HasFallback && t == 0;
                // RenderDepth's probe passes write no colour, in plain ps_2_0 in both techniques.
                const bool lr_Plain = !lr_Extended || std::string(lr_Pass.Name).find("Probe") != std::string::npos;
                EXPECT_EQ(static_cast<DWORD>(lr_Plain ? D3DPS_VERSION(2, 0) : D3DPS_VERSION(2, 1)), lr_Stats.Version);
                EXPECT_GE(lr_Stats.Arithmetic, 1u) << "at least the write of the colour";
                if (!lr_Plain) {
                    EXPECT_LE(lr_Stats.Arithmetic + lr_Stats.Texture, 512u);
                    EXPECT_LE(lr_Stats.Temporaries, 32u);
                } else {
                    EXPECT_LE(lr_Stats.Texture, 32u);
                    EXPECT_LE(lr_Stats.DependentLevels, 4u);
                    EXPECT_LE(lr_Stats.Temporaries, 12u);
                }
                EXPECT_LE(lr_Stats.FloatConstants, 32u);
                std::printf(
                    "%-17s %-19s %-15s arithmetic <= %3u, texture %2u, dependent levels %u, temporaries %2u, "
                    "constants %2u\n",
                    lr_File.File, lr_Desc.Name, lr_Pass.Name, lr_Stats.Arithmetic, lr_Stats.Texture,
                    lr_Stats.DependentLevels, lr_Stats.Temporaries, lr_Stats.FloatConstants);
            }
        }
        lr_Effect->Release();
    }
}

// The counts of pass `p` of technique `t`'s pixel shader.
SoftShaderStatistics PassStatistics(ID3DXEffect* effect, UINT t, UINT p) {
    D3DXPASS_DESC lr_Pass{};
    SoftShaderStatistics lr_Stats{};
    EXPECT_EQ(D3D_OK, effect->GetPassDesc(effect->GetPass(effect->GetTechnique(t), p), &lr_Pass));
    EXPECT_TRUE(SoftGetShaderStatistics(lr_Pass.pPixelShaderFunction, 1u << 16, &lr_Stats));
    return lr_Stats;
}

// Every pass of every technique, compiled without the optimiser
// (SOFT_D3DX_NO_SHADER_OPTIMISER) and with it: as many texture reads, never
// more arithmetic, fewer instructions in each technique. Printed for the record.
TEST_F(EffectFileTest, TheOptimiserShortensEveryTechnique) {
    for (const EffectFile& lr_File : EffectFiles()) {
        SCOPED_TRACE(lr_File.File);
        setenv("SOFT_D3DX_NO_SHADER_OPTIMISER", "1", 1);
        ID3DXEffect* lr_Plain = Compile(lr_File.File);
        unsetenv("SOFT_D3DX_NO_SHADER_OPTIMISER");
        ID3DXEffect* lr_Optimised = Compile(lr_File.File);
        D3DXEFFECT_DESC lr_Effects{};
        if (lr_Plain && lr_Optimised) lr_Plain->GetDesc(&lr_Effects);
        for (UINT t = 0; t < lr_Effects.Techniques; ++t) {
            D3DXTECHNIQUE_DESC lr_Desc{};
            lr_Plain->GetTechniqueDesc(lr_Plain->GetTechnique(t), &lr_Desc);
            UINT lr_Before = 0, lr_After = 0;
            std::string ls_Passes;
            for (UINT p = 0; p < lr_Desc.Passes; ++p) {
                const SoftShaderStatistics b = PassStatistics(lr_Plain, t, p), a = PassStatistics(lr_Optimised, t, p);
                EXPECT_EQ(b.Texture, a.Texture);
                EXPECT_LE(a.Arithmetic, b.Arithmetic);
                lr_Before += b.Arithmetic + b.Texture;
                lr_After += a.Arithmetic + a.Texture;
                ls_Passes +=
                    " " + std::to_string(b.Arithmetic + b.Texture) + "->" + std::to_string(a.Arithmetic + a.Texture);
            }
            EXPECT_LT(lr_After, lr_Before) << lr_Desc.Name;
            std::printf("%-17s %-19s %4u -> %4u instructions (passes:%s)\n", lr_File.File, lr_Desc.Name, lr_Before,
                        lr_After, ls_Passes.c_str());
        }
        if (lr_Plain) lr_Plain->Release();
        if (lr_Optimised) lr_Optimised->Release();
    }
}

// A device limited to ps_2_0 reports the base 2.0 caps, so the ps_2_a
// techniques fail validation there and the fallbacks are chosen; a model 3
// device takes the first technique; nothing runs below model 2.
TEST_F(EffectFileTest, EachFileRunsTheTechniqueItsDeviceAllows) {
    D3DCAPS9 lr_Caps{};
    mr_Control_->SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    ASSERT_EQ(D3D_OK, mr_Device_->GetDeviceCaps(&lr_Caps));
    EXPECT_LT(lr_Caps.PS20Caps.NumInstructionSlots, 512);
    EXPECT_EQ(0u, lr_Caps.PS20Caps.Caps & D3DPS20CAPS_GRADIENTINSTRUCTIONS);
    for (const EffectFile& lr_File : EffectFiles()) {
        SCOPED_TRACE(lr_File.File);
        mr_Control_->SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
        ID3DXEffect* lr_Effect = Compile(lr_File.File);
        ASSERT_NE(nullptr, lr_Effect);
        EXPECT_EQ(lr_File.ModelTwoTechnique, ValidTechnique(lr_Effect));
        lr_Effect->Release();

        mr_Control_->SetShaderVersions(D3DVS_VERSION(3, 0), D3DPS_VERSION(3, 0));
        lr_Effect = Compile(lr_File.File);
        ASSERT_NE(nullptr, lr_Effect);
        EXPECT_EQ(lr_File.Technique, ValidTechnique(lr_Effect));
        lr_Effect->Release();

        // Nothing runs below shader model 2.
        mr_Control_->SetShaderVersions(D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 4));
        lr_Effect = Compile(lr_File.File);
        ASSERT_NE(nullptr, lr_Effect);
        EXPECT_EQ("", ValidTechnique(lr_Effect));
        lr_Effect->Release();
    }
}

TEST_F(EffectFileTest, SemanticsAndPixelSizeHaveTheTypesThePluginBinds) {
    for (const EffectFile& lr_File : EffectFiles()) {
        SCOPED_TRACE(lr_File.File);
        ID3DXEffect* lr_Effect = Compile(lr_File.File);
        ASSERT_NE(nullptr, lr_Effect);
        for (const ExpectedParameter& lr_Expected : lr_File.Parameters) {
            SCOPED_TRACE(lr_Expected.Semantic ? lr_Expected.Semantic : lr_Expected.Name);
            const D3DXHANDLE lr_Handle = lr_Expected.Semantic
                                             ? lr_Effect->GetParameterBySemantic(nullptr, lr_Expected.Semantic)
                                             : lr_Effect->GetParameterByName(nullptr, lr_Expected.Name);
            ASSERT_NE(nullptr, lr_Handle);
            D3DXPARAMETER_DESC lr_Desc{};
            ASSERT_EQ(D3D_OK, lr_Effect->GetParameterDesc(lr_Handle, &lr_Desc));
            EXPECT_EQ(lr_Expected.Class, lr_Desc.Class);
            EXPECT_EQ(lr_Expected.Type, lr_Desc.Type);
            EXPECT_EQ(lr_Expected.Columns, lr_Desc.Columns);
            EXPECT_EQ(0u, lr_Desc.Elements);
        }
        // The composite and the black pass have no use for the pixel size.
        if (lr_File.Parameters.empty() || std::string(lr_File.File) == "ShowTexture.hlsl") {
            EXPECT_EQ(nullptr, lr_Effect->GetParameterByName(nullptr, "sddx"));
        }
        lr_Effect->Release();
    }
}

TEST_F(EffectFileTest, PassesSetTheDepthAndBlendStatesTheirDrawNeeds) {
    for (const EffectFile& lr_File : EffectFiles()) {
        SCOPED_TRACE(lr_File.File);
        ID3DXEffect* lr_Effect = Compile(lr_File.File);
        ASSERT_NE(nullptr, lr_Effect);
        D3DXHANDLE lr_Technique = nullptr;
        ASSERT_EQ(D3D_OK, lr_Effect->FindNextValidTechnique(nullptr, &lr_Technique));
        ASSERT_EQ(D3D_OK, lr_Effect->SetTechnique(lr_Technique));

        // A host that left blending, depth writes and a colour mask on.
        mr_Device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        mr_Device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        mr_Device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        mr_Device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
        mr_Device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
        mr_Device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);

        UINT lr_Passes = 0;
        ASSERT_EQ(D3D_OK, lr_Effect->Begin(&lr_Passes, 0));
        // The depth effect: slices and probes, each for a buffer as usual and
        // reversed; the occlusion: prefilter across and down, occlusion,
        // denoise across and down.
        const bool lr_Occlusion = std::string(lr_File.File) == "SSAO.hlsl";
        ASSERT_EQ(lr_Occlusion ? 5u : lr_File.DepthTest ? 4u : 1u, lr_Passes);
        ASSERT_EQ(D3D_OK, lr_Effect->BeginPass(0));
        DWORD lr_Value = 0;
        // Only the slices blend: the passing ones add up.
        mr_Device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &lr_Value);
        EXPECT_EQ(static_cast<DWORD>(lr_File.DepthTest ? TRUE : FALSE), lr_Value);
        if (lr_File.DepthTest) {
            mr_Device_->GetRenderState(D3DRS_SRCBLEND, &lr_Value);
            EXPECT_EQ(static_cast<DWORD>(D3DBLEND_ONE), lr_Value);
            mr_Device_->GetRenderState(D3DRS_DESTBLEND, &lr_Value);
            EXPECT_EQ(static_cast<DWORD>(D3DBLEND_ONE), lr_Value);
            mr_Device_->GetRenderState(D3DRS_BLENDOP, &lr_Value);
            EXPECT_EQ(static_cast<DWORD>(D3DBLENDOP_ADD), lr_Value);
        }
        mr_Device_->GetRenderState(D3DRS_ZWRITEENABLE, &lr_Value);
        EXPECT_EQ(static_cast<DWORD>(FALSE), lr_Value);
        mr_Device_->GetRenderState(D3DRS_COLORWRITEENABLE, &lr_Value);
        EXPECT_EQ(0xfu, lr_Value);
        mr_Device_->GetRenderState(D3DRS_CULLMODE, &lr_Value);
        EXPECT_EQ(static_cast<DWORD>(D3DCULL_NONE), lr_Value);
        mr_Device_->GetRenderState(D3DRS_ZENABLE, &lr_Value);
        EXPECT_EQ(static_cast<DWORD>(lr_File.DepthTest ? D3DZB_TRUE : D3DZB_FALSE), lr_Value);
        if (lr_File.DepthTest) {
            // A slice passes where it lies at or behind the scene.
            mr_Device_->GetRenderState(D3DRS_ZFUNC, &lr_Value);
            EXPECT_EQ(static_cast<DWORD>(D3DCMP_GREATEREQUAL), lr_Value);
        }
        IDirect3DVertexShader9* lr_VertexShader = reinterpret_cast<IDirect3DVertexShader9*>(1);
        mr_Device_->GetVertexShader(&lr_VertexShader);
        EXPECT_EQ(nullptr, lr_VertexShader);
        if (lr_VertexShader) lr_VertexShader->Release();
        IDirect3DPixelShader9* lr_PixelShader = nullptr;
        mr_Device_->GetPixelShader(&lr_PixelShader);
        EXPECT_NE(nullptr, lr_PixelShader);
        if (lr_PixelShader) lr_PixelShader->Release();

        // The pass draws the plug-in's pre-transformed quad on a shader model 3 device.
        mr_Device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0xf);
        const float lr_Quad[4][6] = {{-0.5f, -0.5f, 0.5f, 1.0f, 0.0f, 0.0f},
                                     {15.5f, -0.5f, 0.5f, 1.0f, 1.0f, 0.0f},
                                     {-0.5f, 15.5f, 0.5f, 1.0f, 0.0f, 1.0f},
                                     {15.5f, 15.5f, 0.5f, 1.0f, 1.0f, 1.0f}};
        ASSERT_EQ(D3D_OK, mr_Device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1));
        const size_t lr_Before = mr_Control_->GetDraws().size();
        EXPECT_EQ(D3D_OK, mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, lr_Quad, sizeof(lr_Quad[0])));
        ASSERT_EQ(lr_Before + 1, mr_Control_->GetDraws().size());
        const bool lr_Extended = std::string(lr_File.Technique) != lr_File.ModelTwoTechnique;
        EXPECT_EQ(static_cast<DWORD>(lr_Extended ? D3DPS_VERSION(2, 1) : D3DPS_VERSION(2, 0)),
                  mr_Control_->GetDraws().back().PixelShaderVersion);
        EXPECT_EQ(D3D_OK, lr_Effect->EndPass());
        // The other depth passes: reversed slices, then the probes, which write
        // nothing. The occlusion's other passes are full-screen ones like the first.
        for (UINT lr_Pass = 1; lr_Pass < lr_Passes && lr_Occlusion; ++lr_Pass) {
            SCOPED_TRACE(lr_Pass);
            ASSERT_EQ(D3D_OK, lr_Effect->BeginPass(lr_Pass));
            mr_Device_->GetRenderState(D3DRS_ZENABLE, &lr_Value);
            EXPECT_EQ(static_cast<DWORD>(D3DZB_FALSE), lr_Value);
            mr_Device_->GetRenderState(D3DRS_COLORWRITEENABLE, &lr_Value);
            EXPECT_EQ(0xfu, lr_Value);
            mr_Device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &lr_Value);
            EXPECT_EQ(static_cast<DWORD>(FALSE), lr_Value);
            EXPECT_EQ(D3D_OK, lr_Effect->EndPass());
        }
        for (UINT lr_Pass = 1; lr_Pass < lr_Passes && !lr_Occlusion; ++lr_Pass) {
            SCOPED_TRACE(lr_Pass);
            ASSERT_EQ(D3D_OK, lr_Effect->BeginPass(lr_Pass));
            mr_Device_->GetRenderState(D3DRS_ZFUNC, &lr_Value);
            EXPECT_EQ(static_cast<DWORD>(lr_Pass % 2 ? D3DCMP_LESSEQUAL : D3DCMP_GREATEREQUAL), lr_Value);
            mr_Device_->GetRenderState(D3DRS_COLORWRITEENABLE, &lr_Value);
            EXPECT_EQ(lr_Pass >= 2 ? 0u : 0xfu, lr_Value);
            mr_Device_->GetRenderState(D3DRS_ZWRITEENABLE, &lr_Value);
            EXPECT_EQ(static_cast<DWORD>(FALSE), lr_Value);
            EXPECT_EQ(D3D_OK, lr_Effect->EndPass());
        }
        EXPECT_EQ(D3D_OK, lr_Effect->End());
        lr_Effect->Release();
    }
}

}  // namespace
