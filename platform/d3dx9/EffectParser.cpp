#include "EffectParser.h"

#include "EffectStateTables.h"
#include "ShaderCompiler.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace softfx {

namespace {

struct TypeInfo {
    D3DXPARAMETER_CLASS Class = D3DXPC_SCALAR;
    D3DXPARAMETER_TYPE Type = D3DXPT_VOID;
    UINT Rows = 0;
    UINT Columns = 0;
    bool Struct = false;
};

bool IsNumericType(D3DXPARAMETER_TYPE type) {
    return type == D3DXPT_BOOL || type == D3DXPT_INT || type == D3DXPT_FLOAT;
}
bool IsTextureType(D3DXPARAMETER_TYPE type) { return type >= D3DXPT_TEXTURE && type <= D3DXPT_TEXTURECUBE; }
bool IsSamplerType(D3DXPARAMETER_TYPE type) { return type >= D3DXPT_SAMPLER && type <= D3DXPT_SAMPLERCUBE; }
bool IsPixelShaderType(D3DXPARAMETER_TYPE type) { return type == D3DXPT_PIXELSHADER; }
bool IsVertexShaderType(D3DXPARAMETER_TYPE type) { return type == D3DXPT_VERTEXSHADER; }

// Double to the stored formats without undefined conversions.
DWORD FloatBits(double value) {
    float lr_Float;
    if (std::isnan(value)) lr_Float = NAN;
    else if (value > FLT_MAX) lr_Float = INFINITY;
    else if (value < -FLT_MAX) lr_Float = -INFINITY;
    else lr_Float = static_cast<float>(value);
    DWORD lr_Bits;
    std::memcpy(&lr_Bits, &lr_Float, sizeof(lr_Bits));
    return lr_Bits;
}
int32_t ToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return 2147483647;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}
DWORD ToDword(double value) {
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
};

class Parser {
public:
    Parser(const std::vector<Token>& tokens, EffectDefinition& definition, CompileError& error)
        : mr_Tokens(tokens), mr_Def(definition), mr_Error(error) {}

    bool Run() {
        while (!AtEnd()) {
            if (IsPunct(";")) {
                ++mr_Pos;
            } else if (IsIdent("struct")) {
                if (!ParseStruct()) return false;
            } else if (IsIdent("typedef")) {
                if (!ParseTypedef()) return false;
            } else if (IsIdent("technique")) {
                const size_t lr_Start = Cur().Offset;
                if (!ParseTechnique()) return false;
                mr_Blanks.push_back({lr_Start, Cur().Offset});
            } else if (IsPunct("[")) {
                if (!SkipBalanced("[", "]", nullptr)) return false;
            } else {
                const size_t lr_Start = Cur().Offset;
                const size_t lr_Shaders = mr_Def.Shaders.size();
                if (!ParseDeclaration()) return false;
                if (mr_Def.Shaders.size() != lr_Shaders) mr_Blanks.push_back({lr_Start, Cur().Offset});
            }
        }
        return Finish();
    }

    // Byte ranges the shader compiler has no use for: techniques and the
    // declarations of compiled shader objects. Each `compile` is compiled
    // on its own from the rest.
    const std::vector<std::pair<size_t, size_t>>& Blanks() const { return mr_Blanks; }

private:
    // Token access -----------------------------------------------------
    const Token& Cur() const { return mr_Tokens[mr_Pos]; }
    const Token& Ahead(size_t n) const {
        const size_t i = mr_Pos + n;
        return i < mr_Tokens.size() ? mr_Tokens[i] : mr_Tokens.back();
    }
    bool AtEnd() const { return Cur().Kind == TokenKind::End; }
    bool IsPunct(const char* p) const { return Cur().Kind == TokenKind::Punct && Cur().Text == p; }
    bool IsIdent(const char* p) const { return Cur().Kind == TokenKind::Identifier && Cur().Text == p; }
    void Next() {
        if (!AtEnd()) ++mr_Pos;
    }

    bool Fail(const char* code, const std::string& message, const Token& at) {
        mr_Error.Code = code;
        mr_Error.Message = message;
        mr_Error.Line = at.Line;
        mr_Error.Column = at.Column;
        return false;
    }
    bool Unexpected() {
        if (AtEnd()) return Fail("X3000", "syntax error: unexpected end of file", Cur());
        return Fail("X3000", "syntax error: unexpected token '" + Cur().Text + "'", Cur());
    }
    bool Expect(const char* p) {
        if (!IsPunct(p)) return Unexpected();
        Next();
        return true;
    }
    bool ExpectIdent(std::string& name) {
        if (Cur().Kind != TokenKind::Identifier) return Unexpected();
        name = Cur().Text;
        Next();
        return true;
    }

    // Skips from an opening token to its partner; collects identifiers on the way.
    bool SkipBalanced(const char* open, const char* close, std::unordered_set<std::string>* identifiers) {
        if (!Expect(open)) return false;
        size_t lr_Depth = 1;
        while (lr_Depth > 0) {
            if (AtEnd()) return Unexpected();
            const Token& t = Cur();
            if (t.Kind == TokenKind::Punct) {
                if (t.Text == open) ++lr_Depth;
                else if (t.Text == close) --lr_Depth;
            } else if (t.Kind == TokenKind::Identifier && identifiers) {
                identifiers->insert(t.Text);
            }
            Next();
        }
        return true;
    }

    // Types --------------------------------------------------------------
    static bool ScalarType(const std::string& name, D3DXPARAMETER_TYPE& type, size_t& length) {
        static const struct {
            const char* Name;
            D3DXPARAMETER_TYPE Type;
        } kScalars[] = {{"bool", D3DXPT_BOOL},   {"int", D3DXPT_INT},     {"uint", D3DXPT_INT},
                        {"dword", D3DXPT_INT},   {"half", D3DXPT_FLOAT},  {"float", D3DXPT_FLOAT},
                        {"double", D3DXPT_FLOAT}};
        for (const auto& s : kScalars) {
            const size_t n = std::strlen(s.Name);
            if (name.compare(0, n, s.Name) == 0) {
                type = s.Type;
                length = n;
                return true;
            }
        }
        return false;
    }

    // A built-in type name spelled as one identifier.
    bool BuiltinType(const std::string& name, TypeInfo& info) const {
        static const struct {
            const char* Name;
            D3DXPARAMETER_TYPE Type;
        } kObjects[] = {{"string", D3DXPT_STRING},
                        {"texture", D3DXPT_TEXTURE},         {"Texture", D3DXPT_TEXTURE},
                        {"texture1D", D3DXPT_TEXTURE1D},     {"Texture1D", D3DXPT_TEXTURE1D},
                        {"texture2D", D3DXPT_TEXTURE2D},     {"Texture2D", D3DXPT_TEXTURE2D},
                        {"texture3D", D3DXPT_TEXTURE3D},     {"Texture3D", D3DXPT_TEXTURE3D},
                        {"textureCUBE", D3DXPT_TEXTURECUBE}, {"TextureCube", D3DXPT_TEXTURECUBE},
                        {"sampler", D3DXPT_SAMPLER},         {"sampler1D", D3DXPT_SAMPLER1D},
                        {"sampler2D", D3DXPT_SAMPLER2D},     {"sampler3D", D3DXPT_SAMPLER3D},
                        {"samplerCUBE", D3DXPT_SAMPLERCUBE}, {"pixelshader", D3DXPT_PIXELSHADER},
                        {"PixelShader", D3DXPT_PIXELSHADER}, {"vertexshader", D3DXPT_VERTEXSHADER},
                        {"VertexShader", D3DXPT_VERTEXSHADER}};
        for (const auto& o : kObjects) {
            if (name == o.Name) {
                info = TypeInfo();
                info.Class = D3DXPC_OBJECT;
                info.Type = o.Type;
                info.Rows = 1;
                info.Columns = 1;
                return true;
            }
        }
        if (name == "void") {
            info = TypeInfo();
            info.Class = D3DXPC_OBJECT;
            info.Type = D3DXPT_VOID;
            return true;
        }
        if (name == "matrix") {
            info = TypeInfo();
            info.Class = D3DXPC_MATRIX_ROWS;
            info.Type = D3DXPT_FLOAT;
            info.Rows = info.Columns = 4;
            return true;
        }
        if (name == "vector") {
            info = TypeInfo();
            info.Class = D3DXPC_VECTOR;
            info.Type = D3DXPT_FLOAT;
            info.Rows = 1;
            info.Columns = 4;
            return true;
        }
        D3DXPARAMETER_TYPE lr_Type;
        size_t lr_Len;
        if (!ScalarType(name, lr_Type, lr_Len)) return false;
        const std::string ls_Rest = name.substr(lr_Len);
        info = TypeInfo();
        info.Type = lr_Type;
        if (ls_Rest.empty()) {
            info.Class = D3DXPC_SCALAR;
            info.Rows = info.Columns = 1;
            return true;
        }
        auto lr_Dim = [](char c) { return c >= '1' && c <= '4'; };
        if (ls_Rest.size() == 1 && lr_Dim(ls_Rest[0])) {
            info.Class = D3DXPC_VECTOR;
            info.Rows = 1;
            info.Columns = static_cast<UINT>(ls_Rest[0] - '0');
            return true;
        }
        if (ls_Rest.size() == 3 && lr_Dim(ls_Rest[0]) && ls_Rest[1] == 'x' && lr_Dim(ls_Rest[2])) {
            // Every matrix is reported row-major, whatever its declared packing.
            info.Class = D3DXPC_MATRIX_ROWS;
            info.Rows = static_cast<UINT>(ls_Rest[0] - '0');
            info.Columns = static_cast<UINT>(ls_Rest[2] - '0');
            return true;
        }
        return false;
    }

    bool IsTypeName(const std::string& name) const {
        TypeInfo lr_Info;
        return BuiltinType(name, lr_Info) || mr_Typedefs.count(name) || mr_Structs.count(name);
    }

    // Reads a type at the cursor; false with no error when there is none.
    bool ParseType(TypeInfo& info, bool& found) {
        found = false;
        if (Cur().Kind != TokenKind::Identifier) return true;
        const std::string& ls_Name = Cur().Text;
        if ((ls_Name == "matrix" || ls_Name == "vector") && Ahead(1).Kind == TokenKind::Punct &&
            Ahead(1).Text == "<") {
            const bool lr_Matrix = ls_Name == "matrix";
            Next();
            Next();
            D3DXPARAMETER_TYPE lr_Type;
            size_t lr_Len;
            if (Cur().Kind != TokenKind::Identifier || !ScalarType(Cur().Text, lr_Type, lr_Len) ||
                lr_Len != Cur().Text.size())
                return Unexpected();
            Next();
            UINT lr_Dims[2] = {1, 1};
            for (int d = 0; d < (lr_Matrix ? 2 : 1); ++d) {
                if (!Expect(",")) return false;
                if (Cur().Kind != TokenKind::Integer || Cur().Number < 1 || Cur().Number > 4)
                    return Fail("X3000", "syntax error: dimension must be 1 to 4", Cur());
                lr_Dims[d] = static_cast<UINT>(Cur().Number);
                Next();
            }
            if (!Expect(">")) return false;
            info = TypeInfo();
            info.Type = lr_Type;
            if (lr_Matrix) {
                info.Class = D3DXPC_MATRIX_ROWS;
                info.Rows = lr_Dims[0];
                info.Columns = lr_Dims[1];
            } else {
                info.Class = D3DXPC_VECTOR;
                info.Rows = 1;
                info.Columns = lr_Dims[0];
            }
            found = true;
            return true;
        }
        if (BuiltinType(ls_Name, info)) {
            Next();
            found = true;
            return true;
        }
        auto lr_Alias = mr_Typedefs.find(ls_Name);
        if (lr_Alias != mr_Typedefs.end()) {
            info = lr_Alias->second;
            Next();
            found = true;
            return true;
        }
        if (mr_Structs.count(ls_Name)) {
            info = TypeInfo();
            info.Class = D3DXPC_STRUCT;
            info.Struct = true;
            Next();
            found = true;
            return true;
        }
        return true;
    }

    // Declarations ---------------------------------------------------------
    bool ParseStruct() {
        Next();
        std::string ls_Name;
        if (Cur().Kind == TokenKind::Identifier) {
            ls_Name = Cur().Text;
            Next();
        }
        if (!IsPunct("{")) return Unexpected();
        if (!SkipBalanced("{", "}", nullptr)) return false;
        if (!ls_Name.empty()) mr_Structs.insert(ls_Name);
        if (Cur().Kind == TokenKind::Identifier)
            return Fail("X3000", "struct-typed effect parameters are not supported", Cur());
        return Expect(";");
    }

    bool ParseTypedef() {
        Next();
        while (IsIdent("const") || IsIdent("row_major") || IsIdent("column_major")) Next();
        if (IsIdent("struct")) {
            Next();
            if (Cur().Kind == TokenKind::Identifier) Next();
            if (!IsPunct("{")) return Unexpected();
            if (!SkipBalanced("{", "}", nullptr)) return false;
            std::string ls_Name;
            if (!ExpectIdent(ls_Name)) return false;
            mr_Structs.insert(ls_Name);
            return Expect(";");
        }
        TypeInfo lr_Info;
        bool lr_Found;
        if (!ParseType(lr_Info, lr_Found)) return false;
        if (!lr_Found) return Unexpected();
        std::string ls_Name;
        if (!ExpectIdent(ls_Name)) return false;
        if (IsPunct("[")) return Fail("X3000", "array typedefs are not supported", Cur());
        if (lr_Info.Struct) mr_Structs.insert(ls_Name);
        else mr_Typedefs[ls_Name] = lr_Info;
        return Expect(";");
    }

    bool ParseDeclaration() {
        bool lr_Static = false, lr_Shared = false;
        static const char* const kModifiers[] = {"uniform", "static",         "const",        "shared",
                                                 "extern",  "volatile",       "row_major",    "column_major",
                                                 "inline",  "precise",        "nointerpolation"};
        while (Cur().Kind == TokenKind::Identifier) {
            bool lr_Modifier = false;
            for (const char* m : kModifiers)
                if (Cur().Text == m) lr_Modifier = true;
            if (!lr_Modifier) break;
            if (Cur().Text == "static") lr_Static = true;
            if (Cur().Text == "shared") lr_Shared = true;
            Next();
        }
        TypeInfo lr_Type;
        bool lr_Found;
        if (!ParseType(lr_Type, lr_Found)) return false;
        if (!lr_Found) {
            if (Cur().Kind == TokenKind::Identifier && Ahead(1).Kind == TokenKind::Identifier)
                return Fail("X3000", "unrecognized identifier '" + Cur().Text + "'", Cur());
            return Unexpected();
        }
        const Token& lr_NameToken = Cur();
        std::string ls_Name;
        if (!ExpectIdent(ls_Name)) return false;
        if (IsPunct("(")) return ParseFunction(ls_Name);
        const Token* lr_At = &lr_NameToken;
        while (true) {
            if (!ParseVariableBody(lr_Type, lr_Static, lr_Shared, ls_Name, *lr_At)) return false;
            if (!IsPunct(",")) return Expect(";");
            Next();
            lr_At = &Cur();
            if (!ExpectIdent(ls_Name)) return false;
        }
    }

    bool ParseFunction(const std::string& name) {
        std::unordered_set<std::string> lr_Identifiers;
        if (!SkipBalanced("(", ")", &lr_Identifiers)) return false;
        while (IsPunct(":")) {
            Next();
            if (IsIdent("register")) {
                Next();
                if (!SkipBalanced("(", ")", nullptr)) return false;
            } else {
                std::string ls_Semantic;
                if (!ExpectIdent(ls_Semantic)) return false;
            }
        }
        if (IsPunct(";")) {
            Next();
            return true;
        }
        if (!IsPunct("{")) return Unexpected();
        if (!SkipBalanced("{", "}", &lr_Identifiers)) return false;
        auto& lr_Set = mr_Functions[name];
        lr_Set.insert(lr_Identifiers.begin(), lr_Identifiers.end());
        return true;
    }

    bool ParseRegister(int& samplerRegister) {
        Next();
        if (!Expect("(")) return false;
        while (!IsPunct(")")) {
            if (AtEnd()) return Unexpected();
            const Token& t = Cur();
            if (t.Kind == TokenKind::Identifier && t.Text.size() >= 2 && (t.Text[0] == 's' || t.Text[0] == 'S')) {
                bool lr_Digits = t.Text.size() <= 4;
                for (size_t i = 1; i < t.Text.size(); ++i)
                    if (t.Text[i] < '0' || t.Text[i] > '9') lr_Digits = false;
                if (lr_Digits) {
                    samplerRegister = std::atoi(t.Text.c_str() + 1);
                    if (samplerRegister >= static_cast<int>(kMaxSamplerStage))
                        return Fail("X4509", "sampler register index out of range", t);
                }
            }
            Next();
        }
        Next();
        return true;
    }

    int NewNode(const ValueNode& node) {
        if (mr_Def.Nodes.size() >= kMaxNodes) return -1;
        mr_Def.Nodes.push_back(node);
        return static_cast<int>(mr_Def.Nodes.size() - 1);
    }

    bool ReserveComponents(size_t count, const Token& at) {
        if (count > kMaxValueComponents || mr_Components + count > kMaxValueComponents)
            return Fail("X3000", "effect parameters are too large", at);
        mr_Components += count;
        return true;
    }

    bool ParseArraySize(UINT& elements) {
        const Token& lr_At = Cur();
        Next();
        std::vector<double> lr_Values;
        if (!ParseAdditive(lr_Values, 0)) return false;
        if (!Expect("]")) return false;
        if (lr_Values.size() != 1 || !(lr_Values[0] >= 1) || lr_Values[0] > kMaxArrayElements ||
            lr_Values[0] != std::floor(lr_Values[0]))
            return Fail("X3059", "array dimension must be between 1 and 65536", lr_At);
        elements = static_cast<UINT>(lr_Values[0]);
        if (IsPunct("[")) return Fail("X3000", "multi-dimensional arrays are not supported", Cur());
        return true;
    }

    bool ParseVariableBody(const TypeInfo& type, bool isStatic, bool shared, const std::string& name,
                           const Token& at) {
        if (type.Struct) return Fail("X3000", "struct-typed effect parameters are not supported", at);
        if (type.Type == D3DXPT_VOID) return Fail("X3038", "'" + name + "': void variables are not allowed", at);
        if (mr_Globals.count(name) || mr_Functions.count(name))
            return Fail("X3003", "redefinition of '" + name + "'", at);
        ValueNode lr_Node;
        lr_Node.Name = name;
        lr_Node.Class = type.Class;
        lr_Node.Type = type.Type;
        lr_Node.Rows = type.Rows;
        lr_Node.Columns = type.Columns;
        lr_Node.IsStatic = isStatic;
        if (shared) lr_Node.Flags |= D3DX_PARAMETER_SHARED;
        if (IsPunct("[") && !ParseArraySize(lr_Node.Elements)) return false;
        std::vector<UINT> lr_Annotations;
        for (int lr_Round = 0; lr_Round < 2; ++lr_Round) {
            while (IsPunct(":")) {
                Next();
                if (IsIdent("register")) {
                    if (!ParseRegister(lr_Node.SamplerRegister)) return false;
                } else if (IsIdent("packoffset")) {
                    Next();
                    if (!SkipBalanced("(", ")", nullptr)) return false;
                } else {
                    if (!ExpectIdent(lr_Node.Semantic)) return false;
                }
            }
            if (lr_Round == 0 && IsPunct("<") && !ParseAnnotations(lr_Annotations)) return false;
        }
        const UINT lr_Count = lr_Node.Elements ? lr_Node.Elements : 1;
        if (IsNumericType(lr_Node.Type)) {
            const size_t lr_Components = static_cast<size_t>(lr_Node.Rows) * lr_Node.Columns * lr_Count;
            if (!ReserveComponents(lr_Components, at)) return false;
            lr_Node.Numbers.assign(lr_Components, 0);
        } else {
            if (!ReserveComponents(lr_Count, at)) return false;
            if (lr_Node.Type == D3DXPT_STRING) lr_Node.Strings.assign(lr_Count, std::string());
            if (IsTextureType(lr_Node.Type)) lr_Node.Textures.assign(lr_Count, nullptr);
            if (lr_Node.Type == D3DXPT_PIXELSHADER || lr_Node.Type == D3DXPT_VERTEXSHADER)
                lr_Node.Shaders.assign(lr_Count, -1);
        }
        lr_Node.Annotations = lr_Annotations;
        if (IsPunct("=")) {
            Next();
            if (!ParseInitializer(lr_Node)) return false;
        }
        while (IsPunct(":")) {
            Next();
            if (!IsIdent("register")) return Unexpected();
            if (!ParseRegister(lr_Node.SamplerRegister)) return false;
        }
        const int lr_Index = NewNode(lr_Node);
        if (lr_Index < 0) return Fail("X3000", "too many effect parameters", at);
        mr_Globals[name] = static_cast<UINT>(lr_Index);
        mr_Def.Globals.push_back(static_cast<UINT>(lr_Index));
        if (!isStatic) {
            mr_Def.Parameters.push_back(static_cast<UINT>(lr_Index));
            for (UINT i = 0; i < lr_Node.Elements; ++i) {
                ValueNode lr_Element;
                lr_Element.Name = name;
                lr_Element.Semantic = lr_Node.Semantic;
                lr_Element.Class = lr_Node.Class;
                lr_Element.Type = lr_Node.Type;
                lr_Element.Rows = lr_Node.Rows;
                lr_Element.Columns = lr_Node.Columns;
                lr_Element.Flags = lr_Node.Flags;
                lr_Element.Parent = lr_Index;
                lr_Element.ElementIndex = i;
                const int lr_ElementIndex = NewNode(lr_Element);
                if (lr_ElementIndex < 0) return Fail("X3000", "too many effect parameters", at);
                mr_Def.Nodes[static_cast<size_t>(lr_Index)].Members.push_back(static_cast<UINT>(lr_ElementIndex));
            }
        }
        return true;
    }

    bool ParseAnnotations(std::vector<UINT>& annotations) {
        Next();
        while (!IsPunct(">")) {
            if (AtEnd()) return Unexpected();
            const Token& lr_At = Cur();
            TypeInfo lr_Type;
            bool lr_Found;
            if (!ParseType(lr_Type, lr_Found)) return false;
            if (!lr_Found) return Unexpected();
            if (!IsNumericType(lr_Type.Type) && lr_Type.Type != D3DXPT_STRING)
                return Fail("X3000", "annotations must be numeric or string", lr_At);
            ValueNode lr_Node;
            if (!ExpectIdent(lr_Node.Name)) return false;
            lr_Node.Class = lr_Type.Class;
            lr_Node.Type = lr_Type.Type;
            lr_Node.Rows = lr_Type.Rows;
            lr_Node.Columns = lr_Type.Columns;
            lr_Node.Flags = D3DX_PARAMETER_ANNOTATION;
            if (IsPunct("[")) return Fail("X3000", "array annotations are not supported", Cur());
            if (IsNumericType(lr_Node.Type)) {
                if (!ReserveComponents(static_cast<size_t>(lr_Node.Rows) * lr_Node.Columns, lr_At)) return false;
                lr_Node.Numbers.assign(static_cast<size_t>(lr_Node.Rows) * lr_Node.Columns, 0);
            } else {
                lr_Node.Strings.assign(1, std::string());
            }
            if (!Expect("=")) return false;
            if (!ParseInitializer(lr_Node)) return false;
            if (!Expect(";")) return false;
            const int lr_Index = NewNode(lr_Node);
            if (lr_Index < 0) return Fail("X3000", "too many annotations", lr_At);
            annotations.push_back(static_cast<UINT>(lr_Index));
        }
        Next();
        return true;
    }

    // Initialisers ---------------------------------------------------------
    bool ParseInitializer(ValueNode& node) {
        const Token& lr_At = Cur();
        if (IsNumericType(node.Type)) {
            std::vector<double> lr_Values;
            if (!ParseValueList(lr_Values, 0)) return false;
            const size_t lr_Total = node.Numbers.size();
            if (lr_Values.size() == 1 && node.Elements == 0) lr_Values.assign(lr_Total, lr_Values[0]);
            if (lr_Values.size() != lr_Total)
                return Fail("X3017", "initializer does not match the type of '" + node.Name + "'", lr_At);
            for (size_t i = 0; i < lr_Total; ++i) node.Numbers[i] = Convert(node.Type, lr_Values[i]);
            return true;
        }
        if (node.Type == D3DXPT_STRING) {
            std::vector<std::string> lr_Strings;
            if (IsPunct("{")) {
                Next();
                while (!IsPunct("}")) {
                    if (Cur().Kind != TokenKind::String) return Unexpected();
                    lr_Strings.push_back(Cur().Text);
                    Next();
                    if (IsPunct(",")) Next();
                    else if (!IsPunct("}")) return Unexpected();
                }
                Next();
            } else {
                if (Cur().Kind != TokenKind::String) return Unexpected();
                lr_Strings.push_back(Cur().Text);
                Next();
            }
            if (lr_Strings.size() != node.Strings.size())
                return Fail("X3017", "initializer does not match the type of '" + node.Name + "'", lr_At);
            node.Strings = lr_Strings;
            return true;
        }
        if (IsSamplerType(node.Type)) {
            if (node.Elements) return Fail("X3000", "sampler arrays cannot be initialised", lr_At);
            if (!IsIdent("sampler_state")) return Unexpected();
            Next();
            return ParseSamplerState(node);
        }
        if (node.Type == D3DXPT_PIXELSHADER || node.Type == D3DXPT_VERTEXSHADER) {
            if (node.Elements) return Fail("X3000", "shader arrays cannot be initialised", lr_At);
            int lr_Shader = -1;
            if (IsIdent("NULL")) {
                Next();
            } else {
                if (!ParseCompile(node.Type == D3DXPT_PIXELSHADER, lr_Shader)) return false;
            }
            node.Shaders[0] = lr_Shader;
            return true;
        }
        return Fail("X3000", "'" + node.Name + "' cannot be initialised", lr_At);
    }

    static DWORD Convert(D3DXPARAMETER_TYPE type, double value) {
        if (type == D3DXPT_FLOAT) return FloatBits(value);
        if (type == D3DXPT_BOOL) return value != 0.0 ? 1u : 0u;
        return static_cast<DWORD>(ToInt(value));
    }

    bool Nest(int depth) {
        if (depth > kMaxNesting) return Fail("X3000", "syntax error: nesting too deep", Cur());
        return true;
    }

    bool ParseValueList(std::vector<double>& values, int depth) {
        if (!Nest(depth)) return false;
        if (IsPunct("{")) {
            Next();
            while (!IsPunct("}")) {
                if (!ParseValueList(values, depth + 1)) return false;
                if (values.size() > kMaxValueComponents) return Fail("X3000", "initializer too large", Cur());
                if (IsPunct(",")) Next();
                else if (!IsPunct("}")) return Unexpected();
            }
            Next();
            return true;
        }
        std::vector<double> lr_Values;
        if (!ParseAdditive(lr_Values, depth + 1)) return false;
        values.insert(values.end(), lr_Values.begin(), lr_Values.end());
        return true;
    }

    bool Combine(std::vector<double>& a, const std::vector<double>& b, char op, const Token& at) {
        if (a.size() != b.size() && a.size() != 1 && b.size() != 1)
            return Fail("X3020", "type mismatch", at);
        const size_t n = a.size() > b.size() ? a.size() : b.size();
        std::vector<double> lr_Out(n);
        for (size_t i = 0; i < n; ++i) {
            const double x = a[a.size() == 1 ? 0 : i], y = b[b.size() == 1 ? 0 : i];
            switch (op) {
                case '+': lr_Out[i] = x + y; break;
                case '-': lr_Out[i] = x - y; break;
                case '*': lr_Out[i] = x * y; break;
                case '/': lr_Out[i] = x / y; break;
                default: lr_Out[i] = y != 0.0 ? std::fmod(x, y) : NAN; break;
            }
        }
        a.swap(lr_Out);
        return true;
    }

    bool ParseAdditive(std::vector<double>& values, int depth) {
        if (!Nest(depth)) return false;
        if (!ParseMultiplicative(values, depth + 1)) return false;
        while (IsPunct("+") || IsPunct("-")) {
            const Token& lr_Op = Cur();
            Next();
            std::vector<double> lr_Right;
            if (!ParseMultiplicative(lr_Right, depth + 1)) return false;
            if (!Combine(values, lr_Right, lr_Op.Text[0], lr_Op)) return false;
        }
        return true;
    }

    bool ParseMultiplicative(std::vector<double>& values, int depth) {
        if (!ParseUnary(values, depth + 1)) return false;
        while (IsPunct("*") || IsPunct("/") || IsPunct("%")) {
            const Token& lr_Op = Cur();
            Next();
            std::vector<double> lr_Right;
            if (!ParseUnary(lr_Right, depth + 1)) return false;
            if (!Combine(values, lr_Right, lr_Op.Text[0], lr_Op)) return false;
        }
        return true;
    }

    bool ParseUnary(std::vector<double>& values, int depth) {
        if (!Nest(depth)) return false;
        if (IsPunct("-") || IsPunct("+") || IsPunct("!")) {
            const char lr_Op = Cur().Text[0];
            Next();
            if (!ParseUnary(values, depth + 1)) return false;
            for (double& v : values) {
                if (lr_Op == '-') v = -v;
                else if (lr_Op == '!') v = v == 0.0 ? 1.0 : 0.0;
            }
            return true;
        }
        return ParsePrimary(values, depth + 1);
    }

    bool ParsePrimary(std::vector<double>& values, int depth) {
        if (!Nest(depth)) return false;
        const Token& t = Cur();
        if (t.Kind == TokenKind::Integer || t.Kind == TokenKind::Float) {
            values.assign(1, t.Number);
            Next();
            return true;
        }
        if (IsPunct("(")) {
            Next();
            if (!ParseAdditive(values, depth + 1)) return false;
            return Expect(")");
        }
        if (t.Kind != TokenKind::Identifier) return Unexpected();
        if (t.Text == "true" || t.Text == "false") {
            values.assign(1, t.Text == "true" ? 1.0 : 0.0);
            Next();
            return true;
        }
        TypeInfo lr_Type;
        bool lr_Found;
        const size_t lr_Start = mr_Pos;
        if (!ParseType(lr_Type, lr_Found)) return false;
        if (lr_Found) {
            if (!IsNumericType(lr_Type.Type)) {
                mr_Pos = lr_Start;
                return Unexpected();
            }
            if (!Expect("(")) return false;
            values.clear();
            while (!IsPunct(")")) {
                std::vector<double> lr_Part;
                if (!ParseAdditive(lr_Part, depth + 1)) return false;
                values.insert(values.end(), lr_Part.begin(), lr_Part.end());
                if (values.size() > 16) return Fail("X3000", "too many constructor arguments", t);
                if (IsPunct(",")) Next();
                else if (!IsPunct(")")) return Unexpected();
            }
            Next();
            const size_t lr_Want = static_cast<size_t>(lr_Type.Rows) * lr_Type.Columns;
            if (values.size() == 1 && lr_Want > 1) values.assign(lr_Want, values[0]);
            if (values.size() != lr_Want)
                return Fail("X3014", "incorrect number of arguments to numeric-type constructor", t);
            return true;
        }
        auto lr_Global = mr_Globals.find(t.Text);
        if (lr_Global != mr_Globals.end()) {
            const ValueNode& lr_Node = mr_Def.Nodes[lr_Global->second];
            if (!IsNumericType(lr_Node.Type) || lr_Node.Elements || lr_Node.Numbers.size() > 16)
                return Fail("X3020", "type mismatch", t);
            values.clear();
            for (DWORD lr_Bits : lr_Node.Numbers) {
                if (lr_Node.Type == D3DXPT_FLOAT) {
                    float f;
                    std::memcpy(&f, &lr_Bits, sizeof(f));
                    values.push_back(f);
                } else if (lr_Node.Type == D3DXPT_INT) {
                    values.push_back(static_cast<int32_t>(lr_Bits));
                } else {
                    values.push_back(lr_Bits ? 1.0 : 0.0);
                }
            }
            Next();
            return true;
        }
        return Fail("X3004", "undeclared identifier '" + t.Text + "'", t);
    }

    // Shaders ------------------------------------------------------------
    bool ParseCompile(bool pixel, int& shader) {
        if (IsIdent("asm")) return Fail("X3000", "assembly shader blocks are not supported", Cur());
        if (!IsIdent("compile")) return Unexpected();
        Next();
        const Token& lr_ProfileToken = Cur();
        std::string ls_Profile;
        if (!ExpectIdent(ls_Profile)) return false;
        bool lr_Pixel;
        DWORD lr_Version;
        if (!ShaderProfileVersion(ls_Profile, lr_Pixel, lr_Version))
            return Fail("X3000", "shader profile '" + ls_Profile + "' is not supported", lr_ProfileToken);
        if (lr_Pixel != pixel)
            return Fail("X3000", std::string("a ") + (lr_Pixel ? "pixel" : "vertex") + " shader profile cannot be used here",
                        lr_ProfileToken);
        const Token& lr_EntryToken = Cur();
        std::string ls_Entry;
        if (!ExpectIdent(ls_Entry)) return false;
        if (!IsPunct("(")) return Unexpected();
        // Uniform arguments would need a wrapper entry point around F; refused
        // rather than compiled without them.
        if (!(Ahead(1).Kind == TokenKind::Punct && Ahead(1).Text == ")"))
            return Fail("X3000", "uniform arguments in a compile expression are not supported ('" + ls_Entry + "')",
                        Ahead(1));
        Next();
        Next();
        CompiledShader lr_Shader;
        lr_Shader.Pixel = lr_Pixel;
        lr_Shader.Version = lr_Version;
        lr_Shader.Entry = ls_Entry;
        lr_Shader.Profile = ls_Profile;
        if (mr_Def.Shaders.size() >= kMaxNodes) return Fail("X3000", "too many shaders", lr_EntryToken);
        mr_Def.Shaders.push_back(lr_Shader);
        shader = static_cast<int>(mr_Def.Shaders.size() - 1);
        mr_Entries.push_back({static_cast<UINT>(shader), lr_EntryToken.Line, lr_EntryToken.Column});
        return true;
    }

    // A global named by `<name>`, `(name)` or `name`; -1 when the cursor has none of these.
    int ParseReference(bool& syntax) {
        syntax = false;
        const Token* lr_Name = nullptr;
        size_t lr_Skip = 0;
        if ((IsPunct("<") || IsPunct("(")) && Ahead(1).Kind == TokenKind::Identifier && Ahead(2).Kind == TokenKind::Punct &&
            Ahead(2).Text == (IsPunct("<") ? ">" : ")")) {
            lr_Name = &Ahead(1);
            lr_Skip = 3;
            syntax = true;
        } else if (Cur().Kind == TokenKind::Identifier) {
            lr_Name = &Cur();
            lr_Skip = 1;
        }
        if (!lr_Name) return -1;
        auto lr_Global = mr_Globals.find(lr_Name->Text);
        if (lr_Global == mr_Globals.end()) return -1;
        mr_Pos += lr_Skip;
        return static_cast<int>(lr_Global->second);
    }

    bool ParseObjectReference(bool (*accept)(D3DXPARAMETER_TYPE), bool allowNull, int& node) {
        node = -1;
        if (allowNull && IsIdent("NULL")) {
            Next();
            return true;
        }
        const Token& lr_At = Cur();
        bool lr_Syntax;
        node = ParseReference(lr_Syntax);
        if (node < 0) {
            const Token& lr_Name = lr_Syntax || IsPunct("<") || IsPunct("(") ? Ahead(1) : Cur();
            if (lr_Name.Kind == TokenKind::Identifier)
                return Fail("X3004", "undeclared identifier '" + lr_Name.Text + "'", lr_Name);
            return Unexpected();
        }
        const ValueNode& lr_Node = mr_Def.Nodes[static_cast<size_t>(node)];
        if (!accept(lr_Node.Type) || lr_Node.Elements) return Fail("X3020", "type mismatch", lr_At);
        return true;
    }

    // The value of a render or sampler state: an enumerated name (several
    // joined by '|'), a number, or a reference to a numeric parameter.
    bool ParseStateValue(ValueSet values, StateAssignment& assignment) {
        assignment.ValueKind = values == ValueSet::Float ? StateValueKind::Float : StateValueKind::Dword;
        const Token& lr_At = Cur();
        if (Cur().Kind == TokenKind::Identifier) {
            DWORD lr_Probe;
            if (!FindStateValue(values, Cur().Text, lr_Probe) && Cur().Text != "true" && Cur().Text != "false") {
                bool lr_Syntax;
                const int lr_Node = ParseReference(lr_Syntax);
                if (lr_Node >= 0) return AcceptStateParameter(lr_Node, assignment, lr_At);
            }
        } else if (IsPunct("<") || IsPunct("(")) {
            bool lr_Syntax;
            const int lr_Node = ParseReference(lr_Syntax);
            if (lr_Node >= 0) return AcceptStateParameter(lr_Node, assignment, lr_At);
            if (IsPunct("<")) {
                if (Ahead(1).Kind == TokenKind::Identifier)
                    return Fail("X3004", "undeclared identifier '" + Ahead(1).Text + "'", Ahead(1));
                return Unexpected();
            }
        }
        DWORD lr_Bits = 0;
        while (true) {
            DWORD lr_Named;
            if (Cur().Kind == TokenKind::Identifier && FindStateValue(values, Cur().Text, lr_Named)) {
                lr_Bits |= lr_Named;
                Next();
            } else {
                const Token& lr_Term = Cur();
                if (lr_Term.Kind == TokenKind::Identifier && values != ValueSet::Integer &&
                    values != ValueSet::Float && lr_Term.Text != "true" && lr_Term.Text != "false" &&
                    !IsTypeName(lr_Term.Text) && !mr_Globals.count(lr_Term.Text))
                    return Fail("X3004", "undeclared identifier '" + lr_Term.Text + "'", lr_Term);
                std::vector<double> lr_Values;
                if (!ParseAdditive(lr_Values, 0)) return false;
                if (lr_Values.size() != 1) return Fail("X3020", "type mismatch", lr_Term);
                lr_Bits |= values == ValueSet::Float ? FloatBits(lr_Values[0]) : ToDword(lr_Values[0]);
            }
            if (!IsPunct("|")) break;
            Next();
        }
        assignment.Value = lr_Bits;
        return true;
    }

    bool AcceptStateParameter(int node, StateAssignment& assignment, const Token& at) {
        const ValueNode& lr_Node = mr_Def.Nodes[static_cast<size_t>(node)];
        if (!IsNumericType(lr_Node.Type) || lr_Node.Elements || lr_Node.Numbers.size() != 1)
            return Fail("X3020", "type mismatch", at);
        assignment.Parameter = node;
        return true;
    }

    bool ParseSamplerState(ValueNode& node) {
        if (!Expect("{")) return false;
        while (!IsPunct("}")) {
            if (AtEnd()) return Unexpected();
            const Token& lr_NameToken = Cur();
            std::string ls_State;
            if (!ExpectIdent(ls_State)) return false;
            if (!Expect("=")) return false;
            StateAssignment lr_Assignment;
            if (EqualsNoCase(ls_State, "Texture")) {
                lr_Assignment.Kind = StateAssignment::Target::Texture;
                if (!ParseObjectReference(IsTextureType, true, lr_Assignment.Parameter)) return false;
            } else {
                const StateInfo* lr_Info = FindSamplerState(ls_State);
                if (!lr_Info) return Fail("X3000", "unrecognized sampler state '" + ls_State + "'", lr_NameToken);
                lr_Assignment.Kind = StateAssignment::Target::SamplerState;
                lr_Assignment.State = lr_Info->State;
                if (!ParseStateValue(lr_Info->Values, lr_Assignment)) return false;
            }
            if (!Expect(";")) return false;
            node.SamplerStates.push_back(lr_Assignment);
        }
        Next();
        return true;
    }

    // Techniques ---------------------------------------------------------
    bool ParseTechnique() {
        Next();
        TechniqueDefinition lr_Technique;
        if (Cur().Kind == TokenKind::Identifier) {
            lr_Technique.Name = Cur().Text;
            lr_Technique.HasName = true;
            Next();
        }
        if (IsPunct("<") && !ParseAnnotations(lr_Technique.Annotations)) return false;
        if (!Expect("{")) return false;
        while (!IsPunct("}")) {
            if (!IsIdent("pass")) return Unexpected();
            Next();
            PassDefinition lr_Pass;
            if (Cur().Kind == TokenKind::Identifier) {
                lr_Pass.Name = Cur().Text;
                lr_Pass.HasName = true;
                Next();
            }
            if (IsPunct("<") && !ParseAnnotations(lr_Pass.Annotations)) return false;
            if (!Expect("{")) return false;
            while (!IsPunct("}")) {
                if (AtEnd()) return Unexpected();
                if (!ParsePassState(lr_Pass)) return false;
            }
            Next();
            if (mr_Def.Passes.size() >= kMaxNodes) return Fail("X3000", "too many passes", Cur());
            mr_Def.Passes.push_back(std::move(lr_Pass));
            lr_Technique.Passes.push_back(static_cast<UINT>(mr_Def.Passes.size() - 1));
        }
        Next();
        if (mr_Def.Techniques.size() >= kMaxNodes) return Fail("X3000", "too many techniques", Cur());
        mr_Def.Techniques.push_back(std::move(lr_Technique));
        return true;
    }

    bool ParsePassState(PassDefinition& pass) {
        const Token& lr_NameToken = Cur();
        std::string ls_State;
        if (!ExpectIdent(ls_State)) return false;
        DWORD lr_Index = 0;
        bool lr_Indexed = false;
        if (IsPunct("[")) {
            const Token& lr_IndexToken = Cur();
            Next();
            std::vector<double> lr_Values;
            if (!ParseAdditive(lr_Values, 0)) return false;
            if (!Expect("]")) return false;
            if (lr_Values.size() != 1 || !(lr_Values[0] >= 0) || lr_Values[0] >= kMaxSamplerStage)
                return Fail("X3000", "state index out of range", lr_IndexToken);
            lr_Index = static_cast<DWORD>(lr_Values[0]);
            lr_Indexed = true;
        }
        if (!Expect("=")) return false;
        StateAssignment lr_Assignment;
        lr_Assignment.Index = lr_Index;
        const bool lr_Pixel = EqualsNoCase(ls_State, "PixelShader");
        if (lr_Pixel || EqualsNoCase(ls_State, "VertexShader")) {
            if (lr_Indexed) return Fail("X3000", "'" + ls_State + "' takes no index", lr_NameToken);
            lr_Assignment.Kind = lr_Pixel ? StateAssignment::Target::PixelShader : StateAssignment::Target::VertexShader;
            if (IsIdent("NULL")) {
                Next();
            } else if (IsIdent("compile") || IsIdent("asm")) {
                if (!ParseCompile(lr_Pixel, lr_Assignment.Shader)) return false;
            } else {
                if (!ParseObjectReference(lr_Pixel ? IsPixelShaderType : IsVertexShaderType, false,
                                          lr_Assignment.Parameter))
                    return false;
            }
        } else if (EqualsNoCase(ls_State, "Texture")) {
            lr_Assignment.Kind = StateAssignment::Target::Texture;
            if (!ParseObjectReference(IsTextureType, true, lr_Assignment.Parameter)) return false;
        } else if (EqualsNoCase(ls_State, "Sampler")) {
            lr_Assignment.Kind = StateAssignment::Target::Sampler;
            if (!ParseObjectReference(IsSamplerType, false, lr_Assignment.Parameter)) return false;
        } else if (const StateInfo* lr_Render = FindRenderState(ls_State)) {
            if (lr_Indexed) return Fail("X3000", "'" + ls_State + "' takes no index", lr_NameToken);
            lr_Assignment.Kind = StateAssignment::Target::RenderState;
            lr_Assignment.State = lr_Render->State;
            if (!ParseStateValue(lr_Render->Values, lr_Assignment)) return false;
        } else if (const StateInfo* lr_Sampler = FindSamplerState(ls_State)) {
            lr_Assignment.Kind = StateAssignment::Target::SamplerState;
            lr_Assignment.State = lr_Sampler->State;
            if (!ParseStateValue(lr_Sampler->Values, lr_Assignment)) return false;
        } else {
            return Fail("X3000", "unrecognized state '" + ls_State + "'", lr_NameToken);
        }
        if (!Expect(";")) return false;
        pass.States.push_back(lr_Assignment);
        return true;
    }

    // After the text: entry points and sampler registers -----------------
    const std::unordered_set<std::string>& Reachable(const std::string& entry) {
        auto lr_Cached = mr_Reachable.find(entry);
        if (lr_Cached != mr_Reachable.end()) return lr_Cached->second;
        std::unordered_set<std::string> lr_Seen;
        std::unordered_set<std::string> lr_Functions{entry};
        std::vector<std::string> lr_Queue{entry};
        while (!lr_Queue.empty()) {
            const std::string ls_Function = lr_Queue.back();
            lr_Queue.pop_back();
            auto lr_Body = mr_Functions.find(ls_Function);
            if (lr_Body == mr_Functions.end()) continue;
            for (const std::string& ls_Id : lr_Body->second) {
                lr_Seen.insert(ls_Id);
                if (mr_Functions.count(ls_Id) && lr_Functions.insert(ls_Id).second) lr_Queue.push_back(ls_Id);
            }
        }
        return mr_Reachable.emplace(entry, std::move(lr_Seen)).first->second;
    }

    bool Finish() {
        for (const PendingEntry& lr_Entry : mr_Entries) {
            CompiledShader& lr_Shader = mr_Def.Shaders[lr_Entry.Shader];
            if (!mr_Functions.count(lr_Shader.Entry)) {
                mr_Error.Code = "X3501";
                mr_Error.Message = "'" + lr_Shader.Entry + "': entrypoint not found";
                mr_Error.Line = lr_Entry.Line;
                mr_Error.Column = lr_Entry.Column;
                return false;
            }
        }
        for (CompiledShader& lr_Shader : mr_Def.Shaders) {
            const std::unordered_set<std::string>& lr_Used = Reachable(lr_Shader.Entry);
            for (UINT lr_Global : mr_Def.Globals)
                if (lr_Used.count(mr_Def.Nodes[lr_Global].Name)) lr_Shader.UsedGlobals.push_back(lr_Global);
        }
        return true;
    }

    const std::vector<Token>& mr_Tokens;
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

}  // namespace

bool CompileEffect(const char* data, size_t size, const std::string& sourceName, EffectDefinition& definition,
                   CompileError& error) {
    std::vector<Token> lr_Tokens;
    if (!Tokenize(data, size, lr_Tokens, error)) return false;
    Parser lr_Parser(lr_Tokens, definition, error);
    if (!lr_Parser.Run()) return false;
    // The shader compiler sees the text with those ranges blanked, line
    // breaks kept so that its messages point at the right lines.
    std::string ls_Shaders(data, size);
    for (const auto& lr_Blank : lr_Parser.Blanks())
        for (size_t i = lr_Blank.first; i < lr_Blank.second && i < ls_Shaders.size(); ++i)
            if (ls_Shaders[i] != '\n') ls_Shaders[i] = ' ';
    return CompileEffectShaders(ls_Shaders.data(), ls_Shaders.size(), sourceName, definition, error);
}

}  // namespace softfx
