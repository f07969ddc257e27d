#include "effect/EffectBinary.h"

#include "compiler/EffectParser.h"
#include "effect/EffectStateTables.h"

#include <cstring>
#include <map>
#include <unordered_map>
#include <utility>

namespace softfx {

namespace {

// Rows of the fx_2_0 state table this runtime carries; the rows between
// (texture stages, transforms, lights, materials, FVF, shader constants) are
// refused both ways.
const DWORD k_RenderOperations[] = {
    D3DRS_ZENABLE,
    D3DRS_FILLMODE,
    D3DRS_SHADEMODE,
    D3DRS_ZWRITEENABLE,
    D3DRS_ALPHATESTENABLE,
    D3DRS_LASTPIXEL,
    D3DRS_SRCBLEND,
    D3DRS_DESTBLEND,
    D3DRS_CULLMODE,
    D3DRS_ZFUNC,
    D3DRS_ALPHAREF,
    D3DRS_ALPHAFUNC,
    D3DRS_DITHERENABLE,
    D3DRS_ALPHABLENDENABLE,
    D3DRS_FOGENABLE,
    D3DRS_SPECULARENABLE,
    D3DRS_FOGCOLOR,
    D3DRS_FOGTABLEMODE,
    D3DRS_FOGSTART,
    D3DRS_FOGEND,
    D3DRS_FOGDENSITY,
    D3DRS_RANGEFOGENABLE,
    D3DRS_STENCILENABLE,
    D3DRS_STENCILFAIL,
    D3DRS_STENCILZFAIL,
    D3DRS_STENCILPASS,
    D3DRS_STENCILFUNC,
    D3DRS_STENCILREF,
    D3DRS_STENCILMASK,
    D3DRS_STENCILWRITEMASK,
    D3DRS_TEXTUREFACTOR,
    D3DRS_WRAP0,
    D3DRS_WRAP1,
    D3DRS_WRAP2,
    D3DRS_WRAP3,
    D3DRS_WRAP4,
    D3DRS_WRAP5,
    D3DRS_WRAP6,
    D3DRS_WRAP7,
    D3DRS_WRAP8,
    D3DRS_WRAP9,
    D3DRS_WRAP10,
    D3DRS_WRAP11,
    D3DRS_WRAP12,
    D3DRS_WRAP13,
    D3DRS_WRAP14,
    D3DRS_WRAP15,
    D3DRS_CLIPPING,
    D3DRS_LIGHTING,
    D3DRS_AMBIENT,
    D3DRS_FOGVERTEXMODE,
    D3DRS_COLORVERTEX,
    D3DRS_LOCALVIEWER,
    D3DRS_NORMALIZENORMALS,
    D3DRS_DIFFUSEMATERIALSOURCE,
    D3DRS_SPECULARMATERIALSOURCE,
    D3DRS_AMBIENTMATERIALSOURCE,
    D3DRS_EMISSIVEMATERIALSOURCE,
    D3DRS_VERTEXBLEND,
    D3DRS_CLIPPLANEENABLE,
    D3DRS_POINTSIZE,
    D3DRS_POINTSIZE_MIN,
    D3DRS_POINTSIZE_MAX,
    D3DRS_POINTSPRITEENABLE,
    D3DRS_POINTSCALEENABLE,
    D3DRS_POINTSCALE_A,
    D3DRS_POINTSCALE_B,
    D3DRS_POINTSCALE_C,
    D3DRS_MULTISAMPLEANTIALIAS,
    D3DRS_MULTISAMPLEMASK,
    D3DRS_PATCHEDGESTYLE,
    D3DRS_DEBUGMONITORTOKEN,
    D3DRS_INDEXEDVERTEXBLENDENABLE,
    D3DRS_COLORWRITEENABLE,
    D3DRS_TWEENFACTOR,
    D3DRS_BLENDOP,
    D3DRS_POSITIONDEGREE,
    D3DRS_NORMALDEGREE,
    D3DRS_SCISSORTESTENABLE,
    D3DRS_SLOPESCALEDEPTHBIAS,
    D3DRS_ANTIALIASEDLINEENABLE,
    D3DRS_MINTESSELLATIONLEVEL,
    D3DRS_MAXTESSELLATIONLEVEL,
    D3DRS_ADAPTIVETESS_X,
    D3DRS_ADAPTIVETESS_Y,
    D3DRS_ADAPTIVETESS_Z,
    D3DRS_ADAPTIVETESS_W,
    D3DRS_ENABLEADAPTIVETESSELLATION,
    D3DRS_TWOSIDEDSTENCILMODE,
    D3DRS_CCW_STENCILFAIL,
    D3DRS_CCW_STENCILZFAIL,
    D3DRS_CCW_STENCILPASS,
    D3DRS_CCW_STENCILFUNC,
    D3DRS_COLORWRITEENABLE1,
    D3DRS_COLORWRITEENABLE2,
    D3DRS_COLORWRITEENABLE3,
    D3DRS_BLENDFACTOR,
    D3DRS_SRGBWRITEENABLE,
    D3DRS_DEPTHBIAS,
    D3DRS_SEPARATEALPHABLENDENABLE,
    D3DRS_SRCBLENDALPHA,
    D3DRS_DESTBLENDALPHA,
    D3DRS_BLENDOPALPHA,
};
constexpr DWORD k_RenderOperationCount = sizeof(k_RenderOperations) / sizeof(k_RenderOperations[0]);
static_assert(k_RenderOperationCount == 0x67, "render states fill rows 0x00-0x66");
constexpr DWORD k_OpVertexShader = 0x92;
constexpr DWORD k_OpPixelShader = 0x93;
constexpr DWORD k_OpTexture = 0xA4;
constexpr DWORD k_OpFirstSamplerState = 0xA5;  // D3DSAMP_ADDRESSU, then in D3DSAMP order
constexpr DWORD k_OpLastSamplerState = 0xB1;   // D3DSAMP_DMAPOFFSET
constexpr DWORD k_OpSampler = 0xB2;

constexpr DWORD k_None = 0xFFFFFFFFu;
constexpr DWORD k_MaxNameBytes = 1024;
constexpr DWORD k_UsageBytecode = 0;
constexpr DWORD k_UsageParameter = 1;

bool IsShaderType(D3DXPARAMETER_TYPE type) { return type == D3DXPT_PIXELSHADER || type == D3DXPT_VERTEXSHADER; }

bool IsObjectType(D3DXPARAMETER_TYPE type) {
    return type == D3DXPT_STRING || IsTextureType(type) || IsSamplerType(type) || IsShaderType(type);
}

std::string NodeName(const EffectDefinition& definition, const ValueNode& node) {
    if (node.Parent < 0) return node.Name;
    return definition.Nodes[static_cast<size_t>(node.Parent)].Name + "[" + std::to_string(node.ElementIndex) + "]";
}

// Writer ---------------------------------------------------------------------

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
        if (!IsObjectType(node.Type) || node.Class != D3DXPC_OBJECT)
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
            if (!State(lr_State, {k_None, parameter, k_None}, static_cast<DWORD>(s), lr_Record)) return false;
            lr_Record.Index = 0;
            lr_Records.push_back(lr_Record);
        }
        words.push_back(static_cast<DWORD>(lr_Records.size()));
        for (const StateRecord& r : lr_Records) words.insert(words.end(), {r.Operation, r.Index, r.Type, r.Value});
        return true;
    }

    void Reference(const Owner& owner, DWORD state, int node) {
        mr_Resources.push_back({owner.Technique, owner.Index, owner.Element, state, k_UsageParameter,
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
        switch (state.Kind) {
        case Target::RenderState:
        case Target::SamplerState: {
            if (state.Kind == Target::RenderState) {
                DWORD r = 0;
                while (r < k_RenderOperationCount && k_RenderOperations[r] != state.State) ++r;
                if (r == k_RenderOperationCount)
                    return Fail("render state " + std::to_string(state.State) + " has no row in the state table");
                record.Operation = r;
            } else {
                if (state.State < D3DSAMP_ADDRESSU || state.State > D3DSAMP_DMAPOFFSET)
                    return Fail("sampler state " + std::to_string(state.State) + " has no row in the state table");
                record.Operation = k_OpFirstSamplerState + (state.State - D3DSAMP_ADDRESSU);
            }
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
            record.Operation = k_OpTexture;
            record.Type = TypeOf(D3DXPT_TEXTURE, D3DXPC_OBJECT, "", false, "", 0, 0, 0);
            record.Value = PoolWords({NewObject()});
            if (state.Parameter >= 0) Reference(owner, index, state.Parameter);
            return true;
        case Target::Sampler:
            if (state.Parameter < 0) return Fail("a Sampler state without a sampler");
            record.Operation = k_OpSampler;
            record.Type = TypeOf(D3DXPT_SAMPLER, D3DXPC_OBJECT, "", false, "", 0, 0, 0);
            record.Value = PoolWords({0});  // an empty state list; the states are the named sampler's
            Reference(owner, index, state.Parameter);
            return true;
        case Target::PixelShader:
        case Target::VertexShader: {
            const bool lr_Pixel = state.Kind == Target::PixelShader;
            record.Operation = lr_Pixel ? k_OpPixelShader : k_OpVertexShader;
            record.Type =
                TypeOf(lr_Pixel ? D3DXPT_PIXELSHADER : D3DXPT_VERTEXSHADER, D3DXPC_OBJECT, "", false, "", 0, 0, 0);
            record.Value = PoolWords({NewObject()});
            if (state.Shader >= 0) {
                mr_Resources.push_back({owner.Technique, owner.Index, owner.Element, index, k_UsageBytecode,
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
            if (!Value(lr_Node, k_None, ls_What, lr_Value)) return false;
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
                if (!State(lr_Pass.States[s], {index, static_cast<DWORD>(p), k_None}, static_cast<DWORD>(s), lr_Record))
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

// Reader ---------------------------------------------------------------------

bool IsIdentifier(const std::string& text) {
    if (text.empty() || (text[0] >= '0' && text[0] <= '9')) return false;
    for (char c : text)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}

// The entry point named by the comment the compiler adds, or empty.
std::string EntryName(const std::vector<DWORD>& tokens) {
    size_t i = 1;
    while (i < tokens.size() && (tokens[i] & 0xFFFF) == D3DSIO_COMMENT) {
        const size_t lr_Words = (tokens[i] >> 16) & 0x7FFF;
        if (lr_Words >= 1 && i + 1 + lr_Words <= tokens.size() && std::memcmp(&tokens[i + 1], "FUNC", 4) == 0) {
            const char* lr_Text = reinterpret_cast<const char*>(&tokens[i + 2]);
            const size_t lr_Max = (lr_Words - 1) * 4;
            size_t n = 0;
            while (n < lr_Max && lr_Text[n]) ++n;
            return std::string(lr_Text, n);
        }
        i += 1 + lr_Words;
    }
    return std::string();
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
            if (!IsObjectType(node.Type)) return Fail("'" + node.Name + "' is an object of an unsupported type");
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
        const bool lr_Stage = lr_Operation == k_OpTexture || lr_Operation == k_OpSampler ||
                              (lr_Operation >= k_OpFirstSamplerState && lr_Operation <= k_OpLastSamplerState);
        if (inPass && lr_Stage && lr_Index >= kMaxSamplerStage) return Fail("a state's sampler index is out of range");
        state.Index = inPass ? lr_Index : 0;
        auto lr_Expect = [&](bool ok) {
            return ok || Fail("state " + std::to_string(lr_Operation) + " has a value of the wrong type");
        };
        if (lr_Operation < k_RenderOperationCount ||
            (lr_Operation >= k_OpFirstSamplerState && lr_Operation <= k_OpLastSamplerState)) {
            const bool lr_Render = lr_Operation < k_RenderOperationCount;
            if (lr_Render && !inPass) return Fail("a sampler_state holds a render state");
            state.Kind = lr_Render ? Target::RenderState : Target::SamplerState;
            state.State = lr_Render ? k_RenderOperations[lr_Operation]
                                    : D3DSAMP_ADDRESSU + (lr_Operation - k_OpFirstSamplerState);
            const StateInfo* lr_Info = lr_Render ? RenderStateByValue(state.State) : SamplerStateByValue(state.State);
            if (!lr_Info) return Fail("state " + std::to_string(lr_Operation) + " is not supported");
            state.ValueKind = lr_Info->Values == ValueSet::Float ? StateValueKind::Float : StateValueKind::Dword;
            if (!lr_Expect(IsNumericType(lr_Typed.Type) && lr_Typed.Rows * lr_Typed.Columns == 1)) return false;
            size_t lr_At = lr_Value;
            return Word(lr_At, state.Value);
        }
        size_t lr_At = lr_Value;
        DWORD lr_Id = 0;
        switch (lr_Operation) {
        case k_OpTexture:
            state.Kind = Target::Texture;
            if (!lr_Expect(IsTextureType(lr_Typed.Type))) return false;
            if (!Word(lr_At, lr_Id)) return false;
            return UseObject(lr_Id, -1, 0);
        case k_OpSampler:
            if (!inPass) return Fail("a sampler_state holds a Sampler state");
            state.Kind = Target::Sampler;
            return lr_Expect(IsSamplerType(lr_Typed.Type));
        case k_OpPixelShader:
        case k_OpVertexShader:
            if (!inPass) return Fail("a sampler_state holds a shader");
            state.Kind = lr_Operation == k_OpPixelShader ? Target::PixelShader : Target::VertexShader;
            if (!lr_Expect(lr_Typed.Type ==
                           (lr_Operation == k_OpPixelShader ? D3DXPT_PIXELSHADER : D3DXPT_VERTEXSHADER)))
                return false;
            if (!Word(lr_At, lr_Id)) return false;
            return UseObject(lr_Id, -1, 0);
        default:
            return Fail("state " + std::to_string(lr_Operation) +
                        " (texture stage, transform, light, material, FVF or shader constant) is not supported");
        }
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
        lr_Shader.Entry = EntryName(lr_Shader.Tokens);
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
        if (lr_Technique == k_None) {
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
        if (lr_Usage == k_UsageBytecode) {
            if (!lr_Shader) return Fail("bytecode for a state that is not a shader");
            if (lr_Bytes.empty()) return true;
            const int lr_Index_ = NewShader(std::move(lr_Bytes));
            if (lr_Index_ < 0) return false;
            if (mr_Def.Shaders[static_cast<size_t>(lr_Index_)].Pixel != (lr_Target.Kind == Target::PixelShader))
                return Fail("a shader state holds the other kind of shader");
            lr_Target.Shader = lr_Index_;
            return true;
        }
        if (lr_Usage != k_UsageParameter)
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

bool WriteEffectBinary(const EffectDefinition& definition, std::vector<BYTE>& out, std::string& error) {
    Writer lr_Writer(definition, error);
    return lr_Writer.Run(out);
}

}  // namespace softfx

namespace softfx {

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
