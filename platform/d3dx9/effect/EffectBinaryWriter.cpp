// The fx_2_0 writer: an EffectDefinition as a compiled effect (layout in
// EffectBinary.h).
#include "effect/EffectBinary.h"

#include "effect/EffectStateTables.h"

#include <cstring>
#include <map>
#include <utility>

namespace softfx {

namespace {

std::string NodeName(const EffectDefinition& definition, const ValueNode& node) {
    if (node.Parent < 0) return node.Name;
    return definition.Nodes[static_cast<size_t>(node.Parent)].Name + "[" + std::to_string(node.ElementIndex) + "]";
}

class Writer {
public:
    Writer(const EffectDefinition& definition, std::string& error) : mr_Def(definition), mr_Error(error) {}

    bool Run(std::vector<BYTE>& out) {
        for (size_t i = 0; i < mr_Def.Parameters.size(); ++i)
            mr_ParameterIndex[mr_Def.Parameters[i]] = static_cast<DWORD>(i);
        Table(static_cast<DWORD>(mr_Def.Parameters.size()));
        Table(static_cast<DWORD>(mr_Def.Techniques.size()));
        Table(0);
        const size_t lr_ObjectCountAt = mr_Tables.size();
        Table(0);
        for (size_t i = 0; i < mr_Def.Parameters.size(); ++i)
            if (!Parameter(mr_Def.Nodes[mr_Def.Parameters[i]], static_cast<DWORD>(i))) return false;
        for (size_t t = 0; t < mr_Def.Techniques.size(); ++t)
            if (!Technique(mr_Def.Techniques[t], static_cast<DWORD>(t))) return false;
        mr_Tables[lr_ObjectCountAt] = mr_NextObject;
        Table(static_cast<DWORD>(mr_Objects.size()));
        Table(static_cast<DWORD>(mr_Resources.size()));
        for (const Object& lr_Object : mr_Objects) {
            Table(lr_Object.Id);
            Blob(mr_Tables, lr_Object.Bytes);
        }
        for (const Resource& lr_Resource : mr_Resources) {
            Table(lr_Resource.Technique);
            Table(lr_Resource.Index);
            Table(lr_Resource.Element);
            Table(lr_Resource.State);
            Table(lr_Resource.Usage);
            Blob(mr_Tables, lr_Resource.Bytes);
        }
        out.clear();
        Append(out, k_EffectBinaryTag);
        Append(out, static_cast<DWORD>(mr_Pool.size() * 4));
        for (DWORD lr_Word : mr_Pool) Append(out, lr_Word);
        for (DWORD lr_Word : mr_Tables) Append(out, lr_Word);
        return true;
    }

private:
    struct Object {
        DWORD Id;
        std::vector<BYTE> Bytes;
    };
    struct Resource {
        DWORD Technique, Index, Element, State, Usage;
        std::vector<BYTE> Bytes;
    };
    struct StateRecord {
        DWORD Operation = 0, Index = 0, Type = 0, Value = 0;
    };
    // Where a state's resource points: a pass of a technique, or a sampler parameter.
    struct Owner {
        DWORD Technique, Index, Element;
    };

    static void Append(std::vector<BYTE>& out, DWORD word) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<BYTE>(word >> (8 * i)));
    }
    static void Blob(std::vector<DWORD>& to, const std::vector<BYTE>& bytes) {
        to.push_back(static_cast<DWORD>(bytes.size()));
        std::vector<DWORD> lr_Words((bytes.size() + 3) / 4, 0);
        if (!bytes.empty()) std::memcpy(lr_Words.data(), bytes.data(), bytes.size());
        to.insert(to.end(), lr_Words.begin(), lr_Words.end());
    }
    static std::vector<BYTE> StringBytes(const std::string& text) {
        std::vector<BYTE> lr_Bytes(text.begin(), text.end());
        lr_Bytes.push_back(0);
        return lr_Bytes;
    }
    static std::vector<BYTE> TokenBytes(const std::vector<DWORD>& tokens) {
        std::vector<BYTE> lr_Bytes(tokens.size() * 4);
        if (!tokens.empty()) std::memcpy(lr_Bytes.data(), tokens.data(), lr_Bytes.size());
        return lr_Bytes;
    }

    void Table(DWORD word) { mr_Tables.push_back(word); }
    DWORD PoolOffset() const { return static_cast<DWORD>(mr_Pool.size() * 4); }
    DWORD PoolWords(const std::vector<DWORD>& words) {
        const DWORD lr_At = PoolOffset();
        mr_Pool.insert(mr_Pool.end(), words.begin(), words.end());
        return lr_At;
    }
    // An absent name is a zero length, which the reader takes as no name.
    DWORD PoolName(const std::string& name, bool present) {
        const DWORD lr_At = PoolOffset();
        if (!present) {
            mr_Pool.push_back(0);
            return lr_At;
        }
        Blob(mr_Pool, StringBytes(name));
        return lr_At;
    }
    DWORD NewObject() { return mr_NextObject++; }
    DWORD NewObject(std::vector<BYTE> bytes) {
        const DWORD lr_Id = NewObject();
        mr_Objects.push_back({lr_Id, std::move(bytes)});
        return lr_Id;
    }

    bool Fail(const std::string& text) {
        mr_Error = text;
        return false;
    }

    DWORD TypeOf(D3DXPARAMETER_TYPE type, D3DXPARAMETER_CLASS klass, const std::string& name, bool named,
                 const std::string& semantic, UINT elements, UINT rows, UINT columns) {
        std::vector<DWORD> lr_Words;
        const DWORD lr_Name = PoolName(name, named);
        const DWORD lr_Semantic = PoolName(semantic, !semantic.empty());
        lr_Words = {static_cast<DWORD>(type), static_cast<DWORD>(klass), lr_Name, lr_Semantic, elements};
        if (klass == D3DXPC_VECTOR) {
            lr_Words.push_back(columns);
            lr_Words.push_back(rows);
        } else if (klass != D3DXPC_OBJECT) {
            lr_Words.push_back(rows);
            lr_Words.push_back(columns);
        }
        return PoolWords(lr_Words);
    }

    bool CheckShape(const ValueNode& node, const std::string& what) {
        if (node.Class == D3DXPC_STRUCT) return Fail(what + " is a struct, which is not written");
        if (IsNumericType(node.Type)) {
            if (node.Class != D3DXPC_SCALAR && node.Class != D3DXPC_VECTOR && node.Class != D3DXPC_MATRIX_ROWS &&
                node.Class != D3DXPC_MATRIX_COLUMNS)
                return Fail(what + " has a class the format does not give numbers");
            return true;
        }
        if (!IsEffectObjectType(node.Type) || node.Class != D3DXPC_OBJECT)
            return Fail(what + " has a type the format cannot carry");
        return true;
    }

    bool Value(const ValueNode& node, DWORD parameter, const std::string& what, DWORD& offset) {
        const UINT lr_Count = node.Elements ? node.Elements : 1;
        if (IsNumericType(node.Type)) {
            offset = PoolWords(node.Numbers);
            return true;
        }
        std::vector<DWORD> lr_Words;
        if (IsSamplerType(node.Type)) {
            if (node.Elements) return Fail(what + " is an array of samplers, which is not written");
            if (!SamplerStates(node, parameter, lr_Words)) return false;
        } else {
            for (UINT i = 0; i < lr_Count; ++i) {
                if (node.Type == D3DXPT_STRING) {
                    lr_Words.push_back(NewObject(StringBytes(i < node.Strings.size() ? node.Strings[i] : "")));
                } else if (IsShaderType(node.Type)) {
                    const int lr_Shader = i < node.Shaders.size() ? node.Shaders[i] : -1;
                    if (lr_Shader < 0)
                        lr_Words.push_back(NewObject());
                    else
                        lr_Words.push_back(
                            NewObject(TokenBytes(mr_Def.Shaders[static_cast<size_t>(lr_Shader)].Tokens)));
                } else {
                    lr_Words.push_back(NewObject());  // textures start empty
                }
            }
        }
        offset = PoolWords(lr_Words);
        return true;
    }

    bool SamplerStates(const ValueNode& node, DWORD parameter, std::vector<DWORD>& words) {
        std::vector<StateRecord> lr_Records;
        for (size_t s = 0; s < node.SamplerStates.size(); ++s) {
            StateRecord lr_Record;
            const StateAssignment& lr_State = node.SamplerStates[s];
            if (lr_State.Kind != StateAssignment::Target::Texture &&
                lr_State.Kind != StateAssignment::Target::SamplerState)
                return Fail("sampler '" + node.Name + "' holds a state a sampler_state cannot carry");
            if (!State(lr_State, {k_EffectNoIndex, parameter, k_EffectNoIndex}, static_cast<DWORD>(s), lr_Record))
                return false;
            lr_Record.Index = 0;
            lr_Records.push_back(lr_Record);
        }
        words.push_back(static_cast<DWORD>(lr_Records.size()));
        for (const StateRecord& r : lr_Records) words.insert(words.end(), {r.Operation, r.Index, r.Type, r.Value});
        return true;
    }

    void Reference(const Owner& owner, DWORD state, int node) {
        mr_Resources.push_back({owner.Technique, owner.Index, owner.Element, state, k_EffectUsageParameter,
                                StringBytes(NodeName(mr_Def, mr_Def.Nodes[static_cast<size_t>(node)]))});
    }

    bool CheckReference(int node) {
        const ValueNode& lr_Node = mr_Def.Nodes[static_cast<size_t>(node)];
        const ValueNode& lr_Root = lr_Node.Parent >= 0 ? mr_Def.Nodes[static_cast<size_t>(lr_Node.Parent)] : lr_Node;
        if (lr_Root.IsStatic)
            return Fail("a state refers to the static '" + lr_Root.Name +
                        "', which is not a parameter and cannot be named in a compiled effect");
        if (lr_Root.Flags & D3DX_PARAMETER_ANNOTATION) return Fail("a state refers to an annotation");
        return true;
    }

    bool State(const StateAssignment& state, const Owner& owner, DWORD index, StateRecord& record) {
        using Target = StateAssignment::Target;
        record.Index = state.Index;
        if (state.Parameter >= 0 && !CheckReference(state.Parameter)) return false;
        const StateInfo* lr_Row = StateOfClass(state.Kind, state.State);
        if (!lr_Row && (state.Kind == Target::RenderState || state.Kind == Target::SamplerState))
            return Fail((state.Kind == Target::RenderState ? "render state " : "sampler state ") +
                        std::to_string(state.State) + " has no row in the state table");
        if (!lr_Row) return Fail("a state of an unknown kind");
        record.Operation = lr_Row->Operation;
        switch (state.Kind) {
        case Target::RenderState:
        case Target::SamplerState: {
            D3DXPARAMETER_TYPE lr_Type = state.ValueKind == StateValueKind::Float ? D3DXPT_FLOAT : D3DXPT_INT;
            DWORD lr_Value = state.Value;
            if (state.Parameter >= 0) {
                // The value comes from the named parameter; its own type tells the runtime how to read it.
                const ValueNode& lr_Node = mr_Def.Nodes[static_cast<size_t>(state.Parameter)];
                lr_Type = lr_Node.Type;
                lr_Value = 0;
                Reference(owner, index, state.Parameter);
            }
            record.Type = TypeOf(lr_Type, D3DXPC_SCALAR, "", false, "", 0, 1, 1);
            record.Value = PoolWords({lr_Value});
            return true;
        }
        case Target::Texture:
            record.Type = TypeOf(D3DXPT_TEXTURE, D3DXPC_OBJECT, "", false, "", 0, 0, 0);
            record.Value = PoolWords({NewObject()});
            if (state.Parameter >= 0) Reference(owner, index, state.Parameter);
            return true;
        case Target::Sampler:
            if (state.Parameter < 0) return Fail("a Sampler state without a sampler");
            record.Type = TypeOf(D3DXPT_SAMPLER, D3DXPC_OBJECT, "", false, "", 0, 0, 0);
            record.Value = PoolWords({0});  // an empty state list; the states are the named sampler's
            Reference(owner, index, state.Parameter);
            return true;
        case Target::PixelShader:
        case Target::VertexShader: {
            const bool lr_Pixel = state.Kind == Target::PixelShader;
            record.Type =
                TypeOf(lr_Pixel ? D3DXPT_PIXELSHADER : D3DXPT_VERTEXSHADER, D3DXPC_OBJECT, "", false, "", 0, 0, 0);
            record.Value = PoolWords({NewObject()});
            if (state.Shader >= 0) {
                mr_Resources.push_back({owner.Technique, owner.Index, owner.Element, index, k_EffectUsageBytecode,
                                        TokenBytes(mr_Def.Shaders[static_cast<size_t>(state.Shader)].Tokens)});
            } else if (state.Parameter >= 0) {
                Reference(owner, index, state.Parameter);
            }
            return true;
        }
        }
        return Fail("a state of an unknown kind");
    }

    bool Annotations(const std::vector<UINT>& annotations) {
        for (UINT lr_Index : annotations) {
            const ValueNode& lr_Node = mr_Def.Nodes[lr_Index];
            const std::string ls_What = "annotation '" + lr_Node.Name + "'";
            if (!CheckShape(lr_Node, ls_What)) return false;
            if (IsSamplerType(lr_Node.Type)) return Fail(ls_What + " is a sampler");
            const DWORD lr_Type = TypeOf(lr_Node.Type, lr_Node.Class, lr_Node.Name, true, lr_Node.Semantic,
                                         lr_Node.Elements, lr_Node.Rows, lr_Node.Columns);
            DWORD lr_Value = 0;
            if (!Value(lr_Node, k_EffectNoIndex, ls_What, lr_Value)) return false;
            Table(lr_Type);
            Table(lr_Value);
        }
        return true;
    }

    bool Parameter(const ValueNode& node, DWORD index) {
        const std::string ls_What = "parameter '" + node.Name + "'";
        if (!CheckShape(node, ls_What)) return false;
        if (node.Elements && node.Members.size() != node.Elements) return Fail(ls_What + " does not list its elements");
        const DWORD lr_Type =
            TypeOf(node.Type, node.Class, node.Name, true, node.Semantic, node.Elements, node.Rows, node.Columns);
        DWORD lr_Value = 0;
        if (!Value(node, index, ls_What, lr_Value)) return false;
        Table(lr_Type);
        Table(lr_Value);
        Table(node.Flags);
        Table(static_cast<DWORD>(node.Annotations.size()));
        return Annotations(node.Annotations);
    }

    bool Technique(const TechniqueDefinition& technique, DWORD index) {
        Table(PoolName(technique.Name, technique.HasName));
        Table(static_cast<DWORD>(technique.Annotations.size()));
        Table(static_cast<DWORD>(technique.Passes.size()));
        if (!Annotations(technique.Annotations)) return false;
        for (size_t p = 0; p < technique.Passes.size(); ++p) {
            const PassDefinition& lr_Pass = mr_Def.Passes[technique.Passes[p]];
            Table(PoolName(lr_Pass.Name, lr_Pass.HasName));
            Table(static_cast<DWORD>(lr_Pass.Annotations.size()));
            Table(static_cast<DWORD>(lr_Pass.States.size()));
            if (!Annotations(lr_Pass.Annotations)) return false;
            for (size_t s = 0; s < lr_Pass.States.size(); ++s) {
                StateRecord lr_Record;
                if (!State(lr_Pass.States[s], {index, static_cast<DWORD>(p), k_EffectNoIndex}, static_cast<DWORD>(s),
                           lr_Record))
                    return false;
                mr_Tables.insert(mr_Tables.end(),
                                 {lr_Record.Operation, lr_Record.Index, lr_Record.Type, lr_Record.Value});
            }
        }
        return true;
    }

    const EffectDefinition& mr_Def;
    std::string& mr_Error;
    std::map<UINT, DWORD> mr_ParameterIndex;
    std::vector<DWORD> mr_Pool;
    std::vector<DWORD> mr_Tables;
    std::vector<Object> mr_Objects;
    std::vector<Resource> mr_Resources;
    DWORD mr_NextObject = 1;  // id 0 is the runtime's scratch object for named references
};

}  // namespace

bool WriteEffectBinary(const EffectDefinition& definition, std::vector<BYTE>& out, std::string& error) {
    Writer lr_Writer(definition, error);
    return lr_Writer.Run(out);
}

}  // namespace softfx
