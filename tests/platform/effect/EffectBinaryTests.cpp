// Compiled effects: the effect compiler writes the fx_2_0 binary, and an
// effect made from it describes, holds and sets on the device what the
// effect made from the text does.
#include "EffectTestSupport.h"
#include "FolderInclude.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using effecttest::EffectTest;

// The compiled form of `text`, or empty with the messages in `errors`.
std::vector<BYTE> CompileToBinary(const std::string& text, std::string* errors = nullptr,
                                  ID3DXInclude* include = nullptr) {
    std::vector<BYTE> lr_Bytes;
    ID3DXEffectCompiler* lr_Compiler = nullptr;
    ID3DXBuffer* lr_Errors = nullptr;
    if (FAILED(D3DXCreateEffectCompiler(text.data(), static_cast<UINT>(text.size()), nullptr, include, 0, &lr_Compiler,
                                        &lr_Errors))) {
        if (errors && lr_Errors) *errors = static_cast<const char*>(lr_Errors->GetBufferPointer());
        if (lr_Errors) lr_Errors->Release();
        return lr_Bytes;
    }
    ID3DXBuffer* lr_Binary = nullptr;
    if (SUCCEEDED(lr_Compiler->CompileEffect(0, &lr_Binary, &lr_Errors))) {
        const BYTE* lr_Data = static_cast<const BYTE*>(lr_Binary->GetBufferPointer());
        lr_Bytes.assign(lr_Data, lr_Data + lr_Binary->GetBufferSize());
        lr_Binary->Release();
    } else if (lr_Errors) {
        if (errors) *errors = static_cast<const char*>(lr_Errors->GetBufferPointer());
        lr_Errors->Release();
    }
    lr_Compiler->Release();
    return lr_Bytes;
}

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream lr_In(path, std::ios::binary);
    std::ostringstream lr_Text;
    lr_Text << lr_In.rdbuf();
    return lr_Text.str();
}

void DescribeValue(ID3DXEffect* effect, D3DXHANDLE handle, const D3DXPARAMETER_DESC& desc, std::ostream& out) {
    if (desc.Type == D3DXPT_STRING && !desc.Elements) {
        LPCSTR ls_Value = nullptr;
        effect->GetString(handle, &ls_Value);
        out << " string=\"" << (ls_Value ? ls_Value : "(null)") << "\"";
    } else if (desc.Type == D3DXPT_BOOL || desc.Type == D3DXPT_INT || desc.Type == D3DXPT_FLOAT) {
        std::vector<DWORD> lr_Words(desc.Bytes / 4 + 1, 0xCDCDCDCD);
        effect->GetValue(handle, lr_Words.data(), desc.Bytes);
        out << " value=";
        for (size_t i = 0; i + 1 < lr_Words.size(); ++i) out << std::hex << lr_Words[i] << std::dec << ",";
    }
}

void DescribeAnnotations(ID3DXEffect* effect, D3DXHANDLE owner, UINT count, std::ostream& out) {
    for (UINT a = 0; a < count; ++a) {
        D3DXHANDLE h = effect->GetAnnotation(owner, a);
        D3DXPARAMETER_DESC d{};
        effect->GetParameterDesc(h, &d);
        out << "  annotation " << d.Name << " class=" << d.Class << " type=" << d.Type << " " << d.Rows << "x"
            << d.Columns << " flags=" << d.Flags;
        DescribeValue(effect, h, d, out);
        out << "\n";
    }
}

// What a test can see of an effect through the API: its description,
// parameters with values and annotations, techniques and passes, and what
// every pass set on the device and with how many calls (shaders by entry
// point and token count, textures by the parameter they were set through),
// and what End left.
// Which parameters each technique uses goes to `used`: a compiled effect
// answers from its shaders' constant tables, the text from the source.
std::string Describe(ID3DXEffect* effect, ISoftDeviceControl* control, const std::function<std::string()>& deviceState,
                     const std::vector<IDirect3DTexture9*>& textures, std::string* used = nullptr) {
    std::ostringstream lr_Out;
    D3DXEFFECT_DESC lr_Desc{};
    effect->GetDesc(&lr_Desc);
    lr_Out << "effect parameters=" << lr_Desc.Parameters << " techniques=" << lr_Desc.Techniques << "\n";
    UINT lr_Texture = 0;
    for (UINT p = 0; p < lr_Desc.Parameters; ++p) {
        D3DXHANDLE h = effect->GetParameter(nullptr, p);
        D3DXPARAMETER_DESC d{};
        effect->GetParameterDesc(h, &d);
        lr_Out << "parameter " << d.Name << " : " << (d.Semantic ? d.Semantic : "-") << " class=" << d.Class
               << " type=" << d.Type << " " << d.Rows << "x" << d.Columns << "[" << d.Elements << "] flags=" << d.Flags
               << " bytes=" << d.Bytes << " members=" << d.StructMembers;
        DescribeValue(effect, h, d, lr_Out);
        lr_Out << "\n";
        for (UINT e = 0; e < d.Elements; ++e) {
            D3DXHANDLE he = effect->GetParameterElement(h, e);
            D3DXPARAMETER_DESC de{};
            effect->GetParameterDesc(he, &de);
            lr_Out << "  element " << e << " bytes=" << de.Bytes;
            DescribeValue(effect, he, de, lr_Out);
            lr_Out << "\n";
        }
        DescribeAnnotations(effect, h, d.Annotations, lr_Out);
        if (d.Class == D3DXPC_OBJECT && d.Type >= D3DXPT_TEXTURE && d.Type <= D3DXPT_TEXTURECUBE && !d.Elements &&
            lr_Texture < textures.size())
            effect->SetTexture(h, textures[lr_Texture++]);
    }
    for (UINT t = 0; t < lr_Desc.Techniques; ++t) {
        D3DXHANDLE ht = effect->GetTechnique(t);
        D3DXTECHNIQUE_DESC td{};
        effect->GetTechniqueDesc(ht, &td);
        lr_Out << "technique " << (td.Name ? td.Name : "(none)") << " passes=" << td.Passes
               << " valid=" << SUCCEEDED(effect->ValidateTechnique(ht)) << "\n";
        DescribeAnnotations(effect, ht, td.Annotations, lr_Out);
        if (used) {
            for (UINT p = 0; p < lr_Desc.Parameters; ++p)
                *used += effect->IsParameterUsed(effect->GetParameter(nullptr, p), ht) ? "U" : "-";
            *used += "\n";
        }
        for (UINT p = 0; p < td.Passes; ++p) {
            D3DXPASS_DESC pd{};
            effect->GetPassDesc(effect->GetPass(ht, p), &pd);
            lr_Out << " pass " << (pd.Name ? pd.Name : "(none)")
                   << " ps=" << (pd.pPixelShaderFunction ? effecttest::ReadTokens(pd.pPixelShaderFunction).Entry : "-")
                   << "\n";
            DescribeAnnotations(effect, effect->GetPass(ht, p), pd.Annotations, lr_Out);
        }
        effect->SetTechnique(ht);
        const std::string ls_Before = deviceState();
        control->ResetCallCounts();
        UINT lr_Passes = 0;
        effect->Begin(&lr_Passes, 0);
        for (UINT p = 0; p < lr_Passes; ++p) {
            effect->BeginPass(p);
            effect->CommitChanges();
            // Reading the state back makes calls of its own: counted first.
            lr_Out << "  pass " << p << " calls=" << control->GetTotalCallCount() << "\n";
            std::istringstream lr_Set(effecttest::Changed(ls_Before, deviceState()));
            for (std::string ls_Line; std::getline(lr_Set, ls_Line);) lr_Out << "  set " << ls_Line << "\n";
            control->ResetCallCounts();
            effect->EndPass();
        }
        effect->End();
        lr_Out << " end calls=" << control->GetTotalCallCount()
               << " blocks=" << control->GetCallCount(SoftCall::EndStateBlock)
               << " captures=" << control->GetCallCount(SoftCall::StateBlockCapture)
               << " applies=" << control->GetCallCount(SoftCall::StateBlockApply) << "\n";
        lr_Out << " left " << effecttest::Changed(ls_Before, deviceState()) << "\n";
    }
    return lr_Out.str();
}

class EffectBinaryTest : public EffectTest {
protected:
    void TearDown() override {
        for (IDirect3DTexture9* t : mr_Textures) t->Release();
        EffectTest::TearDown();
    }
    // Both effects described on fresh device state, with the same textures set.
    void ExpectSameAsText(const std::string& text, ID3DXInclude* include = nullptr) {
        std::string ls_Errors;
        const std::vector<BYTE> lr_Binary = CompileToBinary(text, &ls_Errors, include);
        ASSERT_FALSE(lr_Binary.empty()) << ls_Errors;
        DWORD lr_Tag = 0;
        std::memcpy(&lr_Tag, lr_Binary.data(), 4);
        EXPECT_EQ(lr_Tag, 0xFEFF0901u);
        while (mr_Textures.size() < 4) mr_Textures.push_back(NewTexture());
        ResetCounts();

        ID3DXEffect* lr_FromText = nullptr;
        ID3DXBuffer* lr_TextErrors = nullptr;
        D3DXCreateEffect(mr_Device_, text.data(), static_cast<UINT>(text.size()), nullptr, include, 0, nullptr,
                         &lr_FromText, &lr_TextErrors);
        ASSERT_NE(lr_FromText, nullptr) << (lr_TextErrors ? static_cast<const char*>(lr_TextErrors->GetBufferPointer())
                                                          : "");
        std::string ls_TextUsed, ls_BinaryUsed;
        const UINT lr_ShadersFromText = ShadersCreated();
        const std::string ls_Text = Describe(lr_FromText, mr_Control_, State(), mr_Textures, &ls_TextUsed);
        lr_FromText->Release();
        ResetCounts();

        ID3DXEffect* lr_FromBinary = nullptr;
        ID3DXBuffer* lr_Errors = nullptr;
        ASSERT_EQ(D3DXCreateEffect(mr_Device_, lr_Binary.data(), static_cast<UINT>(lr_Binary.size()), nullptr, nullptr,
                                   0, nullptr, &lr_FromBinary, &lr_Errors),
                  D3D_OK)
            << (lr_Errors ? static_cast<const char*>(lr_Errors->GetBufferPointer()) : "");
        EXPECT_EQ(ShadersCreated(), lr_ShadersFromText);
        const std::string ls_Binary = Describe(lr_FromBinary, mr_Control_, State(), mr_Textures, &ls_BinaryUsed);
        lr_FromBinary->Release();
        EXPECT_EQ(ls_Binary, ls_Text);
        ASSERT_EQ(ls_BinaryUsed.size(), ls_TextUsed.size());
        for (size_t i = 0; i < ls_BinaryUsed.size(); ++i) {
            if (ls_BinaryUsed[i] == 'U') {
                EXPECT_EQ(ls_TextUsed[i], 'U') << "used in the binary only: " << i;
            }
        }
        if (ls_TextUsed.find('U') != std::string::npos) {
            EXPECT_NE(ls_BinaryUsed.find('U'), std::string::npos);
        }
        EXPECT_NE(ls_Text.find("  set "), std::string::npos) << "the passes set nothing";
    }

    void ResetCounts() { mr_Control_->ResetCallCounts(); }
    // The device's state, textures named by their place in mr_Textures.
    std::function<std::string()> State() {
        return [this]() {
            return DescribeState(std::vector<IDirect3DBaseTexture9*>(mr_Textures.begin(), mr_Textures.end()));
        };
    }

    std::vector<IDirect3DTexture9*> mr_Textures;
};

// Every kind of parameter, annotation, state and reference the compiled format carries.
const std::string k_Rich =
    ReadText(std::filesystem::path(SSAO_SOURCE_DIR) / "tests" / "platform" / "effect" / "RichEffect.fx");

// With a nameless technique too, which the file leaves out: Wine's
// GetAnnotation reads every technique's name, and faults on a missing one.
TEST_F(EffectBinaryTest, RoundTripKeepsDescriptionsValuesPassesAndDeviceCalls) {
    ExpectSameAsText(k_Rich + "technique { pass { StencilRef = 6; } }\n");
}

TEST_F(EffectBinaryTest, ShippedEffectFilesRoundTrip) {
    const std::filesystem::path lr_Dir = std::filesystem::path(SSAO_SOURCE_DIR) / "data" / "Plugins" / "SSAO";
    FolderInclude lr_Include(lr_Dir);
    int lr_Files = 0;
    for (const auto& lr_Entry : std::filesystem::directory_iterator(lr_Dir)) {
        if (lr_Entry.path().extension() != ".hlsl") continue;
        SCOPED_TRACE(lr_Entry.path().string());
        ++lr_Files;
        ExpectSameAsText(ReadText(lr_Entry.path()), &lr_Include);
    }
    EXPECT_EQ(lr_Files, 5);
}

TEST_F(EffectBinaryTest, ValuesSetOnTheCompilerAreWrittenAndLiteralIsKept) {
    ID3DXEffectCompiler* lr_Compiler = nullptr;
    const std::string ls_Text = "float a = 1; float b = 2; string s = \"x\"; technique T { pass { ZEnable = <a>; } }";
    ASSERT_EQ(D3DXCreateEffectCompiler(ls_Text.data(), static_cast<UINT>(ls_Text.size()), nullptr, nullptr, 0,
                                       &lr_Compiler, nullptr),
              D3D_OK);
    EXPECT_EQ(lr_Compiler->SetFloat("a", 6.0f), D3D_OK);
    EXPECT_EQ(lr_Compiler->SetString("s", "changed"), D3D_OK);
    EXPECT_EQ(lr_Compiler->SetLiteral("b", TRUE), D3D_OK);
    BOOL lr_Literal = FALSE;
    EXPECT_EQ(lr_Compiler->GetLiteral(lr_Compiler->GetParameterByName(nullptr, "b"), &lr_Literal), D3D_OK);
    EXPECT_TRUE(lr_Literal);
    EXPECT_EQ(lr_Compiler->SetLiteral("missing", TRUE), D3DERR_INVALIDCALL);
    ID3DXBuffer* lr_Binary = nullptr;
    ASSERT_EQ(lr_Compiler->CompileEffect(0, &lr_Binary, nullptr), D3D_OK);
    lr_Compiler->Release();

    ID3DXEffect* e = nullptr;
    ASSERT_EQ(D3DXCreateEffect(mr_Device_, lr_Binary->GetBufferPointer(), lr_Binary->GetBufferSize(), nullptr, nullptr,
                               0, nullptr, &e, nullptr),
              D3D_OK);
    lr_Binary->Release();
    float a = 0;
    LPCSTR s = nullptr;
    D3DXPARAMETER_DESC d{};
    EXPECT_EQ(e->GetFloat("a", &a), D3D_OK);
    EXPECT_EQ(a, 6.0f);
    EXPECT_EQ(e->GetString("s", &s), D3D_OK);
    EXPECT_STREQ(s, "changed");
    EXPECT_EQ(e->GetParameterDesc("b", &d), D3D_OK);
    EXPECT_EQ(d.Flags & D3DX_PARAMETER_LITERAL, static_cast<DWORD>(D3DX_PARAMETER_LITERAL));
    UINT lr_Passes = 0;
    e->Begin(&lr_Passes, D3DXFX_DONOTSAVESTATE);
    e->BeginPass(0);
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), 6u) << "the state reads the value set on the compiler";
    e->EndPass();
    e->End();
    e->Release();
}

TEST_F(EffectBinaryTest, WhatTheFormatCannotCarryIsRefusedWithAMessage) {
    std::string ls_Errors;
    EXPECT_TRUE(CompileToBinary("static float z = 1; technique T { pass { ZEnable = <z>; } }", &ls_Errors).empty());
    EXPECT_NE(ls_Errors.find("static 'z'"), std::string::npos) << ls_Errors;
    EXPECT_NE(ls_Errors.find("cannot carry"), std::string::npos) << ls_Errors;
}

// A state's operation is its row in the format's state table: the first and
// last render states, the shaders, and sampler states counted from 0xA5.
TEST_F(EffectBinaryTest, StatesAreWrittenWithTheFormatsOperationNumbers) {
    std::string ls_Errors;
    const std::vector<BYTE> lr_Binary = CompileToBinary(
        "technique T { pass P { ZEnable = false; BlendOpAlpha = Add; VertexShader = NULL; PixelShader = NULL;\n"
        "  MipFilter[0] = Linear; DMapOffset[1] = 0; } }",
        &ls_Errors);
    ASSERT_GE(lr_Binary.size(), 8u) << ls_Errors;
    auto lr_Word = [&](size_t at) {
        DWORD lr_Value = 0;
        if (at + 4 <= lr_Binary.size()) std::memcpy(&lr_Value, lr_Binary.data() + at, 4);
        return lr_Value;
    };
    // No parameters: the technique follows the four counts, its one pass the technique's three words.
    const size_t lr_Tables = 8 + lr_Word(4);
    ASSERT_EQ(lr_Word(lr_Tables), 0u);
    ASSERT_EQ(lr_Word(lr_Tables + 4), 1u);
    const size_t lr_Pass = lr_Tables + 16 + 12;
    ASSERT_EQ(lr_Word(lr_Pass + 8), 6u) << "states in the pass";
    std::vector<std::pair<DWORD, DWORD>> lr_Operations;  // operation, index
    for (size_t s = 0; s < 6; ++s)
        lr_Operations.emplace_back(lr_Word(lr_Pass + 12 + s * 16), lr_Word(lr_Pass + 16 + s * 16));
    const std::vector<std::pair<DWORD, DWORD>> lr_Expected = {{0x00, 0}, {0x66, 0}, {0x92, 0},
                                                              {0x93, 0}, {0xAB, 0}, {0xB1, 1}};
    EXPECT_EQ(lr_Operations, lr_Expected);
}

TEST_F(EffectBinaryTest, DamagedBinariesAreRefusedAndLeaveNothingBehind) {
    const std::vector<BYTE> lr_Binary = CompileToBinary(k_Rich);
    ASSERT_FALSE(lr_Binary.empty());
    int lr_Accepted = 0;
    // Every shorter prefix, and every word in turn set to a large value.
    std::vector<std::vector<BYTE>> lr_Cases;
    for (size_t n = 4; n < lr_Binary.size(); n += 4) lr_Cases.emplace_back(lr_Binary.begin(), lr_Binary.begin() + n);
    for (size_t w = 4; w + 4 <= lr_Binary.size(); w += 4) {
        std::vector<BYTE> lr_Bad = lr_Binary;
        lr_Bad[w + 3] ^= 0x40;
        lr_Cases.push_back(lr_Bad);
    }
    for (const std::vector<BYTE>& lr_Case : lr_Cases) {
        ID3DXEffect* e = nullptr;
        ID3DXBuffer* lr_Errors = nullptr;
        const HRESULT hr = D3DXCreateEffect(mr_Device_, lr_Case.data(), static_cast<UINT>(lr_Case.size()), nullptr,
                                            nullptr, 0, nullptr, &e, &lr_Errors);
        if (SUCCEEDED(hr)) {
            ++lr_Accepted;
            ASSERT_NE(e, nullptr);
            e->Release();
        } else {
            EXPECT_EQ(e, nullptr);
            ASSERT_NE(lr_Errors, nullptr);
            EXPECT_NE(std::string(static_cast<const char*>(lr_Errors->GetBufferPointer())).find("compiled effect"),
                      std::string::npos);
            lr_Errors->Release();
        }
    }
    // A flipped high bit in a value word (a number, a shader token's unused bits) may still read.
    EXPECT_LT(lr_Accepted, static_cast<int>(lr_Cases.size() / 2));
}

TEST_F(EffectBinaryTest, IncludesAreResolvedWhenCompiledNotWhenLoaded) {
    const std::filesystem::path lr_Dir = std::filesystem::path(EFFECT_TEST_BINARY_DIR) / "compiled-include";
    std::filesystem::create_directories(lr_Dir);
    {
        std::ofstream(lr_Dir / "Settings.fxh") << "#define DEPTH_FUNC GreaterEqual\nstatic const float k_Half = 0.5;\n";
        std::ofstream(lr_Dir / "Main.hlsl")
            << "#include \"Settings.fxh\"\nfloat4 PS() : COLOR0 { return k_Half; }\n"
               "technique T { pass P { ZFunc = DEPTH_FUNC; PixelShader = compile ps_2_0 PS(); } }\n";
    }
    ID3DXEffectCompiler* lr_Compiler = nullptr;
    ID3DXBuffer* lr_Errors = nullptr;
    ASSERT_EQ(D3DXCreateEffectCompilerFromFileA((lr_Dir / "Main.hlsl").string().c_str(), nullptr, nullptr, 0,
                                                &lr_Compiler, &lr_Errors),
              D3D_OK)
        << (lr_Errors ? static_cast<const char*>(lr_Errors->GetBufferPointer()) : "");
    ID3DXBuffer* lr_Binary = nullptr;
    ASSERT_EQ(lr_Compiler->CompileEffect(0, &lr_Binary, nullptr), D3D_OK);
    lr_Compiler->Release();
    std::filesystem::remove_all(lr_Dir);  // nothing of the text is needed any more

    ID3DXEffect* e = nullptr;
    ASSERT_EQ(D3DXCreateEffect(mr_Device_, lr_Binary->GetBufferPointer(), lr_Binary->GetBufferSize(), nullptr, nullptr,
                               0, nullptr, &e, nullptr),
              D3D_OK);
    lr_Binary->Release();
    UINT lr_Passes = 0;
    e->Begin(&lr_Passes, D3DXFX_DONOTSAVESTATE);
    e->BeginPass(0);
    EXPECT_EQ(RenderState(D3DRS_ZFUNC), static_cast<DWORD>(D3DCMP_GREATEREQUAL));
    ASSERT_NE(BoundPixelShader(), nullptr);
    EXPECT_EQ(BoundPixelShaderInfo().Entry, "PS");
    e->EndPass();
    e->End();
    e->Release();
}

TEST_F(EffectBinaryTest, ACompiledEffectLoadsFromAFileWhateverItIsCalled) {
    const std::vector<BYTE> lr_Binary = CompileToBinary(k_Rich);
    ASSERT_FALSE(lr_Binary.empty());
    const std::filesystem::path lr_Path = std::filesystem::path(EFFECT_TEST_BINARY_DIR) / "compiled-as-text-name.hlsl";
    {
        std::ofstream lr_Out(lr_Path, std::ios::binary);
        lr_Out.write(reinterpret_cast<const char*>(lr_Binary.data()), static_cast<std::streamsize>(lr_Binary.size()));
    }
    ID3DXEffect* e = nullptr;
    ASSERT_EQ(
        D3DXCreateEffectFromFileA(mr_Device_, lr_Path.string().c_str(), nullptr, nullptr, 0, nullptr, &e, nullptr),
        D3D_OK);
    D3DXEFFECT_DESC d{};
    e->GetDesc(&d);
    EXPECT_EQ(d.Techniques, 2u);
    e->Release();
    std::filesystem::remove(lr_Path);
}

}  // namespace
