#include "PassShader.h"

#include <soft/SoftShaderComments.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

// D3DXREGISTER_SET values.
const DWORD k_Float4Set = 2;
const DWORD k_SamplerSet = 3;

DWORD Word(const unsigned char* bytes, size_t size, size_t at) {
    if (at + 4 > size) return 0;
    DWORD lr_Value;
    std::memcpy(&lr_Value, bytes + at, 4);
    return lr_Value;
}

unsigned Half(const unsigned char* bytes, size_t size, size_t at) {
    if (at + 2 > size) return 0;
    return bytes[at] | bytes[at + 1] << 8;
}

}  // namespace

bool PassShader::ReadConstantTable(const std::vector<DWORD>& tokens, std::map<std::string, UINT>& samplers,
                                   std::map<std::string, UINT>& constants) {
    size_t lr_Words = 0;
    const DWORD* lr_Payload = SoftFindShaderComment(tokens.data(), tokens.size(), "CTAB", &lr_Words);
    if (!lr_Payload || lr_Words < 7) return false;
    // Offsets count from the word after the fourcc.
    const unsigned char* lr_Table = reinterpret_cast<const unsigned char*>(lr_Payload);
    const size_t lr_Size = lr_Words * 4;
    const DWORD lr_Count = Word(lr_Table, lr_Size, 12);
    const DWORD lr_Info = Word(lr_Table, lr_Size, 16);
    for (DWORD c = 0; c < lr_Count; ++c) {
        const size_t lr_At = lr_Info + c * 20;
        if (lr_At + 20 > lr_Size) return false;
        const DWORD lr_NameAt = Word(lr_Table, lr_Size, lr_At);
        if (lr_NameAt >= lr_Size) return false;
        const char* lr_Name = reinterpret_cast<const char*>(lr_Table + lr_NameAt);
        const void* lr_End = std::memchr(lr_Name, 0, lr_Size - lr_NameAt);
        if (!lr_End) return false;
        const std::string ls_Name(lr_Name, static_cast<const char*>(lr_End));
        const unsigned lr_Set = Half(lr_Table, lr_Size, lr_At + 4);
        const unsigned lr_Register = Half(lr_Table, lr_Size, lr_At + 6);
        if (lr_Set == k_SamplerSet) samplers[ls_Name] = lr_Register;
        if (lr_Set == k_Float4Set) constants[ls_Name] = lr_Register;
    }
    return true;
}

bool PassShader::Load(const std::string& directory, const std::string& name, PassShader& shader, std::string& error) {
    shader = PassShader();
    shader.Name = name;
    const std::string ls_Code = directory + "/" + name + ".ps";
    std::ifstream lr_Code(ls_Code, std::ios::binary);
    const std::string ls_Bytes((std::istreambuf_iterator<char>(lr_Code)), std::istreambuf_iterator<char>());
    if (!lr_Code.good() && !lr_Code.eof()) {
        error = "cannot read " + ls_Code;
        return false;
    }
    if (ls_Bytes.size() < 8 || ls_Bytes.size() % 4 != 0) {
        error = ls_Code + " is no shader bytecode";
        return false;
    }
    shader.Tokens.resize(ls_Bytes.size() / 4);
    std::memcpy(shader.Tokens.data(), ls_Bytes.data(), ls_Bytes.size());
    if (!ReadConstantTable(shader.Tokens, shader.Samplers, shader.Constants)) {
        error = ls_Code + " has no readable constant table";
        return false;
    }

    const std::string ls_StatesPath = directory + "/" + name + ".states";
    std::ifstream lr_States(ls_StatesPath);
    if (!lr_States) {
        error = "cannot read " + ls_StatesPath;
        return false;
    }
    std::string ls_Line;
    while (std::getline(lr_States, ls_Line)) {
        std::istringstream lr_Words(ls_Line);
        std::string ls_Kind;
        DWORD lr_A = 0, lr_B = 0, lr_C = 0;
        if (!(lr_Words >> ls_Kind)) continue;
        if (ls_Kind == "render" && lr_Words >> lr_A >> lr_B)
            shader.RenderStates.emplace_back(static_cast<D3DRENDERSTATETYPE>(lr_A), lr_B);
        else if (ls_Kind == "sampler" && lr_Words >> lr_A >> lr_B >> lr_C)
            shader.SamplerStates.push_back({lr_A, static_cast<D3DSAMPLERSTATETYPE>(lr_B), lr_C});
        else {
            error = ls_StatesPath + ": cannot read \"" + ls_Line + "\"";
            return false;
        }
    }
    return true;
}
