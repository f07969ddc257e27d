// The fx_2_0 reader: a compiled effect (layout in EffectBinary.h) as an
// EffectDefinition whose shaders are bound to its parameters.
#include "effect/EffectBinary.h"

#include "compiler/EffectParser.h"
#include "effect/EffectStateTables.h"

#include <soft/SoftShaderComments.h>

#include <cstring>
#include <unordered_map>
#include <utility>

namespace softfx {

namespace {

constexpr DWORD k_MaxNameBytes = 1024;

bool IsIdentifier(const std::string& text) {
    if (text.empty() || (text[0] >= '0' && text[0] <= '9')) return false;
    for (char c : text)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}

// From shader model 2 every instruction token carries its length, so the
// end token is found without knowing the opcodes. Model 1 tokens do not;
// there every parameter token has its top bit set, so a word-by-word scan
// cannot meet the end token inside an instruction (a constant of `def` may
// only end it early, which the last check refuses).
bool WellFormedShader(const std::vector<DWORD>& tokens, bool& pixel) {
    if (tokens.size() < 2) return false;
    const DWORD lr_Type = tokens[0] >> 16;
    if (lr_Type != 0xFFFF && lr_Type != 0xFFFE) return false;
    pixel = lr_Type == 0xFFFF;
    const DWORD lr_Major = (tokens[0] >> 8) & 0xFF;
    if (lr_Major < 1 || lr_Major > 3) return false;
    size_t i = 1;
    while (i < tokens.size()) {
        const DWORD t = tokens[i];
        if (t == D3DSIO_END) return i + 1 == tokens.size();
        if ((t & 0xFFFF) == D3DSIO_COMMENT)
            i += 1 + ((t >> 16) & 0x7FFF);
        else
            i += 1 + (lr_Major >= 2 ? ((t >> 24) & 0x0F) : 0);
    }
    return false;
}

class Reader {
public:
    Reader(const BYTE* data, size_t size, EffectDefinition& definition, std::string& error)
        : mr_Data(data), mr_Size(size), mr_Def(definition), mr_Error(error) {}

    bool Run(size_t tables) {
        size_t lr_At = tables;
        DWORD lr_Parameters, lr_Techniques, lr_Unused, lr_Objects;
        if (!Word(lr_At, lr_Parameters) || !Word(lr_At, lr_Techniques) || !Word(lr_At, lr_Unused) ||
            !Word(lr_At, lr_Objects))
            return false;
        // Every counted item takes at least a word: counts beyond the data are malformed.
        if (lr_Parameters > mr_Size / 4 || lr_Techniques > mr_Size / 4 || lr_Objects > mr_Size / 4 ||
            lr_Objects > kMaxNodes)
            return Fail("a count is larger than the data");
        mr_ObjectUsers.assign(lr_Objects, ObjectUser{});
        for (DWORD p = 0; p < lr_Parameters; ++p)
            if (!Parameter(lr_At)) return false;
        for (DWORD t = 0; t < lr_Techniques; ++t)
            if (!Technique(lr_At)) return false;
        DWORD lr_Strings, lr_Resources;
        if (!Word(lr_At, lr_Strings) || !Word(lr_At, lr_Resources)) return false;
        if (lr_Strings > mr_Size / 4 || lr_Resources > mr_Size / 4) return Fail("a count is larger than the data");
        for (DWORD s = 0; s < lr_Strings; ++s)
            if (!ObjectData(lr_At)) return false;
        for (DWORD r = 0; r < lr_Resources; ++r)
            if (!ResourceData(lr_At)) return false;
        return BindShaders();
    }

private:
    // What an object id stands for: an element of a value node.
    struct ObjectUser {
        int Node = -1;
        UINT Element = 0;
    };
    // A state a resource may fill: a pass's or a sampler parameter's.
    struct StateSlot {
        bool InPass = true;
        UINT Owner = 0;  // pass index or sampler node
        UINT State = 0;
    };

    bool Fail(const std::string& text) {
        mr_Error = text;
        return false;
    }
    bool Word(size_t& at, DWORD& value) {
        if (at > mr_Size || mr_Size - at < 4) return Fail("the data ends early");
        std::memcpy(&value, mr_Data + at, 4);
        at += 4;
        return true;
    }
    bool Bytes(size_t& at, std::vector<BYTE>& bytes) {
        DWORD lr_Size;
        if (!Word(at, lr_Size)) return false;
        if (lr_Size > mr_Size - at) return Fail("a block runs past the data");
        bytes.assign(mr_Data + at, mr_Data + at + lr_Size);
        at += (static_cast<size_t>(lr_Size) + 3) & ~static_cast<size_t>(3);
        if (at > mr_Size) at = mr_Size;
        return true;
    }
    bool Name(DWORD offset, std::string& name, bool& present) {
        size_t lr_At = offset;
        DWORD lr_Length;
        if (!Word(lr_At, lr_Length)) return false;
        // Names are identifiers: a long one only makes every reference to it costly.
        if (lr_Length > k_MaxNameBytes)
            return Fail("a name is longer than " + std::to_string(k_MaxNameBytes) + " bytes");
        lr_At = offset;
        std::vector<BYTE> lr_Bytes;
        if (!Bytes(lr_At, lr_Bytes)) return false;
        present = !lr_Bytes.empty();
        size_t n = 0;
        while (n < lr_Bytes.size() && lr_Bytes[n]) ++n;
        name.assign(lr_Bytes.begin(), lr_Bytes.begin() + static_cast<std::ptrdiff_t>(n));
        return true;
    }

    bool NewNode(ValueNode&& node, UINT& index) {
        if (mr_Def.Nodes.size() >= kMaxNodes) return Fail("too many parameters");
        mr_Def.Nodes.push_back(std::move(node));
        index = static_cast<UINT>(mr_Def.Nodes.size() - 1);
        return true;
    }
    bool Reserve(size_t count) {
        if (count > kMaxValueComponents || mr_Components + count > kMaxValueComponents)
            return Fail("the parameters are too large");
        mr_Components += count;
        return true;
    }

    // A type description into `node`; `what` names it in messages.
    bool Type(DWORD offset, ValueNode& node, bool needName) {
        size_t lr_At = offset;
        DWORD lr_Type, lr_Class, lr_Name, lr_Semantic, lr_Elements, lr_A = 0, lr_B = 0;
        if (!Word(lr_At, lr_Type) || !Word(lr_At, lr_Class) || !Word(lr_At, lr_Name) || !Word(lr_At, lr_Semantic) ||
            !Word(lr_At, lr_Elements))
            return false;
        bool lr_Named, lr_HasSemantic;
        if (!Name(lr_Name, node.Name, lr_Named) || !Name(lr_Semantic, node.Semantic, lr_HasSemantic)) return false;
        if (needName && !IsIdentifier(node.Name)) return Fail("a parameter name is not an identifier");
        if (lr_HasSemantic && !node.Semantic.empty() && !IsIdentifier(node.Semantic))
            return Fail("semantic of '" + node.Name + "' is not an identifier");
        if (lr_Elements > kMaxArrayElements) return Fail("'" + node.Name + "' has too many elements");
        node.Type = static_cast<D3DXPARAMETER_TYPE>(lr_Type);
        node.Elements = lr_Elements;
        switch (lr_Class) {
        case D3DXPC_SCALAR:
        case D3DXPC_VECTOR:
        case D3DXPC_MATRIX_ROWS:
        case D3DXPC_MATRIX_COLUMNS:
            if (!IsNumericType(node.Type)) return Fail("'" + node.Name + "' is numeric in class but not in type");
            if (!Word(lr_At, lr_A) || !Word(lr_At, lr_B)) return false;
            node.Rows = lr_Class == D3DXPC_VECTOR ? lr_B : lr_A;
            node.Columns = lr_Class == D3DXPC_VECTOR ? lr_A : lr_B;
            if (node.Rows < 1 || node.Rows > 4 || node.Columns < 1 || node.Columns > 4 ||
                (lr_Class == D3DXPC_SCALAR && node.Rows * node.Columns != 1) ||
                (lr_Class == D3DXPC_VECTOR && node.Rows != 1))
                return Fail("'" + node.Name + "' has a shape its class does not allow");
            // Every matrix reads as rows, whatever its packing in the shaders.
            node.Class =
                lr_Class == D3DXPC_MATRIX_COLUMNS ? D3DXPC_MATRIX_ROWS : static_cast<D3DXPARAMETER_CLASS>(lr_Class);
            return true;
        case D3DXPC_OBJECT:
            if (!IsEffectObjectType(node.Type)) return Fail("'" + node.Name + "' is an object of an unsupported type");
            node.Class = D3DXPC_OBJECT;
            return true;
        case D3DXPC_STRUCT: return Fail("'" + node.Name + "' is a struct, which this runtime does not support");
        default: return Fail("'" + node.Name + "' has an unknown class");
        }
    }

    bool UseObject(DWORD id, int node, UINT element) {
        if (id >= mr_ObjectUsers.size()) return Fail("an object id is out of range");
        mr_ObjectUsers[id] = {node, element};
        return true;
    }

    // Storage and initial value of a node whose type is read.
    bool Value(DWORD offset, UINT nodeIndex) {
        ValueNode& lr_Node = mr_Def.Nodes[nodeIndex];
        const UINT lr_Count = lr_Node.Elements ? lr_Node.Elements : 1;
        size_t lr_At = offset;
        if (IsNumericType(lr_Node.Type)) {
            const size_t lr_Words = static_cast<size_t>(lr_Node.Rows) * lr_Node.Columns * lr_Count;
            if (!Reserve(lr_Words)) return false;
            if (offset > mr_Size || (mr_Size - offset) / 4 < lr_Words) return Fail("a value runs past the data");
            lr_Node.Numbers.resize(lr_Words);
            std::memcpy(lr_Node.Numbers.data(), mr_Data + offset, lr_Words * 4);
            return true;
        }
        if (!Reserve(lr_Count)) return false;
        if (IsSamplerType(lr_Node.Type)) {
            if (lr_Node.Elements) return Fail("'" + lr_Node.Name + "' is an array of samplers, which is not supported");
            DWORD lr_States;
            if (!Word(lr_At, lr_States)) return false;
            if (lr_States > mr_Size / 16) return Fail("a count is larger than the data");
            for (DWORD s = 0; s < lr_States; ++s) {
                StateAssignment lr_State;
                if (!State(lr_At, lr_State, false)) return false;
                mr_Def.Nodes[nodeIndex].SamplerStates.push_back(lr_State);
            }
            return true;
        }
        if (lr_Node.Type == D3DXPT_STRING) lr_Node.Strings.assign(lr_Count, std::string());
        if (IsTextureType(lr_Node.Type)) lr_Node.Textures.assign(lr_Count, nullptr);
        if (IsShaderType(lr_Node.Type)) lr_Node.Shaders.assign(lr_Count, -1);
        for (UINT i = 0; i < lr_Count; ++i) {
            DWORD lr_Id;
            if (!Word(lr_At, lr_Id) || !UseObject(lr_Id, static_cast<int>(nodeIndex), i)) return false;
        }
        return true;
    }

    bool State(size_t& at, StateAssignment& state, bool inPass) {
        using Target = StateAssignment::Target;
        DWORD lr_Operation, lr_Index, lr_Type, lr_Value;
        if (!Word(at, lr_Operation) || !Word(at, lr_Index) || !Word(at, lr_Type) || !Word(at, lr_Value)) return false;
        ValueNode lr_Typed;
        if (!Type(lr_Type, lr_Typed, false)) return false;
        if (lr_Typed.Elements) return Fail("a state value is an array");
        const StateInfo* lr_Row = StateByOperation(lr_Operation);
        const Target lr_Class = lr_Row ? lr_Row->Class : Target::RenderState;
        const bool lr_Stage =
            lr_Row && (lr_Class == Target::Texture || lr_Class == Target::Sampler || lr_Class == Target::SamplerState);
        if (inPass && lr_Stage && lr_Index >= kMaxSamplerStage) return Fail("a state's sampler index is out of range");
        state.Index = inPass ? lr_Index : 0;
        auto lr_Expect = [&](bool ok) {
            return ok || Fail("state " + std::to_string(lr_Operation) + " has a value of the wrong type");
        };
        if (!lr_Row)
            return Fail("state " + std::to_string(lr_Operation) +
                        " (texture stage, transform, light, material, FVF or shader constant) is not supported");
        state.Kind = lr_Class;
        size_t lr_At = lr_Value;
        DWORD lr_Id = 0;
        switch (lr_Class) {
        case Target::RenderState:
        case Target::SamplerState:
            if (lr_Class == Target::RenderState && !inPass) return Fail("a sampler_state holds a render state");
            state.State = lr_Row->State;
            state.ValueKind = lr_Row->Values == ValueSet::Float ? StateValueKind::Float : StateValueKind::Dword;
            if (!lr_Expect(IsNumericType(lr_Typed.Type) && lr_Typed.Rows * lr_Typed.Columns == 1)) return false;
            return Word(lr_At, state.Value);
        case Target::Texture:
            if (!lr_Expect(IsTextureType(lr_Typed.Type))) return false;
            if (!Word(lr_At, lr_Id)) return false;
            return UseObject(lr_Id, -1, 0);
        case Target::Sampler:
            if (!inPass) return Fail("a sampler_state holds a Sampler state");
            return lr_Expect(IsSamplerType(lr_Typed.Type));
        case Target::PixelShader:
        case Target::VertexShader:
            if (!inPass) return Fail("a sampler_state holds a shader");
            if (!lr_Expect(lr_Typed.Type ==
                           (lr_Class == Target::PixelShader ? D3DXPT_PIXELSHADER : D3DXPT_VERTEXSHADER)))
                return false;
            if (!Word(lr_At, lr_Id)) return false;
            return UseObject(lr_Id, -1, 0);
        }
        return Fail("a state of an unknown kind");
    }

    bool Annotations(size_t& at, DWORD count, std::vector<UINT>& annotations) {
        if (count > mr_Size / 8) return Fail("a count is larger than the data");
        for (DWORD a = 0; a < count; ++a) {
            DWORD lr_Type, lr_Value;
            if (!Word(at, lr_Type) || !Word(at, lr_Value)) return false;
            ValueNode lr_Node;
            if (!Type(lr_Type, lr_Node, true)) return false;
            if (lr_Node.Elements || (!IsNumericType(lr_Node.Type) && lr_Node.Type != D3DXPT_STRING))
                return Fail("annotation '" + lr_Node.Name + "' is not a number or a string");
            lr_Node.Flags = D3DX_PARAMETER_ANNOTATION;
            UINT lr_Index;
            if (!NewNode(std::move(lr_Node), lr_Index) || !Value(lr_Value, lr_Index)) return false;
            annotations.push_back(lr_Index);
        }
        return true;
    }

    bool Parameter(size_t& at) {
        DWORD lr_Type, lr_Value, lr_Flags, lr_Annotations;
        if (!Word(at, lr_Type) || !Word(at, lr_Value) || !Word(at, lr_Flags) || !Word(at, lr_Annotations)) return false;
        std::vector<UINT> lr_AnnotationNodes;
        if (!Annotations(at, lr_Annotations, lr_AnnotationNodes)) return false;
        ValueNode lr_Node;
        if (!Type(lr_Type, lr_Node, true)) return false;
        lr_Node.Flags = lr_Flags & (D3DX_PARAMETER_SHARED | D3DX_PARAMETER_LITERAL);
        lr_Node.Annotations = lr_AnnotationNodes;
        UINT lr_Index;
        if (!NewNode(std::move(lr_Node), lr_Index)) return false;
        mr_Def.Parameters.push_back(lr_Index);
        mr_Def.Globals.push_back(lr_Index);
        mr_ParameterNodes.push_back(lr_Index);
        if (!Value(lr_Value, lr_Index)) return false;
        const ValueNode lr_Shape = mr_Def.Nodes[lr_Index];
        for (UINT i = 0; i < lr_Shape.Elements; ++i) {
            ValueNode lr_Element;
            lr_Element.Name = lr_Shape.Name;
            lr_Element.Semantic = lr_Shape.Semantic;
            lr_Element.Class = lr_Shape.Class;
            lr_Element.Type = lr_Shape.Type;
            lr_Element.Rows = lr_Shape.Rows;
            lr_Element.Columns = lr_Shape.Columns;
            lr_Element.Flags = lr_Shape.Flags;
            lr_Element.Parent = static_cast<int>(lr_Index);
            lr_Element.ElementIndex = i;
            UINT lr_ElementIndex;
            if (!NewNode(std::move(lr_Element), lr_ElementIndex)) return false;
            mr_Def.Nodes[lr_Index].Members.push_back(lr_ElementIndex);
        }
        return true;
    }

    bool Technique(size_t& at) {
        TechniqueDefinition lr_Technique;
        DWORD lr_Name, lr_Annotations, lr_Passes;
        if (!Word(at, lr_Name) || !Word(at, lr_Annotations) || !Word(at, lr_Passes)) return false;
        if (!Name(lr_Name, lr_Technique.Name, lr_Technique.HasName)) return false;
        if (!Annotations(at, lr_Annotations, lr_Technique.Annotations)) return false;
        if (lr_Passes > mr_Size / 12) return Fail("a count is larger than the data");
        std::vector<UINT> lr_PassIndices;
        for (DWORD p = 0; p < lr_Passes; ++p) {
            PassDefinition lr_Pass;
            DWORD lr_PassName, lr_PassAnnotations, lr_States;
            if (!Word(at, lr_PassName) || !Word(at, lr_PassAnnotations) || !Word(at, lr_States)) return false;
            if (!Name(lr_PassName, lr_Pass.Name, lr_Pass.HasName)) return false;
            if (!Annotations(at, lr_PassAnnotations, lr_Pass.Annotations)) return false;
            if (lr_States > mr_Size / 16) return Fail("a count is larger than the data");
            for (DWORD s = 0; s < lr_States; ++s) {
                StateAssignment lr_State;
                if (!State(at, lr_State, true)) return false;
                lr_Pass.States.push_back(lr_State);
            }
            if (mr_Def.Passes.size() >= kMaxNodes) return Fail("too many passes");
            mr_Def.Passes.push_back(std::move(lr_Pass));
            lr_PassIndices.push_back(static_cast<UINT>(mr_Def.Passes.size() - 1));
        }
        lr_Technique.Passes = lr_PassIndices;
        if (mr_Def.Techniques.size() >= kMaxNodes) return Fail("too many techniques");
        mr_Def.Techniques.push_back(std::move(lr_Technique));
        return true;
    }

    int NewShader(std::vector<BYTE>&& bytes) {
        if (bytes.size() % 4) {
            Fail("shader bytecode is not whole tokens");
            return -1;
        }
        CompiledShader lr_Shader;
        lr_Shader.Tokens.resize(bytes.size() / 4);
        if (!bytes.empty()) std::memcpy(lr_Shader.Tokens.data(), bytes.data(), bytes.size());
        if (!WellFormedShader(lr_Shader.Tokens, lr_Shader.Pixel)) {
            Fail("shader bytecode is malformed or not of shader model 1 to 3");
            return -1;
        }
        lr_Shader.Version = lr_Shader.Tokens[0];
        lr_Shader.Entry = SoftShaderEntryName(lr_Shader.Tokens.data(), lr_Shader.Tokens.size());
        const DWORD lr_Major = (lr_Shader.Version >> 8) & 0xFF, lr_Minor = lr_Shader.Version & 0xFF;
        lr_Shader.Profile = std::string(lr_Shader.Pixel ? "ps_" : "vs_") + std::to_string(lr_Major) + "_" +
                            (lr_Minor == 1 ? std::string("x") : std::to_string(lr_Minor));
        if (mr_Def.Shaders.size() >= kMaxNodes) {
            Fail("too many shaders");
            return -1;
        }
        mr_Def.Shaders.push_back(std::move(lr_Shader));
        return static_cast<int>(mr_Def.Shaders.size() - 1);
    }

    bool ObjectData(size_t& at) {
        DWORD lr_Id;
        std::vector<BYTE> lr_Bytes;
        if (!Word(at, lr_Id) || !Bytes(at, lr_Bytes)) return false;
        if (lr_Id >= mr_ObjectUsers.size()) return Fail("an object id is out of range");
        const ObjectUser lr_User = mr_ObjectUsers[lr_Id];
        if (lr_User.Node < 0) return true;  // data of an object nothing reads
        ValueNode& lr_Node = mr_Def.Nodes[static_cast<size_t>(lr_User.Node)];
        if (lr_Node.Type == D3DXPT_STRING) {
            size_t n = 0;
            while (n < lr_Bytes.size() && lr_Bytes[n]) ++n;
            lr_Node.Strings[lr_User.Element].assign(lr_Bytes.begin(),
                                                    lr_Bytes.begin() + static_cast<std::ptrdiff_t>(n));
            return true;
        }
        if (IsShaderType(lr_Node.Type)) {
            if (lr_Bytes.empty()) return true;
            const int lr_Shader = NewShader(std::move(lr_Bytes));
            if (lr_Shader < 0) return false;
            if ((mr_Def.Shaders[static_cast<size_t>(lr_Shader)].Pixel) != (lr_Node.Type == D3DXPT_PIXELSHADER))
                return Fail("shader parameter '" + lr_Node.Name + "' holds the other kind of shader");
            mr_Def.Nodes[static_cast<size_t>(lr_User.Node)].Shaders[lr_User.Element] = lr_Shader;
            return true;
        }
        return Fail("object data for '" + lr_Node.Name + "', which takes none");
    }

    // A parameter or element named as in GetParameterByName: "name" or "name[i]".
    int FindNamed(const std::string& name) {
        const size_t lr_Bracket = name.find('[');
        const std::string ls_Base = name.substr(0, lr_Bracket);
        const auto lr_Found = Index().find(ls_Base);
        if (lr_Found != Index().end()) {
            const UINT lr_Node = lr_Found->second;
            const ValueNode& lr_Parameter = mr_Def.Nodes[lr_Node];
            if (lr_Bracket == std::string::npos) return static_cast<int>(lr_Node);
            const std::string ls_Index = name.substr(lr_Bracket + 1);
            if (ls_Index.size() < 2 || ls_Index.back() != ']') return -1;
            UINT lr_Element = 0;
            for (size_t i = 0; i + 1 < ls_Index.size(); ++i) {
                if (ls_Index[i] < '0' || ls_Index[i] > '9' || lr_Element > kMaxArrayElements) return -1;
                lr_Element = lr_Element * 10 + static_cast<UINT>(ls_Index[i] - '0');
            }
            if (lr_Element >= lr_Parameter.Members.size()) return -1;
            return static_cast<int>(lr_Parameter.Members[lr_Element]);
        }
        return -1;
    }

    bool ResourceData(size_t& at) {
        using Target = StateAssignment::Target;
        DWORD lr_Technique, lr_Index, lr_Element, lr_State, lr_Usage;
        std::vector<BYTE> lr_Bytes;
        if (!Word(at, lr_Technique) || !Word(at, lr_Index) || !Word(at, lr_Element) || !Word(at, lr_State) ||
            !Word(at, lr_Usage) || !Bytes(at, lr_Bytes))
            return false;
        StateAssignment* lr_Target_ = nullptr;
        if (lr_Technique == k_EffectNoIndex) {
            if (lr_Index >= mr_ParameterNodes.size()) return Fail("a resource names a missing parameter");
            ValueNode& lr_Sampler = mr_Def.Nodes[mr_ParameterNodes[lr_Index]];
            if (!IsSamplerType(lr_Sampler.Type) || lr_State >= lr_Sampler.SamplerStates.size())
                return Fail("a resource names a missing sampler state");
            lr_Target_ = &lr_Sampler.SamplerStates[lr_State];
        } else {
            if (lr_Technique >= mr_Def.Techniques.size()) return Fail("a resource names a missing technique");
            const TechniqueDefinition& lr_Owner = mr_Def.Techniques[lr_Technique];
            if (lr_Index >= lr_Owner.Passes.size()) return Fail("a resource names a missing pass");
            PassDefinition& lr_Pass = mr_Def.Passes[lr_Owner.Passes[lr_Index]];
            if (lr_State >= lr_Pass.States.size()) return Fail("a resource names a missing state");
            lr_Target_ = &lr_Pass.States[lr_State];
        }
        StateAssignment& lr_Target = *lr_Target_;
        const bool lr_Shader = lr_Target.Kind == Target::PixelShader || lr_Target.Kind == Target::VertexShader;
        if (lr_Target.Parameter >= 0 || lr_Target.Shader >= 0) return Fail("a state has two resources");
        if (lr_Usage == k_EffectUsageBytecode) {
            if (!lr_Shader) return Fail("bytecode for a state that is not a shader");
            if (lr_Bytes.empty()) return true;
            const int lr_Index_ = NewShader(std::move(lr_Bytes));
            if (lr_Index_ < 0) return false;
            if (mr_Def.Shaders[static_cast<size_t>(lr_Index_)].Pixel != (lr_Target.Kind == Target::PixelShader))
                return Fail("a shader state holds the other kind of shader");
            lr_Target.Shader = lr_Index_;
            return true;
        }
        if (lr_Usage != k_EffectUsageParameter)
            return Fail("a state chosen by an expression (usage " + std::to_string(lr_Usage) + ") is not supported");
        size_t n = 0;
        while (n < lr_Bytes.size() && lr_Bytes[n]) ++n;
        const std::string ls_Name(lr_Bytes.begin(), lr_Bytes.begin() + static_cast<std::ptrdiff_t>(n));
        const int lr_Node = FindNamed(ls_Name);
        if (lr_Node < 0) return Fail("a state names '" + ls_Name + "', which is not a parameter");
        const ValueNode& lr_Named = mr_Def.Nodes[static_cast<size_t>(lr_Node)];
        bool lr_Fits = !lr_Named.Elements;
        switch (lr_Target.Kind) {
        case Target::RenderState:
        case Target::SamplerState:
            lr_Fits = lr_Fits && IsNumericType(lr_Named.Type) && lr_Named.Rows * lr_Named.Columns == 1;
            break;
        case Target::Texture: lr_Fits = lr_Fits && IsTextureType(lr_Named.Type); break;
        case Target::Sampler: lr_Fits = lr_Fits && IsSamplerType(lr_Named.Type) && lr_Named.Parent < 0; break;
        case Target::PixelShader: lr_Fits = lr_Fits && lr_Named.Type == D3DXPT_PIXELSHADER; break;
        case Target::VertexShader: lr_Fits = lr_Fits && lr_Named.Type == D3DXPT_VERTEXSHADER; break;
        }
        if (!lr_Fits) return Fail("a state names '" + ls_Name + "', which has the wrong type");
        lr_Target.Parameter = lr_Node;
        return true;
    }

    // Parameters by name, the first of each name as GetParameterByName finds it.
    const std::unordered_map<std::string, UINT>& Index() {
        if (mr_Index.empty())
            for (UINT lr_Node : mr_Def.Parameters) mr_Index.emplace(mr_Def.Nodes[lr_Node].Name, lr_Node);
        return mr_Index;
    }

    bool BindShaders() {
        CompileError lr_Error;
        for (CompiledShader& lr_Shader : mr_Def.Shaders) {
            if (!BindShaderConstants(mr_Def, lr_Shader, "compiled effect", lr_Error, &Index())) {
                mr_Error = lr_Error.Text;
                return false;
            }
            // Used, for a compiled effect, is what the constant table names.
            for (const ConstantBinding& lr_Constant : lr_Shader.Constants)
                lr_Shader.UsedGlobals.push_back(lr_Constant.Node);
            for (const SamplerBinding& lr_Sampler : lr_Shader.Samplers)
                lr_Shader.UsedGlobals.push_back(lr_Sampler.Sampler);
        }
        return true;
    }

    const BYTE* mr_Data;
    size_t mr_Size;
    EffectDefinition& mr_Def;
    std::string& mr_Error;
    std::vector<ObjectUser> mr_ObjectUsers;
    std::vector<UINT> mr_ParameterNodes;
    std::unordered_map<std::string, UINT> mr_Index;  // built once every parameter is read
    size_t mr_Components = 0;
};

}  // namespace

bool ReadEffectBinary(const BYTE* data, size_t size, EffectDefinition& definition, std::string& error) {
    if (!IsEffectBinary(data, size) || size < 8) {
        error = "compiled effect: not an fx_2_0 binary";
        return false;
    }
    DWORD lr_Tables;
    std::memcpy(&lr_Tables, data + 4, 4);
    const BYTE* lr_Base = data + 8;
    const size_t lr_Size = size - 8;
    if (lr_Tables > lr_Size) {
        error = "compiled effect: the tables lie past the data\n";
        return false;
    }
    std::string ls_Error;
    Reader lr_Reader(lr_Base, lr_Size, definition, ls_Error);
    // The tables are read from their offset; every other offset counts from the base.
    if (!lr_Reader.Run(lr_Tables)) {
        error = "compiled effect: " + ls_Error + "\n";
        return false;
    }
    return true;
}

}  // namespace softfx
