// The effect parser: types, declarations of globals and functions, annotations.
#include "compiler/EffectParserInternal.h"

namespace softfx {

bool Parser::ScalarType(const std::string& name, D3DXPARAMETER_TYPE& type, size_t& length) {
    static const struct {
        const char* Name;
        D3DXPARAMETER_TYPE Type;
    } kScalars[] = {{"bool", D3DXPT_BOOL},  {"int", D3DXPT_INT},     {"uint", D3DXPT_INT},    {"dword", D3DXPT_INT},
                    {"half", D3DXPT_FLOAT}, {"float", D3DXPT_FLOAT}, {"double", D3DXPT_FLOAT}};
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

bool Parser::BuiltinType(const std::string& name, TypeInfo& info) const {
    static const struct {
        const char* Name;
        D3DXPARAMETER_TYPE Type;
    } kObjects[] = {{"string", D3DXPT_STRING},
                    {"texture", D3DXPT_TEXTURE},
                    {"Texture", D3DXPT_TEXTURE},
                    {"texture1D", D3DXPT_TEXTURE1D},
                    {"Texture1D", D3DXPT_TEXTURE1D},
                    {"texture2D", D3DXPT_TEXTURE2D},
                    {"Texture2D", D3DXPT_TEXTURE2D},
                    {"texture3D", D3DXPT_TEXTURE3D},
                    {"Texture3D", D3DXPT_TEXTURE3D},
                    {"textureCUBE", D3DXPT_TEXTURECUBE},
                    {"TextureCube", D3DXPT_TEXTURECUBE},
                    {"sampler", D3DXPT_SAMPLER},
                    {"sampler1D", D3DXPT_SAMPLER1D},
                    {"sampler2D", D3DXPT_SAMPLER2D},
                    {"sampler3D", D3DXPT_SAMPLER3D},
                    {"samplerCUBE", D3DXPT_SAMPLERCUBE},
                    {"pixelshader", D3DXPT_PIXELSHADER},
                    {"PixelShader", D3DXPT_PIXELSHADER},
                    {"vertexshader", D3DXPT_VERTEXSHADER},
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

bool Parser::IsTypeName(const std::string& name) const {
    TypeInfo lr_Info;
    return BuiltinType(name, lr_Info) || mr_Typedefs.count(name) || mr_Structs.count(name);
}

bool Parser::ParseType(TypeInfo& info, bool& found) {
    found = false;
    if (Cur().Kind != TokenKind::Identifier) return true;
    const std::string& ls_Name = Cur().Text;
    if ((ls_Name == "matrix" || ls_Name == "vector") && Ahead(1).Kind == TokenKind::Punct && Ahead(1).Text == "<") {
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

bool Parser::ParseStruct() {
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

bool Parser::ParseTypedef() {
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
    if (lr_Info.Struct)
        mr_Structs.insert(ls_Name);
    else
        mr_Typedefs[ls_Name] = lr_Info;
    return Expect(";");
}

bool Parser::ParseDeclaration() {
    bool lr_Static = false, lr_Shared = false;
    static const char* const kModifiers[] = {"uniform", "static",   "const",          "shared",
                                             "extern",  "volatile", "row_major",      "column_major",
                                             "inline",  "precise",  "nointerpolation"};
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

bool Parser::ParseFunction(const std::string& name) {
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

bool Parser::ParseRegister(int& samplerRegister) {
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

int Parser::NewNode(const ValueNode& node) {
    if (mr_Def.Nodes.size() >= kMaxNodes) return -1;
    mr_Def.Nodes.push_back(node);
    return static_cast<int>(mr_Def.Nodes.size() - 1);
}

bool Parser::ReserveComponents(size_t count, const Token& at) {
    if (count > kMaxValueComponents || mr_Components + count > kMaxValueComponents)
        return Fail("X3000", "effect parameters are too large", at);
    mr_Components += count;
    return true;
}

bool Parser::ParseArraySize(UINT& elements) {
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

bool Parser::ParseVariableBody(const TypeInfo& type, bool isStatic, bool shared, const std::string& name,
                               const Token& at) {
    if (type.Struct) return Fail("X3000", "struct-typed effect parameters are not supported", at);
    if (type.Type == D3DXPT_VOID) return Fail("X3038", "'" + name + "': void variables are not allowed", at);
    if (mr_Globals.count(name) || mr_Functions.count(name)) return Fail("X3003", "redefinition of '" + name + "'", at);
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
            const size_t lr_Colon = Cur().Offset;
            Next();
            if (IsIdent("register")) {
                if (!ParseRegister(lr_Node.SamplerRegister)) return false;
            } else if (IsIdent("packoffset")) {
                Next();
                if (!SkipBalanced("(", ")", nullptr)) return false;
            } else {
                if (!ExpectIdent(lr_Node.Semantic)) return false;
                // vkd3d-shader 1.17 leaves a uniform declared with a semantic
                // out of the constant table, though the shader reads it; the
                // semantic is the effect's business, not the compiler's.
                mr_Blanks.push_back({lr_Colon, Cur().Offset});
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

bool Parser::ParseAnnotations(std::vector<UINT>& annotations) {
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

}  // namespace softfx
