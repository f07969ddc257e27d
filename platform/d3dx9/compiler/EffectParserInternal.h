// The effect parser's own declarations, shared by the files that implement
// it: declarations and types, initialiser expressions, shaders and passes,
// and the finishing steps (EffectParser.cpp).
#pragma once

#include "compiler/EffectParser.h"
#include "effect/EffectStateTables.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace softfx {

struct TypeInfo {
    D3DXPARAMETER_CLASS Class = D3DXPC_SCALAR;
    D3DXPARAMETER_TYPE Type = D3DXPT_VOID;
    UINT Rows = 0;
    UINT Columns = 0;
    bool Struct = false;
};

// Double to the stored formats without undefined conversions.
inline DWORD FloatBits(double value) {
    float lr_Float;
    if (std::isnan(value))
        lr_Float = NAN;
    else if (value > FLT_MAX)
        lr_Float = INFINITY;
    else if (value < -FLT_MAX)
        lr_Float = -INFINITY;
    else
        lr_Float = static_cast<float>(value);
    DWORD lr_Bits;
    std::memcpy(&lr_Bits, &lr_Float, sizeof(lr_Bits));
    return lr_Bits;
}
inline int32_t ToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return 2147483647;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}
inline DWORD ToDword(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 4294967295.0) return 0xFFFFFFFFu;
    if (value <= -2147483648.0) return 0x80000000u;
    if (value < 0) return static_cast<DWORD>(static_cast<int32_t>(value));
    return static_cast<DWORD>(value);
}

struct PendingEntry {
    UINT Shader;
    int Line;
    int Column;
    int File;
};

// Reads fx_2_0 source: declarations, techniques and passes into an
// EffectDefinition, recording what the shader compiler must compile.
class Parser {
public:
    // `files` names the files tokens came from (index 0: the text itself).
    Parser(const std::vector<Token>& tokens, const std::vector<std::string>& files, EffectDefinition& definition,
           CompileError& error)
        : mr_Tokens(tokens), mr_Files(files), mr_Def(definition), mr_Error(error) {}
    bool Run();
    // Byte ranges the shader compiler has no use for: techniques and the
    // declarations of compiled shader objects. Each `compile` is compiled
    // on its own from the rest.
    const std::vector<std::pair<size_t, size_t>>& Blanks() const { return mr_Blanks; }

private:
    // Token access -----------------------------------------------------
    const Token& Cur() const { return mr_Tokens[mr_Pos]; }
    const Token& Ahead(size_t n) const;
    bool AtEnd() const { return Cur().Kind == TokenKind::End; }
    bool IsPunct(const char* p) const { return Cur().Kind == TokenKind::Punct && Cur().Text == p; }
    bool IsIdent(const char* p) const { return Cur().Kind == TokenKind::Identifier && Cur().Text == p; }
    void Next();
    bool Fail(const char* code, const std::string& message, const Token& at);
    void Locate(int line, int column, int file);
    bool Unexpected();
    bool Expect(const char* p);
    bool ExpectIdent(std::string& name);
    // Skips from an opening token to its partner; collects identifiers on the way.
    bool SkipBalanced(const char* open, const char* close, std::unordered_set<std::string>* identifiers);

    // Types --------------------------------------------------------------
    static bool ScalarType(const std::string& name, D3DXPARAMETER_TYPE& type, size_t& length);
    // A built-in type name spelled as one identifier.
    bool BuiltinType(const std::string& name, TypeInfo& info) const;
    bool IsTypeName(const std::string& name) const;
    // Reads a type at the cursor; false with no error when there is none.
    bool ParseType(TypeInfo& info, bool& found);

    // Declarations ---------------------------------------------------------
    bool ParseStruct();
    bool ParseTypedef();
    bool ParseDeclaration();
    bool ParseFunction(const std::string& name);
    bool ParseRegister(int& samplerRegister);
    int NewNode(const ValueNode& node);
    bool ReserveComponents(size_t count, const Token& at);
    bool ParseArraySize(UINT& elements);
    bool ParseVariableBody(const TypeInfo& type, bool isStatic, bool shared, const std::string& name, const Token& at);
    bool ParseAnnotations(std::vector<UINT>& annotations);

    // Initialisers ---------------------------------------------------------
    bool ParseInitializer(ValueNode& node);
    static DWORD Convert(D3DXPARAMETER_TYPE type, double value);
    bool Nest(int depth);
    bool ParseValueList(std::vector<double>& values, int depth);
    bool Combine(std::vector<double>& a, const std::vector<double>& b, char op, const Token& at);
    bool ParseAdditive(std::vector<double>& values, int depth);
    bool ParseMultiplicative(std::vector<double>& values, int depth);
    bool ParseUnary(std::vector<double>& values, int depth);
    bool ParsePrimary(std::vector<double>& values, int depth);

    // Shaders ------------------------------------------------------------
    bool ParseCompile(bool pixel, int& shader);
    // A global named by `<name>`, `(name)` or `name`; -1 when the cursor has none of these.
    int ParseReference(bool& syntax);
    bool ParseObjectReference(bool (*accept)(D3DXPARAMETER_TYPE), bool allowNull, int& node);
    // The value of a render or sampler state: an enumerated name (several
    // joined by '|'), a number, or a reference to a numeric parameter.
    bool ParseStateValue(ValueSet values, StateAssignment& assignment);
    bool AcceptStateParameter(int node, StateAssignment& assignment, const Token& at);
    bool ParseSamplerState(ValueNode& node);

    // Techniques ---------------------------------------------------------
    bool ParseTechnique();
    bool ParsePassState(PassDefinition& pass);

    // After the text: entry points and sampler registers -----------------
    const std::unordered_set<std::string>& Reachable(const std::string& entry);
    bool Finish();
    const std::vector<Token>& mr_Tokens;
    const std::vector<std::string>& mr_Files;
    size_t mr_Pos = 0;
    EffectDefinition& mr_Def;
    CompileError& mr_Error;
    size_t mr_Components = 0;
    std::map<std::string, TypeInfo> mr_Typedefs;
    std::set<std::string> mr_Structs;
    std::unordered_map<std::string, UINT> mr_Globals;
    std::unordered_map<std::string, std::unordered_set<std::string>> mr_Functions;
    std::unordered_map<std::string, std::unordered_set<std::string>> mr_Reachable;
    std::vector<PendingEntry> mr_Entries;
    std::vector<std::pair<size_t, size_t>> mr_Blanks;
};

}  // namespace softfx
