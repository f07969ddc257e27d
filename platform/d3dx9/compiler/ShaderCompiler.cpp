// The HLSL compiler is vkd3d-shader, run in a process of its own
// (ShaderCompilerProcess.h); this file turns its results into what D3DX
// produces: bytecode whose version matches the profile, and limits checked as
// D3DX checks them.
#include "compiler/ShaderCompiler.h"

#include "compiler/ShaderCompilerProcess.h"

#include <soft/SoftShaderStatistics.h>

#include <cstring>

namespace softfx {

namespace {

// Source text larger than this is refused before it reaches the compiler.
constexpr size_t k_MaxSourceBytes = 4u << 20;

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

bool CompileShaderSources(const char* text, size_t size, const std::string& sourceName,
                          std::vector<ShaderSource>& shaders, std::string& errors) {
    errors.clear();
    if (size > k_MaxSourceBytes) {
        errors = LocatedError(sourceName, "X3000", "source text of " + std::to_string(size) + " bytes is too large");
        return false;
    }
    std::vector<ShaderJob> lr_Jobs;
    for (const ShaderSource& lr_Shader : shaders) {
        bool lr_Pixel = false;
        DWORD lr_Version = 0;
        if (!ShaderProfileVersion(lr_Shader.Profile, lr_Pixel, lr_Version)) {
            errors = LocatedError(sourceName, "X3000",
                                  "profile '" + lr_Shader.Profile + "' is not supported by this compiler");
            return false;
        }
        ShaderJob lr_Job;
        lr_Job.Entry = lr_Shader.Entry;
        lr_Job.Profile = lr_Shader.Profile;
        lr_Jobs.push_back(std::move(lr_Job));
    }
    std::string ls_Stopped;
    const bool lr_Whole = RunShaderCompiler(text, size, sourceName, lr_Jobs, ls_Stopped);
    // In order, as if compiled one by one: the first failure is the one reported.
    for (size_t s = 0; s < shaders.size(); ++s) {
        ShaderSource& lr_Shader = shaders[s];
        const ShaderJob& lr_Job = lr_Jobs[s];
        if (!lr_Whole && !lr_Job.Compiled && lr_Job.Messages.empty()) {
            errors = ls_Stopped;
            return false;
        }
        if (!lr_Job.Compiled) {
            errors = lr_Job.Messages;
            return false;
        }
        if (lr_Job.Bytes.size() < 8 || lr_Job.Bytes.size() % sizeof(DWORD) != 0) {
            errors =
                LocatedError(sourceName, "X3000", "'" + lr_Shader.Entry + "' compiled to a malformed token stream");
            return false;
        }
        lr_Shader.Tokens.resize(lr_Job.Bytes.size() / sizeof(DWORD));
        std::memcpy(lr_Shader.Tokens.data(), lr_Job.Bytes.data(), lr_Job.Bytes.size());
        bool lr_Pixel = false;
        DWORD lr_Version = 0;
        ShaderProfileVersion(lr_Shader.Profile, lr_Pixel, lr_Version);
        // ps_2_b is a shader model 2.x target like ps_2_a: its streams carry version 2.1.
        lr_Shader.Tokens[0] = lr_Version;
        if (!CheckLimits(lr_Shader.Tokens, sourceName, lr_Shader.Entry, lr_Shader.Profile, errors)) return false;
    }
    return true;
}

bool CompileShaderSource(const char* text, size_t size, const std::string& sourceName, const std::string& entry,
                         const std::string& profile, std::vector<DWORD>& tokens, std::string& errors) {
    std::vector<ShaderSource> lr_Shaders(1);
    lr_Shaders[0].Entry = entry;
    lr_Shaders[0].Profile = profile;
    if (!CompileShaderSources(text, size, sourceName, lr_Shaders, errors)) return false;
    tokens = std::move(lr_Shaders[0].Tokens);
    return true;
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
