// The shaders of a parsed effect: each `compile` is compiled from the whole
// text, and its constant table tells which registers hold which parameters.
#include "compiler/EffectParser.h"
#include "compiler/ShaderCompiler.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_map>
#include <utility>

namespace softfx {

namespace {

bool Failed(CompileError& error, const std::string& sourceName, const std::string& text) {
    error.Text = sourceName + "(1,1): error X3000: " + text + "\n";
    return false;
}

// Longest entry-point name the draw records show.
constexpr size_t k_MaxCommentName = 1024;
// A shader's constant table is one comment of at most 32767 words, all
// names included; a name past this could not be written into it.
constexpr size_t k_MaxParameterName = 4096;

int FindParameter(const EffectDefinition& definition, const std::string& name,
                  const std::unordered_map<std::string, UINT>* index) {
    if (index) {
        const auto lr_Found = index->find(name);
        return lr_Found == index->end() ? -1 : static_cast<int>(lr_Found->second);
    }
    for (UINT lr_Node : definition.Parameters)
        if (definition.Nodes[lr_Node].Name == name) return static_cast<int>(lr_Node);
    return -1;
}

// A comment naming the entry point, right after the version token. The
// runtime skips comments; the software device shows the name in its draw
// records, so that tests and the demo can tell the passes apart.
// A comment's size has 15 bits: a longer name is cut, so that the size
// cannot wrap and leave the rest of the name to be read as instructions.
void AddNameComment(CompiledShader& shader) {
    const size_t lr_NameBytes = std::min(shader.Entry.size(), k_MaxCommentName);
    const size_t lr_NameWords = (lr_NameBytes + 1 + 3) / 4;
    std::vector<DWORD> lr_Comment(2 + lr_NameWords, 0);
    lr_Comment[0] = D3DSHADER_COMMENT(static_cast<DWORD>(1 + lr_NameWords));
    std::memcpy(&lr_Comment[1], "FUNC", 4);
    std::memcpy(&lr_Comment[2], shader.Entry.data(), lr_NameBytes);
    shader.Tokens.insert(shader.Tokens.begin() + 1, lr_Comment.begin(), lr_Comment.end());
}

}  // namespace

// A constant without a parameter would be left unset on the device: refused.
bool BindShaderConstants(const EffectDefinition& definition, CompiledShader& shader, const std::string& sourceName,
                         CompileError& error, const std::unordered_map<std::string, UINT>* index) {
    std::vector<ShaderConstant> lr_Constants;
    if (!ReadConstantTable(shader.Tokens, lr_Constants))
        return Failed(error, sourceName, "'" + shader.Entry + "' has no readable constant table");
    const UINT lr_SamplerLimit = shader.Pixel ? 16u : 4u;
    for (const ShaderConstant& lr_Constant : lr_Constants) {
        const int lr_Node = FindParameter(definition, lr_Constant.Name, index);
        const std::string ls_Where = "constant '" + lr_Constant.Name + "' of '" + shader.Entry + "'";
        if (lr_Node < 0) return Failed(error, sourceName, ls_Where + " is not a parameter of the effect");
        const ValueNode& lr_Parameter = definition.Nodes[static_cast<size_t>(lr_Node)];
        if (lr_Constant.Set == D3DXRS_SAMPLER) {
            if (!IsSamplerType(lr_Parameter.Type) || lr_Parameter.Elements)
                return Failed(error, sourceName, ls_Where + " is not a single sampler");
            if (lr_Constant.Register >= lr_SamplerLimit)
                return Failed(error, sourceName,
                              ls_Where + " uses sampler register s" + std::to_string(lr_Constant.Register));
            shader.Samplers.push_back({lr_Constant.Register, static_cast<UINT>(lr_Node)});
            continue;
        }
        if (!IsNumericType(lr_Parameter.Type) || lr_Parameter.Class == D3DXPC_STRUCT)
            return Failed(error, sourceName, ls_Where + " is not a number, vector or matrix parameter");
        ConstantBinding lr_Binding;
        lr_Binding.Node = static_cast<UINT>(lr_Node);
        lr_Binding.Set = lr_Constant.Set;
        lr_Binding.Register = lr_Constant.Register;
        lr_Binding.Count = lr_Constant.Count;
        lr_Binding.Columns = lr_Constant.Class == D3DXPC_MATRIX_COLUMNS;
        const size_t lr_Words = static_cast<size_t>(lr_Constant.Count) * (lr_Constant.Set == D3DXRS_BOOL ? 1 : 4);
        lr_Binding.Values.assign(lr_Words, 0);
        lr_Binding.Sent.assign(lr_Words, 0);
        shader.Constants.push_back(std::move(lr_Binding));
    }
    return true;
}

bool CompileEffectShaders(const char* data, size_t size, const std::string& sourceName, EffectDefinition& definition,
                          CompileError& error) {
    // Passes often share a shader: compile each entry point and profile once,
    // all of them in one run of the compiler.
    std::map<std::pair<std::string, std::string>, size_t> lr_Index;
    std::vector<ShaderSource> lr_Sources;
    for (const CompiledShader& lr_Shader : definition.Shaders) {
        const auto lr_Key = std::make_pair(lr_Shader.Entry, lr_Shader.Profile);
        if (lr_Index.count(lr_Key)) continue;
        lr_Index.emplace(lr_Key, lr_Sources.size());
        ShaderSource lr_Source;
        lr_Source.Entry = lr_Shader.Entry;
        lr_Source.Profile = lr_Shader.Profile;
        lr_Sources.push_back(std::move(lr_Source));
    }
    if (lr_Sources.empty()) return true;
    for (UINT lr_Node : definition.Parameters) {
        const std::string& ls_Name = definition.Nodes[lr_Node].Name;
        if (ls_Name.size() > k_MaxParameterName)
            return Failed(error, sourceName,
                          "the name of parameter '" + ls_Name.substr(0, 32) + "...' has " +
                              std::to_string(ls_Name.size()) +
                              " characters; a shader's constant table holds names of at most " +
                              std::to_string(k_MaxParameterName));
    }
    std::string ls_Errors;
    if (!CompileShaderSources(data, size, sourceName, lr_Sources, ls_Errors)) {
        error.Text = ls_Errors;
        return false;
    }
    std::vector<int> lr_Done(lr_Sources.size(), -1);
    for (size_t s = 0; s < definition.Shaders.size(); ++s) {
        CompiledShader& lr_Shader = definition.Shaders[s];
        const size_t lr_Source = lr_Index[std::make_pair(lr_Shader.Entry, lr_Shader.Profile)];
        if (lr_Done[lr_Source] >= 0) {
            const CompiledShader& lr_Same = definition.Shaders[static_cast<size_t>(lr_Done[lr_Source])];
            lr_Shader.Tokens = lr_Same.Tokens;
            lr_Shader.Samplers = lr_Same.Samplers;
            lr_Shader.Constants = lr_Same.Constants;
            continue;
        }
        lr_Shader.Tokens = std::move(lr_Sources[lr_Source].Tokens);
        lr_Shader.Version = lr_Shader.Tokens[0];
        if (!BindShaderConstants(definition, lr_Shader, sourceName, error)) return false;
        AddNameComment(lr_Shader);
        lr_Done[lr_Source] = static_cast<int>(s);
    }
    return true;
}

}  // namespace softfx
