// The HLSL compiler is vkd3d-shader; this file turns its results into what
// D3DX produces: bytecode whose version matches the profile, messages in
// fxc's form, and limits checked as D3DX checks them.
#include "ShaderCompiler.h"

#include <soft/SoftShaderStatistics.h>

#include <vkd3d_shader.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>

namespace softfx {

namespace {

// Source text larger than this is refused before it reaches the compiler.
constexpr size_t k_MaxSourceBytes = 4u << 20;

// Digits only, at least one.
bool IsNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::string D3DXMessages(const char* messages) {
    std::string ls_Out;
    std::istringstream lr_Lines(messages ? messages : "");
    std::string ls_Line;
    while (std::getline(lr_Lines, ls_Line)) {
        if (ls_Line.empty()) continue;
        // The code is the first ": E<digits>:" or ": W<digits>:" after a "name:line:col" prefix.
        size_t lr_At = 0;
        bool lr_Done = false;
        while (!lr_Done && (lr_At = ls_Line.find(": ", lr_At)) != std::string::npos) {
            const size_t lr_CodeEnd = ls_Line.find(':', lr_At + 2);
            const char lr_Kind = lr_At + 2 < ls_Line.size() ? ls_Line[lr_At + 2] : '\0';
            const size_t lr_Col = ls_Line.rfind(':', lr_At == 0 ? 0 : lr_At - 1);
            const size_t lr_Row =
                lr_Col == std::string::npos || lr_Col == 0 ? std::string::npos : ls_Line.rfind(':', lr_Col - 1);
            if ((lr_Kind == 'E' || lr_Kind == 'W') && lr_CodeEnd != std::string::npos && lr_Row != std::string::npos &&
                IsNumber(ls_Line.substr(lr_At + 3, lr_CodeEnd - lr_At - 3)) &&
                IsNumber(ls_Line.substr(lr_Row + 1, lr_Col - lr_Row - 1)) &&
                IsNumber(ls_Line.substr(lr_Col + 1, lr_At - lr_Col - 1))) {
                std::string ls_Text = ls_Line.substr(lr_CodeEnd + 1);
                if (!ls_Text.empty() && ls_Text[0] == ' ') ls_Text.erase(0, 1);
                ls_Line = ls_Line.substr(0, lr_Row) + "(" + ls_Line.substr(lr_Row + 1, lr_Col - lr_Row - 1) + "," +
                          ls_Line.substr(lr_Col + 1, lr_At - lr_Col - 1) +
                          "): " + (lr_Kind == 'E' ? "error" : "warning") + " X" +
                          ls_Line.substr(lr_At + 3, lr_CodeEnd - lr_At - 3) + ": " + ls_Text;
                lr_Done = true;
            }
            lr_At += 2;
        }
        ls_Out += ls_Line + "\n";
    }
    return ls_Out;
}

namespace {

std::string LocatedError(const std::string& sourceName, const std::string& code, const std::string& text) {
    return sourceName + "(1,1): error " + code + ": " + text + "\n";
}

// What no optimiser would rescue: texture reads, dependent-read depth and
// registers beyond the profile's. Arithmetic counts are not checked, since
// the compiler does not optimise.
bool CheckLimits(const std::vector<DWORD>& tokens, const std::string& sourceName, const std::string& entry,
                 const std::string& profile, std::string& errors) {
    SoftShaderStatistics lr_Stats;
    SoftShaderLimits lr_Limits;
    if (!SoftGetShaderStatistics(tokens.data(), static_cast<UINT>(tokens.size()), &lr_Stats) ||
        !SoftGetShaderLimits(lr_Stats.Version, &lr_Limits))
        return true;
    struct Check {
        UINT Used;
        UINT Limit;
        const char* Code;
        const char* What;
    } const lr_Checks[] = {
        {lr_Stats.Texture, lr_Limits.Texture, "X5608", "texture instructions"},
        {lr_Stats.DependentLevels, lr_Limits.DependentLevels, "X5426", "levels of dependent texture reads"},
        {lr_Stats.Temporaries, lr_Limits.Temporaries, "X5609", "temporary registers"},
        {lr_Stats.FloatConstants, lr_Limits.FloatConstants, "X5589", "float constant registers"},
        {lr_Stats.IntConstants, lr_Limits.IntConstants, "X5589", "integer constant registers"},
        {lr_Stats.BoolConstants, lr_Limits.BoolConstants, "X5589", "boolean constant registers"},
        {lr_Stats.Samplers, lr_Limits.Samplers, "X4509", "samplers"},
    };
    // The stream carries the profile's version: every instruction must be one its model has.
    if (lr_Stats.Unsupported > 0)
        errors += LocatedError(sourceName, "X4532",
                               "'" + entry + "' uses " + std::to_string(lr_Stats.Unsupported) + " instructions that " +
                                   profile + " does not have");
    for (const Check& c : lr_Checks) {
        if (c.Used <= c.Limit) continue;
        errors += LocatedError(sourceName, c.Code,
                               "'" + entry + "' uses " + std::to_string(c.Used) + " " + c.What + ", but " + profile +
                                   " allows " + std::to_string(c.Limit));
    }
    return errors.empty();
}

}  // namespace

bool ShaderProfileVersion(const std::string& profile, bool& pixel, DWORD& version) {
    static const struct {
        const char* Name;
        bool Pixel;
        DWORD Version;
    } kProfiles[] = {
        {"ps_2_0", true, D3DPS_VERSION(2, 0)},  {"ps_2_a", true, D3DPS_VERSION(2, 1)},
        {"ps_2_b", true, D3DPS_VERSION(2, 1)},  {"ps_2_sw", true, D3DPS_VERSION(2, 0)},
        {"ps_3_0", true, D3DPS_VERSION(3, 0)},  {"ps_3_sw", true, D3DPS_VERSION(3, 0)},
        {"vs_1_1", false, D3DVS_VERSION(1, 1)}, {"vs_2_0", false, D3DVS_VERSION(2, 0)},
        {"vs_2_a", false, D3DVS_VERSION(2, 1)}, {"vs_2_sw", false, D3DVS_VERSION(2, 0)},
        {"vs_3_0", false, D3DVS_VERSION(3, 0)}, {"vs_3_sw", false, D3DVS_VERSION(3, 0)},
    };
    for (const auto& p : kProfiles) {
        if (profile == p.Name) {
            pixel = p.Pixel;
            version = p.Version;
            return true;
        }
    }
    return false;
}

bool CompileShaderSource(const char* text, size_t size, const std::string& sourceName, const std::string& entry,
                         const std::string& profile, std::vector<DWORD>& tokens, std::string& errors) {
    errors.clear();
    bool lr_Pixel;
    DWORD lr_Version;
    if (!ShaderProfileVersion(profile, lr_Pixel, lr_Version)) {
        errors = LocatedError(sourceName, "X3000", "profile '" + profile + "' is not supported by this compiler");
        return false;
    }
    if (size > k_MaxSourceBytes) {
        errors = LocatedError(sourceName, "X3000", "source text of " + std::to_string(size) + " bytes is too large");
        return false;
    }
    // The compiler writes its own notes ("fixme: ...") to stderr unless told
    // otherwise; a host's console is not the place for them.
    static std::once_flag s_Quiet;
    std::call_once(s_Quiet, [] { setenv("VKD3D_SHADER_DEBUG", "none", 0); });
    vkd3d_shader_hlsl_source_info lr_Hlsl;
    std::memset(&lr_Hlsl, 0, sizeof(lr_Hlsl));
    lr_Hlsl.type = VKD3D_SHADER_STRUCTURE_TYPE_HLSL_SOURCE_INFO;
    lr_Hlsl.entry_point = entry.c_str();
    lr_Hlsl.profile = profile.c_str();
    vkd3d_shader_compile_info lr_Info;
    std::memset(&lr_Info, 0, sizeof(lr_Info));
    lr_Info.type = VKD3D_SHADER_STRUCTURE_TYPE_COMPILE_INFO;
    lr_Info.next = &lr_Hlsl;
    lr_Info.source.code = text;
    lr_Info.source.size = size;
    lr_Info.source_type = VKD3D_SHADER_SOURCE_HLSL;
    lr_Info.target_type = VKD3D_SHADER_TARGET_D3D_BYTECODE;
    lr_Info.log_level = VKD3D_SHADER_LOG_WARNING;
    lr_Info.source_name = sourceName.c_str();
    vkd3d_shader_code lr_Code;
    std::memset(&lr_Code, 0, sizeof(lr_Code));
    char* lr_Messages_ = nullptr;
    const int lr_Result = vkd3d_shader_compile(&lr_Info, &lr_Code, &lr_Messages_);
    if (lr_Result < 0) {
        errors = D3DXMessages(lr_Messages_);
        if (errors.empty())
            errors = LocatedError(
                sourceName, "X3000",
                "'" + entry + "' failed to compile for " + profile + " (" + std::to_string(lr_Result) + ")");
        vkd3d_shader_free_messages(lr_Messages_);
        return false;
    }
    vkd3d_shader_free_messages(lr_Messages_);
    const bool lr_Whole = lr_Code.size >= 8 && lr_Code.size % sizeof(DWORD) == 0;
    if (lr_Whole) {
        tokens.resize(lr_Code.size / sizeof(DWORD));
        std::memcpy(tokens.data(), lr_Code.code, lr_Code.size);
    }
    vkd3d_shader_free_shader_code(&lr_Code);
    if (!lr_Whole) {
        errors = LocatedError(sourceName, "X3000", "'" + entry + "' compiled to a malformed token stream");
        return false;
    }
    // ps_2_b is a shader model 2.x target like ps_2_a: its streams carry version 2.1.
    tokens[0] = lr_Version;
    return CheckLimits(tokens, sourceName, entry, profile, errors);
}

bool ReadConstantTable(const std::vector<DWORD>& tokens, std::vector<ShaderConstant>& constants) {
    constants.clear();
    const char k_Tag[4] = {'C', 'T', 'A', 'B'};
    size_t i = 1;
    while (i < tokens.size()) {
        const DWORD lr_Token = tokens[i];
        if ((lr_Token & D3DSI_OPCODE_MASK) == D3DSIO_END) break;
        if ((lr_Token & D3DSI_OPCODE_MASK) != D3DSIO_COMMENT) {
            // Shader model 2 and later carry their instruction lengths.
            i += 1 + ((lr_Token & D3DSI_INSTLENGTH_MASK) >> D3DSI_INSTLENGTH_SHIFT);
            continue;
        }
        const size_t lr_Words = (lr_Token & D3DSI_COMMENTSIZE_MASK) >> D3DSI_COMMENTSIZE_SHIFT;
        if (i + 1 + lr_Words > tokens.size()) return false;
        const BYTE* lr_Data = reinterpret_cast<const BYTE*>(tokens.data() + i + 1);
        const size_t lr_Bytes = lr_Words * sizeof(DWORD);
        i += 1 + lr_Words;
        if (lr_Bytes < 4 || std::memcmp(lr_Data, k_Tag, 4) != 0) continue;
        const BYTE* lr_Table = lr_Data + 4;
        const size_t lr_Size = lr_Bytes - 4;
        D3DXSHADER_CONSTANTTABLE lr_Header;
        if (lr_Size < sizeof(lr_Header)) return false;
        std::memcpy(&lr_Header, lr_Table, sizeof(lr_Header));
        auto lr_Fits = [&](size_t offset, size_t bytes) { return offset <= lr_Size && bytes <= lr_Size - offset; };
        if (!lr_Fits(lr_Header.ConstantInfo,
                     static_cast<size_t>(lr_Header.Constants) * sizeof(D3DXSHADER_CONSTANTINFO)))
            return false;
        auto lr_Name = [&](DWORD offset, std::string& out) {
            if (offset >= lr_Size) return false;
            const char* lr_Start = reinterpret_cast<const char*>(lr_Table + offset);
            const void* lr_End = std::memchr(lr_Start, '\0', lr_Size - offset);
            if (!lr_End) return false;
            out.assign(lr_Start, static_cast<const char*>(lr_End));
            return true;
        };
        for (DWORD c = 0; c < lr_Header.Constants; ++c) {
            D3DXSHADER_CONSTANTINFO lr_Info;
            std::memcpy(&lr_Info, lr_Table + lr_Header.ConstantInfo + c * sizeof(lr_Info), sizeof(lr_Info));
            D3DXSHADER_TYPEINFO lr_Type;
            if (!lr_Fits(lr_Info.TypeInfo, sizeof(lr_Type))) return false;
            std::memcpy(&lr_Type, lr_Table + lr_Info.TypeInfo, sizeof(lr_Type));
            ShaderConstant lr_Constant;
            if (!lr_Name(lr_Info.Name, lr_Constant.Name)) return false;
            if (lr_Info.RegisterSet > D3DXRS_SAMPLER) return false;
            lr_Constant.Set = static_cast<D3DXREGISTER_SET>(lr_Info.RegisterSet);
            lr_Constant.Register = lr_Info.RegisterIndex;
            lr_Constant.Count = lr_Info.RegisterCount;
            lr_Constant.Class = static_cast<D3DXPARAMETER_CLASS>(lr_Type.Class);
            lr_Constant.Type = static_cast<D3DXPARAMETER_TYPE>(lr_Type.Type);
            lr_Constant.Rows = lr_Type.Rows;
            lr_Constant.Columns = lr_Type.Columns;
            lr_Constant.Elements = lr_Type.Elements;
            constants.push_back(std::move(lr_Constant));
        }
        return true;
    }
    return false;
}

}  // namespace softfx
