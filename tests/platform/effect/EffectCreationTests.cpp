// Creation: argument checks, compiler diagnostics, effect files, and input
// that must fail cleanly.
#include "EffectTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using effecttest::Compile;
using effecttest::EffectTest;

std::string TempDir() {
    static std::string ls_Dir;
    if (ls_Dir.empty()) {
        char lr_Template[] = "/tmp/effect_tests_XXXXXX";
        const char* lr_Made = mkdtemp(lr_Template);
        if (!lr_Made) return "/nonexistent";
        ls_Dir = lr_Made;
        std::atexit([] { std::filesystem::remove_all(ls_Dir); });
    }
    return ls_Dir;
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream lr_Out(path, std::ios::binary);
    lr_Out << text;
}

TEST_F(EffectTest, NullArgumentsAreInvalidCalls) {
    const char lr_Text[] = "float x;";
    ID3DXEffect* e = reinterpret_cast<ID3DXEffect*>(1);
    EXPECT_EQ(D3DXCreateEffect(nullptr, lr_Text, sizeof(lr_Text) - 1, nullptr, nullptr, 0, nullptr, &e, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(
        D3DXCreateEffect(mr_Device_, lr_Text, sizeof(lr_Text) - 1, nullptr, nullptr, 0, nullptr, nullptr, nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateEffect(mr_Device_, nullptr, 5, nullptr, nullptr, 0, nullptr, &e, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateEffectFromFileA(nullptr, "x.fx", nullptr, nullptr, 0, nullptr, &e, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateEffectFromFileA(mr_Device_, nullptr, nullptr, nullptr, 0, nullptr, &e, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateEffectFromFileW(mr_Device_, L"x.fx", nullptr, nullptr, 0, nullptr, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Control_->GetDeviceRefCount(), 1u);
}

TEST_F(EffectTest, SyntaxErrorsGiveFailAndAnFxcStyleLine) {
    std::string ls_Errors;
    HRESULT hr = S_OK;
    ID3DXEffect* e = Compile(mr_Device_, "float x;\nfloat y = 1 x;\n", &ls_Errors, &hr);
    EXPECT_EQ(e, nullptr);
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(ls_Errors, "memory(2,13): error X3000: syntax error: unexpected token 'x'\n");

    e = Compile(mr_Device_, "technique { pass { PixelShader = compile ps_2_0 Missing(); } }", &ls_Errors, &hr);
    EXPECT_EQ(e, nullptr);
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_NE(ls_Errors.find("memory(1,49): error X3501: 'Missing': entrypoint not found"), std::string::npos)
        << ls_Errors;

    e = Compile(mr_Device_, "sampler s = sampler_state { Texture = <nope>; };", &ls_Errors, &hr);
    EXPECT_EQ(e, nullptr);
    EXPECT_NE(ls_Errors.find("error X3004: undeclared identifier 'nope'"), std::string::npos) << ls_Errors;

    e = Compile(mr_Device_, "technique { pass { ZEnable = Sometimes; } }", &ls_Errors, &hr);
    EXPECT_EQ(e, nullptr);
    EXPECT_NE(ls_Errors.find("error X3004: undeclared identifier 'Sometimes'"), std::string::npos) << ls_Errors;

    e = Compile(mr_Device_, "technique { pass { NoSuchState = 1; } }", &ls_Errors, &hr);
    EXPECT_EQ(e, nullptr);
    EXPECT_NE(ls_Errors.find("(1,20): error X3000: unrecognized state 'NoSuchState'"), std::string::npos) << ls_Errors;

    e = Compile(mr_Device_,
                "float4 P() : COLOR { return 0; }\ntechnique { pass { PixelShader = compile ps_9_9 P(); } }",
                &ls_Errors, &hr);
    EXPECT_EQ(e, nullptr);
    EXPECT_NE(ls_Errors.find("memory(2,"), std::string::npos) << ls_Errors;

    e = Compile(mr_Device_, "float x;\nfloat x;", &ls_Errors, &hr);
    EXPECT_EQ(e, nullptr);
    EXPECT_NE(ls_Errors.find("memory(2,7): error X3003: redefinition of 'x'"), std::string::npos) << ls_Errors;

    e = Compile(mr_Device_, "#define X 1\n#bogus\nfloat y;", &ls_Errors, &hr);
    EXPECT_EQ(e, nullptr);
    EXPECT_NE(ls_Errors.find("memory(2,"), std::string::npos) << ls_Errors;

    e = Compile(mr_Device_, "float4 v = {1, 2, 3};", &ls_Errors, &hr);
    EXPECT_EQ(e, nullptr);
    EXPECT_NE(ls_Errors.find("X3017"), std::string::npos) << ls_Errors;
    EXPECT_EQ(ShadersCreated(), 0u) << "no shaders are made for a failed compile";
}

TEST_F(EffectTest, LineDirectivesMoveTheReportedLine) {
    std::string ls_Errors;
    ID3DXEffect* e = Compile(mr_Device_, "#line 40\nfloat x = ;", &ls_Errors);
    EXPECT_EQ(e, nullptr);
    EXPECT_EQ(ls_Errors, "memory(40,11): error X3000: syntax error: unexpected token ';'\n");
}

TEST_F(EffectTest, FilesAreReadWithWindowsSeparators) {
    const std::string ls_Dir = TempDir();
    WriteFile(ls_Dir + "/good.fx",
              "float4 tint = {1,2,3,4};\nfloat4 PS() : COLOR { return tint; }\n"
              "technique { pass { PixelShader = compile ps_2_0 PS(); } }\n");
    WriteFile(ls_Dir + "/bad.fx", "float4 tint = ;\n");
    ID3DXEffect* e = nullptr;
    ID3DXBuffer* errors = nullptr;
    std::string ls_Windows = ls_Dir + "\\good.fx";
    ASSERT_EQ(D3DXCreateEffectFromFileA(mr_Device_, ls_Windows.c_str(), nullptr, nullptr, 0, nullptr, &e, &errors),
              D3D_OK);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(errors, nullptr);
    D3DXVECTOR4 v;
    EXPECT_EQ(e->GetVector("tint", &v), D3D_OK);
    EXPECT_EQ(v.w, 4.0f);
    e->Release();

    const std::wstring ls_Wide(ls_Windows.begin(), ls_Windows.end());
    ASSERT_EQ(D3DXCreateEffectFromFileW(mr_Device_, ls_Wide.c_str(), nullptr, nullptr, 0, nullptr, &e, nullptr),
              D3D_OK);
    e->Release();

    const std::string ls_Bad = ls_Dir + "/bad.fx";
    EXPECT_EQ(D3DXCreateEffectFromFileA(mr_Device_, ls_Bad.c_str(), nullptr, nullptr, 0, nullptr, &e, &errors), E_FAIL);
    EXPECT_EQ(e, nullptr);
    ASSERT_NE(errors, nullptr);
    const std::string ls_Expected = ls_Bad + "(1,15): error X3000: syntax error: unexpected token ';'\n";
    EXPECT_EQ(std::string(static_cast<const char*>(errors->GetBufferPointer())), ls_Expected);
    EXPECT_EQ(errors->GetBufferSize(), ls_Expected.size() + 1) << "text and its NUL";
    errors->Release();
}

TEST_F(EffectTest, NonAsciiWidePathsAreConvertedToUtf8) {
    const std::string ls_Dir = TempDir();
    WriteFile(ls_Dir + "/\xC3\xA9t\xC3\xA9.fx", "float x = 2;");
    std::wstring ls_Wide(ls_Dir.begin(), ls_Dir.end());
    ls_Wide += L"\\\u00E9t\u00E9.fx";
    ID3DXEffect* e = nullptr;
    ASSERT_EQ(D3DXCreateEffectFromFileW(mr_Device_, ls_Wide.c_str(), nullptr, nullptr, 0, nullptr, &e, nullptr),
              D3D_OK);
    e->Release();
}

TEST_F(EffectTest, NarrowPathsAreReadInTheAnsiCodePageAndPipesAreRefused) {
    // "\xe9" is e-acute in Windows-1252; the file is named with its UTF-8 form.
    const std::string ls_Dir = TempDir();
    WriteFile(ls_Dir + "/caf\xC3\xA9.fx", "float x = 2;");
    ID3DXEffect* e = nullptr;
    ASSERT_EQ(D3DXCreateEffectFromFileA(mr_Device_, (ls_Dir + "\\caf\xE9.fx").c_str(), nullptr, nullptr, 0, nullptr, &e,
                                        nullptr),
              D3D_OK);
    e->Release();
    // A named pipe with no writer would block the reader forever.
    const std::string ls_Pipe = ls_Dir + "/pipe.fx";
    ASSERT_EQ(0, ::mkfifo(ls_Pipe.c_str(), 0600));
    EXPECT_EQ(D3DXCreateEffectFromFileA(mr_Device_, ls_Pipe.c_str(), nullptr, nullptr, 0, nullptr, &e, nullptr),
              D3DXERR_INVALIDDATA);
}

TEST_F(EffectTest, AMissingFileIsInvalidDataAndLeavesTheErrorPointerAlone) {
    ID3DXEffect* e = nullptr;
    ID3DXBuffer* errors = reinterpret_cast<ID3DXBuffer*>(0x1234);
    const std::string ls_Path = TempDir() + "\\does\\not\\exist.fx";
    EXPECT_EQ(D3DXCreateEffectFromFileA(mr_Device_, ls_Path.c_str(), nullptr, nullptr, 0, nullptr, &e, &errors),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(errors, reinterpret_cast<ID3DXBuffer*>(0x1234));
    EXPECT_EQ(D3DXCreateEffectFromFileW(mr_Device_, L"/no/such/dir/x.fx", nullptr, nullptr, 0, nullptr, &e, &errors),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(errors, reinterpret_cast<ID3DXBuffer*>(0x1234));
    // A directory is not an effect file either.
    EXPECT_EQ(D3DXCreateEffectFromFileA(mr_Device_, TempDir().c_str(), nullptr, nullptr, 0, nullptr, &e, &errors),
              D3DXERR_INVALIDDATA);
}

TEST_F(EffectTest, LengthIsRespectedAndNulsAreErrors) {
    // The text after the given length is never looked at.
    const std::string ls_Text = "float x = 1;GARBAGE(((";
    ID3DXEffect* e = nullptr;
    ASSERT_EQ(D3DXCreateEffect(mr_Device_, ls_Text.data(), 12, nullptr, nullptr, 0, nullptr, &e, nullptr), D3D_OK);
    e->Release();
    const std::string ls_WithNul("float x;\0float y;", 17);
    std::string ls_Errors;
    e = Compile(mr_Device_, ls_WithNul, &ls_Errors);
    EXPECT_EQ(e, nullptr);
    EXPECT_NE(ls_Errors.find("memory(1,9): error X3000: Illegal character in shader file"), std::string::npos)
        << ls_Errors;
}

TEST_F(EffectTest, HostileInputFailsWithoutCrashingOrHanging) {
    const std::string lr_Cases[] = {
        "technique { pass { ",
        "float4 f(",
        "float4 PS() : COLOR { { { return 0; }",
        "/* never closed",
        "string s = \"never closed",
        "float x[100000000];",
        "float x[0];",
        "float x[-1];",
        "float4x4 m[65536]; float4x4 n[65536];",
        std::string(10000, '(') + "1",
        "float x = " + std::string(5000, '-') + "1;",
        "float x = " + std::string(2000, '{') + "1" + std::string(2000, '}') + ";",
        "technique { pass { ZEnable = " + std::string(3000, '(') + "1" + std::string(3000, ')') + "; } }",
        std::string("\xff\xfe\x00\x01", 4),
        "float4 v = float4(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17);",
        "sampler s : register(s999);",
        "technique { pass { Sampler[99] = <s>; } }",
        "struct S { float a; } instance;",
        "float x = 1 / 0; int i = 1e40; int j = -1e40; int k = 0.0 / 0.0;",
    };
    for (const std::string& ls_Case : lr_Cases) {
        SCOPED_TRACE(ls_Case.substr(0, 60));
        std::string ls_Errors;
        HRESULT hr = S_OK;
        ID3DXEffect* e = Compile(mr_Device_, ls_Case, &ls_Errors, &hr);
        if (e) {
            e->Release();
            continue;
        }
        EXPECT_TRUE(FAILED(hr));
        EXPECT_EQ(ls_Errors.rfind("memory(", 0), 0u) << ls_Errors;
    }
    // Random bytes and random cuts of a valid effect never crash.
    const std::string ls_Valid =
        "texture t : BackBuffer; sampler2D s = sampler_state { Texture = <t>; MinFilter = Point; };\n"
        "float4 sddx; float4 PS(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(s, uv + sddx.xy); }\n"
        "technique T < bool On = true; > { pass P { ZEnable = false; PixelShader = compile ps_2_0 PS(); } }\n";
    std::mt19937 lr_Random(1234);
    for (int n = 0; n < 300; ++n) {
        std::string ls_Mutant = ls_Valid.substr(0, lr_Random() % ls_Valid.size());
        for (int k = 0; k < 3 && !ls_Mutant.empty(); ++k)
            ls_Mutant[lr_Random() % ls_Mutant.size()] = static_cast<char>(lr_Random() % 256);
        if (ls_Mutant.empty()) continue;
        ID3DXEffect* e = Compile(mr_Device_, ls_Mutant);
        if (e) e->Release();
    }
}

}  // namespace
