// The preprocessor in front of the effect reader: directives, includes as
// D3DX resolves them, and the bounds that keep hostile text from hanging.
#include "EffectTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using effecttest::Compile;
using effecttest::EffectTest;

namespace {

std::string TempDir() {
    char ls_Template[] = "/tmp/effect_pp_XXXXXX";
    const char* lr_Dir = mkdtemp(ls_Template);
    return lr_Dir ? lr_Dir : "/tmp";
}

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

const char k_Pass[] = "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }\n";

// Files that may be open inside each other: the main file's includes, nested.
constexpr unsigned k_MaxIncludes = 32;

// Resident bytes of this process.
size_t ResidentBytes() {
    std::ifstream lr_Statm("/proc/self/statm");
    size_t lr_Pages = 0, lr_Resident = 0;
    lr_Statm >> lr_Pages >> lr_Resident;
    return lr_Resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Creates an effect from a file; returns null and the error text on failure.
ID3DXEffect* FromFile(IDirect3DDevice9* device, const std::string& path, std::string& errors,
                      const D3DXMACRO* defines = nullptr, ID3DXInclude* include = nullptr) {
    ID3DXEffect* lr_Effect = nullptr;
    ID3DXBuffer* lr_Errors = nullptr;
    D3DXCreateEffectFromFileA(device, path.c_str(), defines, include, 0, nullptr, &lr_Effect, &lr_Errors);
    errors.clear();
    if (lr_Errors) {
        errors = static_cast<const char*>(lr_Errors->GetBufferPointer());
        lr_Errors->Release();
    }
    return lr_Effect;
}

float FloatOf(ID3DXEffect* effect, const char* name) {
    float lr_Value = -1.0f;
    effect->GetFloat(name, &lr_Value);
    return lr_Value;
}

// An include handler over a map of names to texts, counting its calls.
class MapInclude : public ID3DXInclude {
public:
    std::map<std::string, std::string> Files;
    std::vector<std::pair<std::string, const void*>> Opens;  // name, parent data
    int Closes = 0;
    STDMETHOD(Open)(D3DXINCLUDE_TYPE, LPCSTR pFileName, LPCVOID pParentData, LPCVOID* ppData, UINT* pBytes) override {
        Opens.emplace_back(pFileName, pParentData);
        auto it = Files.find(pFileName);
        if (it == Files.end()) return E_FAIL;
        *ppData = it->second.data();
        *pBytes = static_cast<UINT>(it->second.size());
        return S_OK;
    }
    STDMETHOD(Close)(LPCVOID) override {
        ++Closes;
        return S_OK;
    }
};

}  // namespace

TEST_F(EffectTest, DirectivesAndCallerMacrosShapeTheText) {
    const std::string ls_Text =
        "#define SCALE(a, b) ((a) * (b))\n"
        "#if defined(FAST) && FAST > 1\n"
        "float mode = 2;\n"
        "#elif defined(FAST)\n"
        "float mode = 1;\n"
        "#else\n"
        "float mode = 0;\n"
        "#endif\n"
        "#undef SCALE\n"
        "#ifndef SCALE\n"
        "float scaled = 3 * 4;\n"
        "#endif\n"
        "#pragma warning(disable: 3206)\n"
        "float4 PS() : COLOR { return mode; }\n" +
        std::string(k_Pass);
    ID3DXEffect* e = Make(ls_Text);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(FloatOf(e, "mode"), 0.0f);
    EXPECT_EQ(FloatOf(e, "scaled"), 12.0f);
    e->Release();

    const D3DXMACRO lr_Fast[] = {{"FAST", "2"}, {nullptr, nullptr}};
    ID3DXEffect* f = nullptr;
    ASSERT_EQ(D3DXCreateEffect(mr_Device_, ls_Text.data(), static_cast<UINT>(ls_Text.size()), lr_Fast, nullptr, 0,
                               nullptr, &f, nullptr),
              D3D_OK);
    EXPECT_EQ(FloatOf(f, "mode"), 2.0f);
    f->Release();

    // The passes see expanded text too, and #error stops the compile with its text.
    e = Make(
        "#define ENTRY PS\nfloat4 ENTRY() : COLOR { return 1; }\n"
        "technique T { pass P { PixelShader = compile ps_2_0 ENTRY(); } }\n");
    ASSERT_NE(e, nullptr);
    e->Release();
    std::string ls_Errors;
    EXPECT_EQ(Compile(mr_Device_, "#if 1\n#error near plane must be below far\n#endif\n", &ls_Errors), nullptr);
    EXPECT_NE(ls_Errors.find("memory(2,"), std::string::npos) << ls_Errors;
    EXPECT_NE(ls_Errors.find("near plane must be below far"), std::string::npos) << ls_Errors;
    // Text that ends inside a macro's arguments is refused with the place of the open '('.
    EXPECT_EQ(Compile(mr_Device_, "#define F(a) a\nfloat x = 1;\nfloat y = F(2, (3)\n", &ls_Errors), nullptr);
    EXPECT_NE(ls_Errors.find("memory(3,12): error X3000: syntax error: '(' is never closed"), std::string::npos)
        << ls_Errors;
}

TEST_F(EffectTest, IncludesResolveRelativeToTheIncludingFile) {
    const std::string ls_Dir = TempDir();
    std::filesystem::create_directories(ls_Dir + "/fx/common");
    WriteFile(ls_Dir + "/fx/main.fx",
              "#include \"common/settings.fxh\"\nfloat4 PS() : COLOR { return Tint(); }\n" + std::string(k_Pass));
    WriteFile(ls_Dir + "/fx/common/settings.fxh", "#include \"values.fxh\"\nfloat4 Tint() { return BRIGHT; }\n");
    WriteFile(ls_Dir + "/fx/common/values.fxh", "#define BRIGHT 0.75\nfloat level = BRIGHT;\n");
    // A file of the same name beside the main file must not be taken.
    WriteFile(ls_Dir + "/fx/values.fxh", "#define BRIGHT 0.25\nfloat level = BRIGHT;\n");
    std::string ls_Errors;
    ID3DXEffect* e = FromFile(mr_Device_, ls_Dir + "\\fx\\main.fx", ls_Errors);
    ASSERT_NE(e, nullptr) << ls_Errors;
    EXPECT_EQ(FloatOf(e, "level"), 0.75f);
    e->Release();

    // An error inside an included file names that file and its own line;
    // lines of the main file after the include still count from its own start.
    WriteFile(ls_Dir + "/fx/common/values.fxh", "#define BRIGHT 0.75\n\nfloat level = ;\n");
    EXPECT_EQ(FromFile(mr_Device_, ls_Dir + "/fx/main.fx", ls_Errors), nullptr);
    EXPECT_NE(ls_Errors.find("values.fxh(3,15): error X3000"), std::string::npos) << ls_Errors;
    WriteFile(ls_Dir + "/fx/common/values.fxh", "#define BRIGHT 0.75\n");
    WriteFile(
        ls_Dir + "/fx/main.fx",
        "/* settings\n   first */\n#include \"common/settings.fxh\"\n#define LONG 1 + \\\n  2\nfloat broken = ;\n");
    EXPECT_EQ(FromFile(mr_Device_, ls_Dir + "/fx/main.fx", ls_Errors), nullptr);
    EXPECT_NE(ls_Errors.find("main.fx(6,"), std::string::npos) << ls_Errors;
    WriteFile(ls_Dir + "/fx/common/values.fxh", "float4 Broken() { return undeclared_value; }\n");
    WriteFile(ls_Dir + "/fx/main.fx",
              "#include \"common/values.fxh\"\nfloat4 PS() : COLOR { return Broken(); }\n" + std::string(k_Pass));
    EXPECT_EQ(FromFile(mr_Device_, ls_Dir + "/fx/main.fx", ls_Errors), nullptr);
    // Columns are those of the expanded text; the line is the file's own.
    EXPECT_NE(ls_Errors.find("common/values.fxh(1,"), std::string::npos) << ls_Errors;

    // A missing include is named in the message.
    WriteFile(ls_Dir + "/fx/main.fx", "float a;\n#include \"absent.fxh\"\n");
    EXPECT_EQ(FromFile(mr_Device_, ls_Dir + "/fx/main.fx", ls_Errors), nullptr);
    EXPECT_NE(ls_Errors.find("main.fx(2,"), std::string::npos) << ls_Errors;
    EXPECT_NE(ls_Errors.find("absent.fxh"), std::string::npos) << ls_Errors;
    EXPECT_NE(ls_Errors.find("no such file"), std::string::npos) << ls_Errors;
    std::filesystem::remove_all(ls_Dir);
}

TEST_F(EffectTest, HostileIncludesEndInErrors) {
    const std::string ls_Dir = TempDir();
    std::string ls_Errors;
    WriteFile(ls_Dir + "/self.fx", "float a;\n#include \"self.fx\"\n");
    EXPECT_EQ(FromFile(mr_Device_, ls_Dir + "/self.fx", ls_Errors), nullptr);
    EXPECT_NE(ls_Errors.find("includes itself"), std::string::npos) << ls_Errors;

    // Two files including each other.
    WriteFile(ls_Dir + "/ping.fxh", "#include \"pong.fxh\"\n");
    WriteFile(ls_Dir + "/pong.fxh", "#include \"ping.fxh\"\n");
    WriteFile(ls_Dir + "/loop.fx", "#include \"ping.fxh\"\n");
    EXPECT_EQ(FromFile(mr_Device_, ls_Dir + "/loop.fx", ls_Errors), nullptr);
    EXPECT_NE(ls_Errors.find("includes itself"), std::string::npos) << ls_Errors;

    // A chain of exactly the limit is read to its end; one more is refused.
    for (const unsigned lr_Files : {k_MaxIncludes, k_MaxIncludes + 1}) {
        const std::string ls_Chain = ls_Dir + "/chain" + std::to_string(lr_Files);
        std::filesystem::create_directory(ls_Chain);
        for (unsigned i = 1; i < lr_Files; ++i)
            WriteFile(ls_Chain + "/d" + std::to_string(i) + ".fxh",
                      "#include \"d" + std::to_string(i + 1) + ".fxh\"\n");
        WriteFile(ls_Chain + "/d" + std::to_string(lr_Files) + ".fxh",
                  "float deepest = " + std::to_string(lr_Files) + ";\n");
        WriteFile(ls_Chain + "/deep.fx", "#include \"d1.fxh\"\n");
        ID3DXEffect* e = FromFile(mr_Device_, ls_Chain + "/deep.fx", ls_Errors);
        if (lr_Files == k_MaxIncludes) {
            ASSERT_NE(e, nullptr) << ls_Errors;
            EXPECT_EQ(FloatOf(e, "deepest"), static_cast<float>(k_MaxIncludes));
            e->Release();
        } else {
            EXPECT_EQ(e, nullptr);
            EXPECT_NE(ls_Errors.find("nested deeper than 32"), std::string::npos) << ls_Errors;
        }
    }

    // A named pipe is refused, never opened for a blocking read.
    ASSERT_EQ(mkfifo((ls_Dir + "/pipe.fxh").c_str(), 0600), 0);
    WriteFile(ls_Dir + "/fifo.fx", "#include \"pipe.fxh\"\n");
    EXPECT_EQ(FromFile(mr_Device_, ls_Dir + "/fifo.fx", ls_Errors), nullptr);
    EXPECT_NE(ls_Errors.find("pipe.fxh"), std::string::npos) << ls_Errors;
    EXPECT_NE(ls_Errors.find("not a regular file"), std::string::npos) << ls_Errors;
    std::filesystem::remove_all(ls_Dir);
}

TEST_F(EffectTest, AMacroThatExpandsWithoutEndStopsWithinItsBudget) {
    // Each level doubles: 2^40 tokens if it ran to the end.
    std::string ls_Text = "#define M0 x\n";
    for (int i = 1; i <= 40; ++i)
        ls_Text += "#define M" + std::to_string(i) + " M" + std::to_string(i - 1) + " M" + std::to_string(i - 1) + "\n";
    ls_Text += "float f = M40;\n";
    // The time budget is 10 s; the test shortens it to 2 s.
    setenv("SOFT_D3DX_PREPROCESS_SECONDS", "2", 1);
    std::string ls_Errors;
    EXPECT_EQ(Compile(mr_Device_, ls_Text, &ls_Errors), nullptr);
    unsetenv("SOFT_D3DX_PREPROCESS_SECONDS");
    // Whichever budget, time (the shortened one) or memory, runs out first
    // ends it, and the message names it.
    const bool lr_OverTime = ls_Errors.find("took longer than its budget of 2 s") != std::string::npos;
    const bool lr_OverMemory = ls_Errors.find("needed more than its budget of 64 MB") != std::string::npos;
    EXPECT_TRUE(lr_OverTime || lr_OverMemory) << ls_Errors;
    // The next effect is unaffected.
    ID3DXEffect* e = Make("#define ONE 1\nfloat one = ONE;\n");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(FloatOf(e, "one"), 1.0f);
    e->Release();
}

// The preprocessor's budget is what it adds to the host, not the host's own
// size: a host larger than the whole budget still preprocesses its effects.
TEST_F(EffectTest, AHostLargerThanThePreprocessorsBudgetStillPreprocesses) {
    constexpr size_t k_Budget = 64u << 20;
    std::vector<char> lr_Ballast(2 * k_Budget, 1);
    size_t lr_Touched = 0;
    for (size_t i = 0; i < lr_Ballast.size(); i += 4096) lr_Touched += static_cast<size_t>(lr_Ballast[i]);
    ASSERT_EQ(lr_Touched, lr_Ballast.size() / 4096);
    ASSERT_GT(ResidentBytes(), k_Budget + (k_Budget / 2));
    ID3DXEffect* e = Make("#define ONE 1\nfloat one = ONE;\n");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(FloatOf(e, "one"), 1.0f);
    e->Release();
}

TEST_F(EffectTest, AnIncludeHandlerIsAskedInsteadOfTheFileSystem) {
    std::string ls_Errors;
    EXPECT_EQ(Compile(mr_Device_, "#include \"a.fxh\"\n", &ls_Errors), nullptr);
    EXPECT_NE(ls_Errors.find("without an include handler"), std::string::npos) << ls_Errors;

    MapInclude lr_Include;
    lr_Include.Files["a.fxh"] = "#include \"b.fxh\"\nfloat a = B + 1;\n";
    lr_Include.Files["b.fxh"] = "#define B 41\n";
    const std::string ls_Text = "#include \"a.fxh\"\nfloat b = B;\n";
    ID3DXEffect* e = nullptr;
    ASSERT_EQ(D3DXCreateEffect(mr_Device_, ls_Text.data(), static_cast<UINT>(ls_Text.size()), nullptr, &lr_Include, 0,
                               nullptr, &e, nullptr),
              D3D_OK);
    EXPECT_EQ(FloatOf(e, "a"), 42.0f);
    EXPECT_EQ(FloatOf(e, "b"), 41.0f);
    e->Release();
    ASSERT_EQ(lr_Include.Opens.size(), 2u);
    EXPECT_EQ(lr_Include.Opens[0].first, "a.fxh");
    EXPECT_EQ(lr_Include.Opens[0].second, nullptr);
    EXPECT_EQ(lr_Include.Opens[1].first, "b.fxh");
    EXPECT_EQ(lr_Include.Opens[1].second, lr_Include.Files["a.fxh"].data()) << "the parent is the includer's data";
    EXPECT_EQ(lr_Include.Closes, 2);
}

TEST_F(EffectTest, AByteOrderMarkLeavesTechniquesWhereTheyAre) {
    // The mark is not text: techniques blanked for the shader compiler must
    // be blanked where they stand, with or without a directive to preprocess.
    for (const char* lr_Head : {"", "#define ONE 1\n"}) {
        const std::string ls_Text = std::string("\xEF\xBB\xBF") + lr_Head +
                                    "float4 PS() : COLOR { return 1; }\n"
                                    "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }\n";
        ID3DXEffect* e = Make(ls_Text);
        ASSERT_NE(e, nullptr);
        e->Release();
    }
}
