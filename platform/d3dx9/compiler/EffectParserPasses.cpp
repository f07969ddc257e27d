// The effect parser: compile expressions, state values, sampler states,
// techniques and passes.
#include "compiler/EffectParserInternal.h"
#include "compiler/ShaderCompiler.h"

namespace softfx {

bool Parser::ParseCompile(bool pixel, int& shader) {
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
        return Fail("X3000",
                    std::string("a ") + (lr_Pixel ? "pixel" : "vertex") + " shader profile cannot be used here",
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
    mr_Entries.push_back({static_cast<UINT>(shader), lr_EntryToken.Line, lr_EntryToken.Column, lr_EntryToken.File});
    return true;
}

int Parser::ParseReference(bool& syntax) {
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

bool Parser::ParseObjectReference(bool (*accept)(D3DXPARAMETER_TYPE), bool allowNull, int& node) {
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

bool Parser::ParseStateValue(ValueSet values, StateAssignment& assignment) {
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
            if (lr_Term.Kind == TokenKind::Identifier && values != ValueSet::Integer && values != ValueSet::Float &&
                lr_Term.Text != "true" && lr_Term.Text != "false" && !IsTypeName(lr_Term.Text) &&
                !mr_Globals.count(lr_Term.Text))
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

bool Parser::AcceptStateParameter(int node, StateAssignment& assignment, const Token& at) {
    const ValueNode& lr_Node = mr_Def.Nodes[static_cast<size_t>(node)];
    if (!IsNumericType(lr_Node.Type) || lr_Node.Elements || lr_Node.Numbers.size() != 1)
        return Fail("X3020", "type mismatch", at);
    assignment.Parameter = node;
    return true;
}

bool Parser::ParseSamplerState(ValueNode& node) {
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

bool Parser::ParseTechnique() {
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

bool Parser::ParsePassState(PassDefinition& pass) {
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

}  // namespace softfx
