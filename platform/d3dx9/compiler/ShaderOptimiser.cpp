// Passes repeated until none changes anything: copies propagated
// forward, per component, into the instructions that read them; then
// instructions whose results nobody reads removed, backward, per component;
// then the moves that assemble one vector from one register merged; then
// the peephole rewrites, each folding a move or an add into its neighbour,
// mul and add into mad among them.
// Every rewrite keeps the stream valid for its profile: swizzles the model
// takes, the read ports of each register type, texture coordinates as the
// texture instructions want them.
#include "compiler/ShaderOptimiser.h"

#include <soft/SoftShaderOpcodes.h>

#include <algorithm>
#include <array>

namespace softfx {
namespace {

constexpr int k_Components = 4;
constexpr DWORD k_AllSlots = 0xF;
constexpr DWORD k_SlotsXY = 0x3;
constexpr DWORD k_SlotsXYZ = 0x7;
constexpr DWORD k_SlotW = 0x8;
constexpr DWORD k_MaxTemporaries = 32;
constexpr DWORD k_MaxSamplers = 16;
// Each round shortens the stream or stops; bounded all the same.
constexpr int k_MaxRounds = 32;
constexpr DWORD k_Identity = 0xE4;   // .xyzw
constexpr DWORD k_Replicate = 0x55;  // .xxxx; times a component, that component in every slot
// The permutations pixel models without arbitrary swizzles take besides .xyzw and replicates.
constexpr DWORD k_FixedPermutations[] = {0xC9 /* .yzxw */, 0xD2 /* .zxyw */, 0x1B /* .wzyx */};
// Registers a matrix instruction's second source names: it and the rows after it.
constexpr DWORD k_MatrixRows = 4;

// Distinct registers of one type an instruction may read (its read ports).
struct ReadPorts {
    DWORD Type;
    int Pixel;
    int Vertex;
};
constexpr ReadPorts k_ReadPorts[] = {
    {D3DSPR_TEMP, 3, 3},
    {D3DSPR_CONST, 2, 1},
    {D3DSPR_INPUT, 1, 1},
    {D3DSPR_TEXTURE, 1, 0},  // a0 in vertex shaders, never propagated there
};

DWORD Type(DWORD token) { return SoftRegisterType(token); }
DWORD Number(DWORD token) { return token & D3DSP_REGNUM_MASK; }
DWORD Mask(DWORD token) { return (token & D3DSP_WRITEMASK_ALL) >> 16; }
DWORD Swizzle(DWORD token) { return (token & D3DVS_SWIZZLE_MASK) >> D3DSP_SWIZZLE_SHIFT; }
DWORD Slot(DWORD swizzle, int slot) { return (swizzle >> (2 * slot)) & 3; }
DWORD Modifier(DWORD token) { return token & D3DSP_SRCMOD_MASK; }
bool Has(DWORD mask, int component) { return (mask >> component) & 1; }
DWORD Opcode(DWORD token) { return token & D3DSI_OPCODE_MASK; }

DWORD Source(DWORD token, DWORD type, DWORD number, DWORD swizzle, bool negated) {
    const DWORD lr_Kept = token & ~(D3DSP_REGTYPE_MASK | D3DSP_REGTYPE_MASK2 | D3DSP_REGNUM_MASK | D3DVS_SWIZZLE_MASK |
                                    D3DSP_SRCMOD_MASK);
    return lr_Kept | ((type << D3DSP_REGTYPE_SHIFT) & D3DSP_REGTYPE_MASK) |
           ((type << D3DSP_REGTYPE_SHIFT2) & D3DSP_REGTYPE_MASK2) | number | (swizzle << D3DSP_SWIZZLE_SHIFT) |
           (negated ? D3DSPSM_NEG : D3DSPSM_NONE);
}

struct Instruction {
    DWORD Token = 0;  // the opcode token
    const SoftOpcodeInfo* Row_ = nullptr;
    bool Writes = false;  // texkill's register token is read, not written
    DWORD Dest = 0;
    std::array<DWORD, 4> Sources{};
    int SourceCount = 0;
    bool Removed = false;
};

// An instruction, or tokens written back as they came (comments, declarations, definitions).
struct Item {
    bool Kept = false;
    size_t First = 0;
    size_t Count = 0;
    Instruction In;
};

struct Shader {
    DWORD Version = 0;
    bool Pixel = false;
    bool Model3 = false;
    bool ArbitrarySwizzle = false;
    // Coordinate slots each sampler's texture reads, by its declared type.
    std::array<DWORD, k_MaxSamplers> SamplerSlots{};
    std::vector<Item> Items;
};

// Where a temporary's component came from: a component of another register, maybe negated.
struct Origin {
    bool Known = false;
    DWORD Type = 0;
    DWORD Number = 0;
    DWORD Component = 0;
    bool Negated = false;
};
using Origins = std::array<std::array<Origin, k_Components>, k_MaxTemporaries>;

bool IsMatrix(DWORD opcode) {
    return opcode == D3DSIO_M4x4 || opcode == D3DSIO_M4x3 || opcode == D3DSIO_M3x4 || opcode == D3DSIO_M3x3 ||
           opcode == D3DSIO_M3x2;
}

void NoteDeclaration(const DWORD* params, Shader& shader) {
    if (Type(params[1]) != D3DSPR_SAMPLER || Number(params[1]) >= k_MaxSamplers) return;
    const DWORD lr_Texture = params[0] & D3DSP_TEXTURETYPE_MASK;
    DWORD& lr_Slots = shader.SamplerSlots[Number(params[1])];
    if (lr_Texture == D3DSTT_2D)
        lr_Slots = k_SlotsXY;
    else if (lr_Texture == D3DSTT_CUBE || lr_Texture == D3DSTT_VOLUME)
        lr_Slots = k_SlotsXYZ;
}

bool Parse(const std::vector<DWORD>& tokens, const std::string& profile, Shader& shader) {
    if (tokens.size() < 2) return false;
    shader.Version = tokens[0];
    const DWORD lr_Kind = shader.Version >> 16;
    const DWORD lr_Major = D3DSHADER_VERSION_MAJOR(shader.Version);
    if ((lr_Kind != 0xFFFF && lr_Kind != 0xFFFE) || lr_Major < 2 || lr_Major > 3) return false;
    shader.Pixel = lr_Kind == 0xFFFF;
    shader.Model3 = lr_Major == 3;
    // Vertex shaders take any swizzle; pixel shaders from ps_2_a on.
    shader.ArbitrarySwizzle = !shader.Pixel || shader.Model3 || profile == "ps_2_a" || profile == "ps_2_sw";
    shader.SamplerSlots.fill(k_AllSlots);
    for (size_t i = 1;;) {
        if (i >= tokens.size()) return false;
        const DWORD lr_Token = tokens[i];
        const DWORD lr_Opcode = Opcode(lr_Token);
        if (lr_Opcode == D3DSIO_END) return i + 1 == tokens.size();
        Item lr_Item;
        lr_Item.First = i;
        if (lr_Opcode == D3DSIO_COMMENT) {
            const size_t lr_Words = (lr_Token & D3DSI_COMMENTSIZE_MASK) >> D3DSI_COMMENTSIZE_SHIFT;
            if (lr_Words > tokens.size() - i - 1) return false;
            lr_Item.Kept = true;
            lr_Item.Count = 1 + lr_Words;
            shader.Items.push_back(lr_Item);
            i += lr_Item.Count;
            continue;
        }
        // Predication, co-issue and unknown bits: not straight-line code this pass reads.
        if (lr_Token & ~(D3DSI_OPCODE_MASK | D3DSP_OPCODESPECIFICCONTROL_MASK | D3DSI_INSTLENGTH_MASK)) return false;
        const SoftOpcodeInfo* lr_Row_ = SoftFindOpcode(shader.Version, lr_Opcode);
        if (!lr_Row_ || (lr_Row_->Flags & k_SoftOpFlow) || lr_Opcode == D3DSIO_SETP) return false;
        // Model 2's sgn overwrites its two scratch sources.
        if (lr_Opcode == D3DSIO_SGN && lr_Row_->Sources != 1) return false;
        if ((lr_Token & D3DSP_OPCODESPECIFICCONTROL_MASK) && !(lr_Row_->Flags & k_SoftOpControl)) return false;
        const size_t lr_Length = (lr_Token & D3DSI_INSTLENGTH_MASK) >> D3DSI_INSTLENGTH_SHIFT;
        if (lr_Length != size_t(lr_Row_->Dests) + lr_Row_->Sources + lr_Row_->Values ||
            lr_Length > tokens.size() - i - 1)
            return false;
        const DWORD* lr_Params = tokens.data() + i + 1;
        lr_Item.Count = 1 + lr_Length;
        i += lr_Item.Count;
        if (lr_Row_->Flags & k_SoftOpFree) {
            if (lr_Opcode == D3DSIO_DCL && lr_Length == 2) NoteDeclaration(lr_Params, shader);
            lr_Item.Kept = true;
            shader.Items.push_back(lr_Item);
            continue;
        }
        if (lr_Row_->Values != 0 || lr_Row_->Sources > 4) return false;
        for (size_t p = 0; p < lr_Length; ++p) {
            if (lr_Params[p] & D3DSHADER_ADDRESSMODE_MASK) return false;
            if (Type(lr_Params[p]) == D3DSPR_TEMP && Number(lr_Params[p]) >= k_MaxTemporaries) return false;
        }
        Instruction& in = lr_Item.In;
        in.Token = lr_Token;
        in.Row_ = lr_Row_;
        in.Writes = lr_Row_->Dests > 0 && lr_Opcode != D3DSIO_TEXKILL;
        if (lr_Row_->Dests > 0) in.Dest = lr_Params[0];
        in.SourceCount = lr_Row_->Sources;
        for (int s = 0; s < in.SourceCount; ++s) in.Sources[s] = lr_Params[lr_Row_->Dests + s];
        shader.Items.push_back(lr_Item);
    }
}

// The swizzle slots of source `source` whose values the instruction uses.
// Slots not named here may be given any component.
DWORD ReadSlots(const Shader& shader, const Instruction& in, int source) {
    switch (Opcode(in.Token)) {
    case D3DSIO_DP3: return k_SlotsXYZ;
    case D3DSIO_DP4: return k_AllSlots;
    case D3DSIO_DP2ADD: return source < 2 ? k_SlotsXY : k_AllSlots;  // the third is a replicated scalar
    case D3DSIO_TEX: {
        if (source != 0) return k_AllSlots;
        const DWORD lr_Sampler = Number(in.Sources[1]);
        DWORD lr_Slots = lr_Sampler < k_MaxSamplers ? shader.SamplerSlots[lr_Sampler] : k_AllSlots;
        // A projected or biased read takes w as well.
        if (in.Token & (D3DSI_TEXLD_PROJECT | D3DSI_TEXLD_BIAS)) lr_Slots |= k_SlotW;
        return lr_Slots;
    }
    default: break;
    }
    if (in.Row_->Flags & (k_SoftOpReadsAll | k_SoftOpScalar)) return k_AllSlots;
    // Component-wise: each written component reads its own slot.
    return in.Writes ? Mask(in.Dest) : k_AllSlots;
}

// Sources whose register or swizzle may change.
bool MayRewrite(const Instruction& in, int source) {
    const DWORD lr_Opcode = Opcode(in.Token);
    if (IsMatrix(lr_Opcode)) return false;         // no swizzles there; the second names a run of registers
    if (lr_Opcode == D3DSIO_SINCOS) return false;  // its series constants are fixed registers
    if (in.Row_->Flags & k_SoftOpTexture) return lr_Opcode == D3DSIO_TEX && source == 0;
    return true;
}

bool MayHoldCopies(const Shader& shader, DWORD type) {
    switch (type) {
    case D3DSPR_TEMP:
    case D3DSPR_INPUT:
    case D3DSPR_CONST: return true;
    case D3DSPR_TEXTURE: return shader.Pixel && !shader.Model3;  // a0 in vertex shaders
    default: return false;
    }
}

// A texture instruction's coordinate: a temporary or an interpolated register.
bool MayBeCoordinate(const Shader& shader, DWORD type) {
    return type == D3DSPR_TEMP || type == (shader.Model3 ? DWORD(D3DSPR_INPUT) : DWORD(D3DSPR_TEXTURE));
}

// A swizzle giving each read slot its wanted component that the model
// takes (.xyzw only, when `identity`); the other slots are free. False when
// there is none.
bool ChooseSwizzle(const Shader& shader, DWORD read, const DWORD (&wanted)[k_Components], bool identity,
                   DWORD& swizzle) {
    auto lr_Fits = [&](DWORD candidate) {
        for (int c = 0; c < k_Components; ++c)
            if (Has(read, c) && Slot(candidate, c) != wanted[c]) return false;
        swizzle = candidate;
        return true;
    };
    if (read == 0) return false;
    if (lr_Fits(k_Identity)) return true;
    if (identity) return false;
    int lr_First = 0;
    while (!Has(read, lr_First)) ++lr_First;
    if (lr_Fits(wanted[lr_First] * k_Replicate)) return true;
    if (shader.ArbitrarySwizzle) {
        // Unread slots repeat the slot before them, as an assembler writes a short swizzle.
        DWORD lr_Swizzle = 0, lr_Last = wanted[lr_First];
        for (int c = 0; c < k_Components; ++c) {
            if (Has(read, c)) lr_Last = wanted[c];
            lr_Swizzle |= lr_Last << (2 * c);
        }
        return lr_Fits(lr_Swizzle);
    }
    for (DWORD lr_Permutation : k_FixedPermutations)
        if (lr_Fits(lr_Permutation)) return true;
    return false;
}

int Distinct(const Instruction& in, DWORD type) {
    DWORD lr_Seen[4];
    int lr_Count = 0;
    for (int s = 0; s < in.SourceCount; ++s) {
        if (Type(in.Sources[s]) != type) continue;
        const DWORD n = Number(in.Sources[s]);
        if (std::find(lr_Seen, lr_Seen + lr_Count, n) == lr_Seen + lr_Count) lr_Seen[lr_Count++] = n;
    }
    return lr_Count;
}

// No more distinct registers of a type than the model's read ports, or than
// the instruction read before.
bool WithinReadPorts(const Shader& shader, const Instruction& before, const Instruction& after) {
    for (const ReadPorts& p : k_ReadPorts) {
        const int lr_Limit = shader.Pixel ? p.Pixel : p.Vertex;
        if (Distinct(after, p.Type) > std::max(lr_Limit, Distinct(before, p.Type))) return false;
    }
    return true;
}

// Where the read slots of a source come from, one level of copies further
// back than `level`; false when a slot's component was not copied.
bool Earlier(const Origins& origins, DWORD read, std::array<Origin, k_Components>& level) {
    for (int c = 0; c < k_Components; ++c) {
        if (!Has(read, c)) continue;
        if (level[c].Type != D3DSPR_TEMP) return false;
        const Origin& o = origins[level[c].Number][level[c].Component];
        if (!o.Known) return false;
        level[c] = Origin{true, o.Type, o.Number, o.Component, o.Negated != level[c].Negated};
    }
    return true;
}

// Whether the read slots of a level all name one register, negated alike.
bool OneRegister(DWORD read, const std::array<Origin, k_Components>& level) {
    const Origin* lr_First_ = nullptr;
    for (int c = 0; c < k_Components; ++c) {
        if (!Has(read, c)) continue;
        const Origin& o = level[c];
        if (lr_First_ &&
            (o.Type != lr_First_->Type || o.Number != lr_First_->Number || o.Negated != lr_First_->Negated))
            return false;
        lr_First_ = &o;
    }
    return lr_First_ != nullptr;
}

// Source `source` rewritten to read, of the registers its components were
// copied from, the earliest one they all share; false when there is none
// the instruction may read.
bool Propagated(const Shader& shader, const Instruction& in, int source, const Origins& origins, DWORD& token) {
    const DWORD lr_Source = in.Sources[source];
    const DWORD lr_Modifier = Modifier(lr_Source);
    if (Type(lr_Source) != D3DSPR_TEMP || (lr_Modifier != D3DSPSM_NONE && lr_Modifier != D3DSPSM_NEG)) return false;
    const DWORD lr_Read = ReadSlots(shader, in, source);
    const bool lr_Coordinate = (in.Row_->Flags & k_SoftOpTexture) != 0;
    // Macros (crs, nrm, lrp, pow...) read no source that is their destination,
    // and crs takes only .xyzw: a macro's source stays off its destination, and .xyzw stays.
    const bool lr_Macro = in.Row_->Slots > 1;
    const bool lr_KeepIdentity = lr_Coordinate || (lr_Macro && Swizzle(lr_Source) == k_Identity);
    std::array<Origin, k_Components> lr_Level;
    for (int c = 0; c < k_Components; ++c)
        lr_Level[c] =
            Origin{true, D3DSPR_TEMP, Number(lr_Source), Slot(Swizzle(lr_Source), c), lr_Modifier == D3DSPSM_NEG};
    // Copies of copies: each level is older; the deepest shared one the instruction may read wins.
    std::vector<std::array<Origin, k_Components>> lr_Shared;
    for (DWORD d = 0; d < k_MaxTemporaries * k_Components && Earlier(origins, lr_Read, lr_Level); ++d)
        if (OneRegister(lr_Read, lr_Level)) lr_Shared.push_back(lr_Level);
    for (auto it = lr_Shared.rbegin(); it != lr_Shared.rend(); ++it) {
        const Origin* lr_From_ = nullptr;
        DWORD lr_Wanted[k_Components] = {};
        for (int c = 0; c < k_Components; ++c) {
            if (!Has(lr_Read, c)) continue;
            lr_From_ = &(*it)[c];
            lr_Wanted[c] = (*it)[c].Component;
        }
        if (lr_Coordinate && (lr_From_->Negated || !MayBeCoordinate(shader, lr_From_->Type))) continue;
        if (lr_Macro && lr_From_->Type == Type(in.Dest) && lr_From_->Number == Number(in.Dest)) continue;
        DWORD lr_Swizzle = 0;
        if (!ChooseSwizzle(shader, lr_Read, lr_Wanted, lr_KeepIdentity, lr_Swizzle)) continue;
        token = Source(lr_Source, lr_From_->Type, lr_From_->Number, lr_Swizzle, lr_From_->Negated);
        return token != lr_Source;
    }
    return false;
}

// A move whose result is its source's components as they are, or negated.
bool IsCopy(const Shader& shader, const Instruction& in) {
    const DWORD lr_Modifier = Modifier(in.Sources[0]);
    return Opcode(in.Token) == D3DSIO_MOV && Type(in.Dest) == D3DSPR_TEMP &&
           (in.Dest & (D3DSP_DSTMOD_MASK | D3DSP_DSTSHIFT_MASK)) == 0 &&
           (lr_Modifier == D3DSPSM_NONE || lr_Modifier == D3DSPSM_NEG) && MayHoldCopies(shader, Type(in.Sources[0]));
}

// Records what `in` copies. A record whose source component `in`
// overwrites points further back instead, where that component came from,
// or is forgotten.
void Record(const Shader& shader, const Instruction& in, Origins& origins) {
    if (!in.Writes || Type(in.Dest) != D3DSPR_TEMP) return;
    const DWORD lr_Register = Number(in.Dest);
    const DWORD lr_Mask = Mask(in.Dest);
    auto lr_Overwritten = [&](const Origin& o) {
        return o.Known && o.Type == D3DSPR_TEMP && o.Number == lr_Register &&
               Has(lr_Mask, static_cast<int>(o.Component));
    };
    std::array<Origin, k_Components> lr_Fresh{};
    if (IsCopy(shader, in)) {
        const DWORD lr_Source = in.Sources[0];
        for (int c = 0; c < k_Components; ++c) {
            if (!Has(lr_Mask, c)) continue;
            lr_Fresh[c] = Origin{true, Type(lr_Source), Number(lr_Source), Slot(Swizzle(lr_Source), c),
                                 Modifier(lr_Source) == D3DSPSM_NEG};
        }
    }
    const Origins lr_Old = origins;
    for (auto& lr_Components : origins)
        for (Origin& o : lr_Components) {
            if (!lr_Overwritten(o)) continue;
            const Origin& lr_Back = lr_Old[o.Number][o.Component];
            o = lr_Overwritten(lr_Back) ? Origin{}
                                        : Origin{lr_Back.Known, lr_Back.Type, lr_Back.Number, lr_Back.Component,
                                                 lr_Back.Negated != o.Negated};
        }
    for (int c = 0; c < k_Components; ++c) {
        if (!Has(lr_Mask, c)) continue;
        Origin& o = lr_Fresh[c];
        if (lr_Overwritten(o)) {
            const Origin& lr_Back = lr_Old[o.Number][o.Component];
            o = lr_Overwritten(lr_Back) ? Origin{}
                                        : Origin{lr_Back.Known, lr_Back.Type, lr_Back.Number, lr_Back.Component,
                                                 lr_Back.Negated != o.Negated};
        }
        origins[lr_Register][c] = o;
    }
}

bool PropagateCopies(Shader& shader) {
    Origins lr_Origins{};
    bool lr_Changed = false;
    for (Item& lr_Item : shader.Items) {
        if (lr_Item.Kept || lr_Item.In.Removed) continue;
        Instruction& in = lr_Item.In;
        const Instruction lr_Before = in;
        for (int s = 0; s < in.SourceCount; ++s) {
            DWORD lr_Token = 0;
            if (!MayRewrite(in, s) || !Propagated(shader, in, s, lr_Origins, lr_Token)) continue;
            in.Sources[s] = lr_Token;
            if (WithinReadPorts(shader, lr_Before, in))
                lr_Changed = true;
            else
                in.Sources[s] = lr_Before.Sources[s];
        }
        Record(shader, in, lr_Origins);
    }
    return lr_Changed;
}

using Liveness = std::array<std::array<bool, k_Components>, k_MaxTemporaries>;

void MarkReads(const Shader& shader, const Instruction& in, Liveness& live) {
    const DWORD lr_Opcode = Opcode(in.Token);
    if (lr_Opcode == D3DSIO_TEXKILL && Type(in.Dest) == D3DSPR_TEMP) live[Number(in.Dest)].fill(true);
    for (int s = 0; s < in.SourceCount; ++s) {
        const DWORD lr_Source = in.Sources[s];
        if (Type(lr_Source) != D3DSPR_TEMP) continue;
        if (IsMatrix(lr_Opcode) && s == 1) {
            for (DWORD r = Number(lr_Source); r < std::min(Number(lr_Source) + k_MatrixRows, k_MaxTemporaries); ++r)
                live[r].fill(true);
            continue;
        }
        const DWORD lr_Read = ReadSlots(shader, in, s);
        for (int c = 0; c < k_Components; ++c)
            if (Has(lr_Read, c)) live[Number(lr_Source)][Slot(Swizzle(lr_Source), c)] = true;
    }
}

// mov rN.mask, rN with each written component reading itself.
bool IsSelfMove(const Instruction& in) {
    if (Opcode(in.Token) != D3DSIO_MOV || Type(in.Dest) != D3DSPR_TEMP ||
        (in.Dest & (D3DSP_DSTMOD_MASK | D3DSP_DSTSHIFT_MASK)) != 0)
        return false;
    const DWORD lr_Source = in.Sources[0];
    if (Type(lr_Source) != D3DSPR_TEMP || Number(lr_Source) != Number(in.Dest) || Modifier(lr_Source) != D3DSPSM_NONE)
        return false;
    for (int c = 0; c < k_Components; ++c)
        if (Has(Mask(in.Dest), c) && Slot(Swizzle(lr_Source), c) != DWORD(c)) return false;
    return true;
}

// Removes instructions that write only temporaries' components nobody reads
// later, and moves of a register onto itself. Outputs and texkill stay.
bool RemoveDeadCode(Shader& shader) {
    Liveness lr_Live{};
    bool lr_Changed = false;
    for (auto it = shader.Items.rbegin(); it != shader.Items.rend(); ++it) {
        if (it->Kept || it->In.Removed) continue;
        Instruction& in = it->In;
        if (in.Writes && Type(in.Dest) == D3DSPR_TEMP) {
            const DWORD lr_Register = Number(in.Dest);
            bool lr_Used = false;
            for (int c = 0; c < k_Components; ++c)
                if (Has(Mask(in.Dest), c) && lr_Live[lr_Register][c]) lr_Used = true;
            if (!lr_Used || IsSelfMove(in)) {
                in.Removed = true;
                lr_Changed = true;
                continue;
            }
            for (int c = 0; c < k_Components; ++c)
                if (Has(Mask(in.Dest), c)) lr_Live[lr_Register][c] = false;
        }
        MarkReads(shader, in, lr_Live);
    }
    return lr_Changed;
}

// Two moves in a row into parts of one temporary from one register, as the
// compiler assembles a vector component by component, become one move.
bool MergeMoves(Shader& shader) {
    bool lr_Changed = false;
    Instruction* lr_Previous_ = nullptr;
    for (Item& lr_Item : shader.Items) {
        if (lr_Item.Kept || lr_Item.In.Removed) continue;
        Instruction& in = lr_Item.In;
        Instruction* lr_First_ = lr_Previous_;
        lr_Previous_ = &in;
        if (!lr_First_ || Opcode(in.Token) != D3DSIO_MOV || lr_First_->Token != in.Token) continue;
        const DWORD lr_Dest = in.Dest, lr_Source = in.Sources[0];
        const DWORD lr_FirstDest = lr_First_->Dest, lr_FirstSource = lr_First_->Sources[0];
        // Alike but for the mask and the swizzle; the source is not what the first move writes.
        if (Type(lr_Dest) != D3DSPR_TEMP || (lr_Dest & ~D3DSP_WRITEMASK_ALL) != (lr_FirstDest & ~D3DSP_WRITEMASK_ALL) ||
            (lr_Source & ~D3DVS_SWIZZLE_MASK) != (lr_FirstSource & ~D3DVS_SWIZZLE_MASK) ||
            (Mask(lr_Dest) & Mask(lr_FirstDest)) != 0 ||
            (Type(lr_Source) == D3DSPR_TEMP && Number(lr_Source) == Number(lr_Dest)))
            continue;
        DWORD lr_Wanted[k_Components] = {};
        for (int c = 0; c < k_Components; ++c)
            lr_Wanted[c] = Slot(Swizzle(Has(Mask(lr_Dest), c) ? lr_Source : lr_FirstSource), c);
        const DWORD lr_Mask = Mask(lr_Dest) | Mask(lr_FirstDest);
        DWORD lr_Swizzle = 0;
        if (!ChooseSwizzle(shader, lr_Mask, lr_Wanted, false, lr_Swizzle)) continue;
        lr_First_->Dest = (lr_Dest & ~D3DSP_WRITEMASK_ALL) | (lr_Mask << 16);
        lr_First_->Sources[0] = (lr_Source & ~D3DVS_SWIZZLE_MASK) | (lr_Swizzle << D3DSP_SWIZZLE_SHIFT);
        in.Removed = true;
        lr_Previous_ = lr_First_;
        lr_Changed = true;
    }
    return lr_Changed;
}

// The peephole rewrites: an instruction folded into the one that feeds it or
// reads it. Each rewrite keeps every value bit for bit on the device (one
// exception, the dp2add bias: see there) and its stream valid for the model.

// The instruction after item `index`, or the number of items.
size_t NextInstruction(const Shader& shader, size_t index) {
    for (++index; index < shader.Items.size(); ++index)
        if (!shader.Items[index].Kept && !shader.Items[index].In.Removed) return index;
    return index;
}

// The components of temporary `reg` that `in` reads.
DWORD TempReads(const Shader& shader, const Instruction& in, DWORD reg) {
    Liveness lr_Live{};
    MarkReads(shader, in, lr_Live);
    DWORD lr_Mask = 0;
    for (int c = 0; c < k_Components; ++c)
        if (lr_Live[reg][c]) lr_Mask |= 1u << c;
    return lr_Mask;
}

DWORD TempWrites(const Instruction& in, DWORD reg) {
    return in.Writes && Type(in.Dest) == D3DSPR_TEMP && Number(in.Dest) == reg ? Mask(in.Dest) : 0;
}

// Whether components `mask` of temporary `reg` are read after item `index`
// before they are all written again.
bool ReadAfter(const Shader& shader, size_t index, DWORD reg, DWORD mask) {
    for (size_t i = NextInstruction(shader, index); i < shader.Items.size() && mask; i = NextInstruction(shader, i)) {
        const Instruction& in = shader.Items[i].In;
        if (TempReads(shader, in, reg) & mask) return true;
        mask &= ~TempWrites(in, reg);
    }
    return false;
}

// The components of `source`'s register that the slots `slots` name.
DWORD Named(DWORD source, DWORD slots) {
    DWORD lr_Mask = 0;
    for (int c = 0; c < k_Components; ++c)
        if (Has(slots, c)) lr_Mask |= 1u << Slot(Swizzle(source), c);
    return lr_Mask;
}

// Readers of item `move`'s result (mov t.m, x or -x) rewritten to read x or -x,
// until t.m is written again; false, with nothing changed, when one of them
// cannot take it.
bool FoldNegation(Shader& shader, size_t move) {
    const Instruction& lr_Move = shader.Items[move].In;
    const DWORD lr_Register = Number(lr_Move.Dest), lr_From = lr_Move.Sources[0];
    const bool lr_Negates = Modifier(lr_From) == D3DSPSM_NEG;
    DWORD lr_Live = Mask(lr_Move.Dest);  // components of t that still hold the move's value
    std::vector<std::pair<size_t, Instruction>> lr_Rewritten;
    for (size_t j = NextInstruction(shader, move); j < shader.Items.size() && lr_Live; j = NextInstruction(shader, j)) {
        const Instruction& in = shader.Items[j].In;
        Instruction lr_New = in;
        // texkill and a matrix's rows read whole registers, without a modifier.
        if (Opcode(in.Token) == D3DSIO_TEXKILL && (TempReads(shader, in, lr_Register) & lr_Live)) return false;
        for (int s = 0; s < in.SourceCount; ++s) {
            const DWORD lr_Source = in.Sources[s];
            if (IsMatrix(Opcode(in.Token)) && s == 1) {
                if (TempReads(shader, in, lr_Register) & lr_Live) return false;
                continue;
            }
            if (Type(lr_Source) != D3DSPR_TEMP || Number(lr_Source) != lr_Register) continue;
            const DWORD lr_Read = ReadSlots(shader, in, s);
            DWORD lr_Ours = 0, lr_Wanted[k_Components] = {};
            for (int c = 0; c < k_Components; ++c) {
                if (!Has(lr_Read, c) || !Has(lr_Live, static_cast<int>(Slot(Swizzle(lr_Source), c)))) continue;
                lr_Ours |= 1u << c;
                lr_Wanted[c] = Slot(Swizzle(lr_From), static_cast<int>(Slot(Swizzle(lr_Source), c)));
            }
            if (lr_Ours == 0) continue;
            // One modifier for the whole source: every slot it reads must hold the move's value.
            const DWORD lr_Modifier = Modifier(lr_Source);
            if (lr_Ours != lr_Read || (lr_Modifier != D3DSPSM_NONE && lr_Modifier != D3DSPSM_NEG)) return false;
            // Texture coordinates take no modifier; a macro never reads its destination.
            if (!MayRewrite(in, s) || (in.Row_->Flags & k_SoftOpTexture)) return false;
            const bool lr_Macro = in.Row_->Slots > 1;
            if (lr_Macro && Type(lr_From) == Type(in.Dest) && Number(lr_From) == Number(in.Dest)) return false;
            DWORD lr_Swizzle = 0;
            if (!ChooseSwizzle(shader, lr_Read, lr_Wanted, lr_Macro && Swizzle(lr_Source) == k_Identity, lr_Swizzle))
                return false;
            lr_New.Sources[s] = Source(lr_Source, Type(lr_From), Number(lr_From), lr_Swizzle,
                                       (lr_Modifier == D3DSPSM_NEG) != lr_Negates);
        }
        if (!std::equal(in.Sources.begin(), in.Sources.end(), lr_New.Sources.begin())) {
            if (!WithinReadPorts(shader, in, lr_New)) return false;
            lr_Rewritten.emplace_back(j, lr_New);
        }
        lr_Live &= ~TempWrites(in, lr_Register);
        // The readers still to come need x as it was.
        if (Type(lr_From) == D3DSPR_TEMP && (TempWrites(in, Number(lr_From)) & Named(lr_From, lr_Live))) return false;
    }
    for (const auto& r : lr_Rewritten) shader.Items[r.first].In = r.second;
    return true;
}

// mov t.m, -x: whoever reads t.m reads -x instead, a negation it already has
// cancelling, and the move goes. So too a plain move within one register
// (mov r0.xyz, r0.x), which copy propagation cannot follow, as it overwrites
// its own source; it leaves the negating one in place as well (mov r0.x, -r0.x).
bool FoldNegations(Shader& shader) {
    bool lr_Changed = false;
    for (size_t i = 0; i < shader.Items.size(); ++i) {
        Instruction& in = shader.Items[i].In;
        if (shader.Items[i].Kept || in.Removed || !IsCopy(shader, in)) continue;
        const DWORD lr_Source = in.Sources[0];
        const bool lr_InPlace = Type(lr_Source) == D3DSPR_TEMP && Number(lr_Source) == Number(in.Dest);
        if (Modifier(lr_Source) != D3DSPSM_NEG && !lr_InPlace) continue;
        if (!FoldNegation(shader, i)) continue;
        in.Removed = true;
        lr_Changed = true;
    }
    return lr_Changed;
}

// Opcodes whose result is one value in every component: only the mask says where it goes.
bool Replicates(DWORD opcode) {
    switch (opcode) {
    case D3DSIO_RCP:
    case D3DSIO_RSQ:
    case D3DSIO_EXP:
    case D3DSIO_LOG:
    case D3DSIO_DP3:
    case D3DSIO_DP4:
    case D3DSIO_DP2ADD: return true;
    default: return false;
    }
}

// Opcodes whose result component c comes from slot c of each source alone.
bool ComponentWise(DWORD opcode) {
    switch (opcode) {
    case D3DSIO_MOV:
    case D3DSIO_ADD:
    case D3DSIO_SUB:
    case D3DSIO_MAD:
    case D3DSIO_MUL:
    case D3DSIO_MIN:
    case D3DSIO_MAX:
    case D3DSIO_SLT:
    case D3DSIO_SGE:
    case D3DSIO_FRC:
    case D3DSIO_ABS:
    case D3DSIO_CMP:
    case D3DSIO_SGN:
    case D3DSIO_DSX:
    case D3DSIO_DSY: return true;
    default: return false;
    }
}

// Item `move`, mov[_sat] d.m, t.swz into a temporary, folded into the
// instruction that computed t when nothing else reads what it wrote there:
// that instruction writes d.m itself, saturating when the move did. Its
// per-component sources follow the move's swizzle. False, with nothing
// changed, when the model or the registers between forbid it.
bool ForwardResult(Shader& shader, size_t move) {
    Instruction& lr_Move = shader.Items[move].In;
    const DWORD lr_Dest = lr_Move.Dest, lr_From = lr_Move.Sources[0];
    if (Opcode(lr_Move.Token) != D3DSIO_MOV || Type(lr_Dest) != D3DSPR_TEMP || (lr_Dest & D3DSP_DSTSHIFT_MASK) ||
        Type(lr_From) != D3DSPR_TEMP || Modifier(lr_From) != D3DSPSM_NONE)
        return false;
    const DWORD lr_Target = Number(lr_Dest), lr_Mask = Mask(lr_Dest), lr_Temp = Number(lr_From);
    const DWORD lr_Read = Named(lr_From, lr_Mask);
    size_t p = move;
    for (;;) {
        if (p == 0) return false;
        --p;
        const Item& lr_Item = shader.Items[p];
        if (!lr_Item.Kept && !lr_Item.In.Removed && (TempWrites(lr_Item.In, lr_Temp) & lr_Read)) break;
    }
    Instruction& lr_Op = shader.Items[p].In;
    const DWORD lr_Opcode = Opcode(lr_Op.Token);
    const bool lr_Replicates = Replicates(lr_Opcode);
    if ((Mask(lr_Op.Dest) & lr_Read) != lr_Read || (!lr_Replicates && !ComponentWise(lr_Opcode)) ||
        (lr_Op.Dest & D3DSP_DSTSHIFT_MASK) || ((lr_Op.Dest ^ lr_Dest) & D3DSP_DSTMOD_MASK & ~D3DSPDM_SATURATE))
        return false;
    // Between the two nothing reads what the instruction wrote into t, nor reads or writes d.m.
    DWORD lr_Pending = Mask(lr_Op.Dest);
    for (size_t i = NextInstruction(shader, p); i < move; i = NextInstruction(shader, i)) {
        const Instruction& in = shader.Items[i].In;
        if ((TempReads(shader, in, lr_Temp) & lr_Pending) ||
            ((TempReads(shader, in, lr_Target) | TempWrites(in, lr_Target)) & lr_Mask))
            return false;
        lr_Pending &= ~TempWrites(in, lr_Temp);
    }
    // Nor after the move, but for what the move itself wrote there.
    if (lr_Target == lr_Temp) lr_Pending &= ~lr_Mask;
    if (ReadAfter(shader, move, lr_Temp, lr_Pending)) return false;
    Instruction lr_New = lr_Op;
    if (!lr_Replicates) {
        for (int s = 0; s < lr_New.SourceCount; ++s) {
            DWORD lr_Wanted[k_Components] = {}, lr_Swizzle = 0;
            for (int c = 0; c < k_Components; ++c)
                if (Has(lr_Mask, c))
                    lr_Wanted[c] = Slot(Swizzle(lr_Op.Sources[s]), static_cast<int>(Slot(Swizzle(lr_From), c)));
            if (!ChooseSwizzle(shader, lr_Mask, lr_Wanted, false, lr_Swizzle)) return false;
            lr_New.Sources[s] = (lr_Op.Sources[s] & ~D3DVS_SWIZZLE_MASK) | (lr_Swizzle << D3DSP_SWIZZLE_SHIFT);
        }
    }
    lr_New.Dest = lr_Dest | (lr_Op.Dest & D3DSP_DSTMOD_MASK);
    lr_Op = lr_New;
    lr_Move.Removed = true;
    return true;
}

// op t.m, ...; mov[_sat] d.n, t.swz: the instruction writes d.n itself,
// saturating when the move did, as when the compiler computes a dot product
// or a reciprocal into a scratch register and moves it into a vector's
// component. `saturating` picks the moves that saturate or those that do
// not. Outputs stay written by moves, as model 2 wants them.
bool ForwardMoves(Shader& shader, bool saturating) {
    bool lr_Changed = false;
    for (size_t i = 0; i < shader.Items.size(); ++i) {
        const Item& lr_Item = shader.Items[i];
        if (!lr_Item.Kept && !lr_Item.In.Removed && ((lr_Item.In.Dest & D3DSPDM_SATURATE) != 0) == saturating &&
            ForwardResult(shader, i))
            lr_Changed = true;
    }
    return lr_Changed;
}

// Whether `in` writes a temporary component that `source` reads in slots `slots`.
bool Overwrites(const Instruction& in, DWORD source, DWORD slots) {
    return Type(source) == D3DSPR_TEMP && (TempWrites(in, Number(source)) & Named(source, slots)) != 0;
}

// The first instruction after item `p` that reads what it wrote, found while
// that result and what its first two sources read in `slots` stay as they
// were; the number of items when something overwrites one of them first.
size_t FirstReader(const Shader& shader, size_t p, DWORD slots) {
    const Instruction& lr_Op = shader.Items[p].In;
    const DWORD t = Number(lr_Op.Dest), lr_Written = Mask(lr_Op.Dest);
    for (size_t k = NextInstruction(shader, p); k < shader.Items.size(); k = NextInstruction(shader, k)) {
        const Instruction& in = shader.Items[k].In;
        if (TempReads(shader, in, t) & lr_Written) return k;
        if ((TempWrites(in, t) & lr_Written) || Overwrites(in, lr_Op.Sources[0], slots) ||
            Overwrites(in, lr_Op.Sources[1], slots))
            break;
    }
    return shader.Items.size();
}

// Whether every slot of `source` reads a component defined (def) as a zero.
bool DefinedZero(const std::vector<DWORD>& tokens, const Shader& shader, DWORD source) {
    if (Type(source) != D3DSPR_CONST) return false;
    for (const Item& lr_Item : shader.Items) {
        const DWORD* lr_Def = tokens.data() + lr_Item.First;
        if (!lr_Item.Kept || lr_Item.Count != 6 || Opcode(lr_Def[0]) != D3DSIO_DEF || Type(lr_Def[1]) != D3DSPR_CONST ||
            Number(lr_Def[1]) != Number(source))
            continue;
        for (int c = 0; c < k_Components; ++c)
            if ((lr_Def[2 + Slot(Swizzle(source), c)] & 0x7FFFFFFF) != 0) return false;
        return true;
    }
    return false;
}

// dp2add t, a, b, 0 then add d, t, x with x one component: dp2add d, a, b, x
// in the add's place (dp2add d, -a, b, x for add d, -t, x). The device adds
// dp2add's third source last, so the sum is the same, but for the sign of a
// zero: (p + 0) + x with p and x both -0 is +0, p + x is -0.
bool FuseDotBias(Shader& shader, const std::vector<DWORD>& tokens) {
    bool lr_Changed = false;
    for (size_t p = 0; p < shader.Items.size(); ++p) {
        Instruction& lr_Dot = shader.Items[p].In;
        if (shader.Items[p].Kept || lr_Dot.Removed || Opcode(lr_Dot.Token) != D3DSIO_DP2ADD ||
            Type(lr_Dot.Dest) != D3DSPR_TEMP || (lr_Dot.Dest & (D3DSP_DSTMOD_MASK | D3DSP_DSTSHIFT_MASK)) ||
            !DefinedZero(tokens, shader, lr_Dot.Sources[2]))
            continue;
        const DWORD t = Number(lr_Dot.Dest), lr_Written = Mask(lr_Dot.Dest);
        // Its first reader, with a and b as the dp2add read them.
        const size_t k = FirstReader(shader, p, k_SlotsXY);
        if (k >= shader.Items.size()) continue;
        const Instruction& lr_Add = shader.Items[k].In;
        if (Opcode(lr_Add.Token) != D3DSIO_ADD || Type(lr_Add.Dest) != D3DSPR_TEMP ||
            (lr_Add.Dest & D3DSP_DSTSHIFT_MASK))
            continue;
        const DWORD lr_Mask = Mask(lr_Add.Dest);
        // Which source is t: it reads only what the dp2add wrote; the other, x, none of it.
        auto lr_IsDot = [&](DWORD source) {
            return Type(source) == D3DSPR_TEMP && Number(source) == t && (Named(source, lr_Mask) & ~lr_Written) == 0;
        };
        const int lr_T = lr_IsDot(lr_Add.Sources[0]) ? 0 : lr_IsDot(lr_Add.Sources[1]) ? 1 : -1;
        if (lr_T < 0) continue;
        const DWORD lr_Sum = lr_Add.Sources[lr_T], x = lr_Add.Sources[1 - lr_T];
        const DWORD lr_Scalar = Named(x, lr_Mask);
        DWORD lr_Component = 0;
        while (lr_Component < 3 && !Has(lr_Scalar, static_cast<int>(lr_Component))) ++lr_Component;
        const bool lr_Negated = Modifier(lr_Sum) == D3DSPSM_NEG;
        const DWORD lr_AModifier = Modifier(lr_Dot.Sources[0]);
        if ((Modifier(lr_Sum) != D3DSPSM_NONE && !lr_Negated) || lr_Scalar != (1u << lr_Component) ||
            !MayHoldCopies(shader, Type(x)) ||
            (Type(x) == D3DSPR_TEMP && Number(x) == t && Has(lr_Written, static_cast<int>(lr_Component))) ||
            (lr_Negated && lr_AModifier != D3DSPSM_NONE && lr_AModifier != D3DSPSM_NEG))
            continue;
        if (ReadAfter(shader, k, t, lr_Written & ~TempWrites(lr_Add, t))) continue;
        Instruction lr_Fused = lr_Dot;
        lr_Fused.Dest = lr_Add.Dest;
        if (lr_Negated) lr_Fused.Sources[0] ^= D3DSPSM_NEG;
        // A replicate swizzle, as model 2 wants dp2add's third source.
        lr_Fused.Sources[2] = (x & ~D3DVS_SWIZZLE_MASK) | ((lr_Component * k_Replicate) << D3DSP_SWIZZLE_SHIFT);
        if (!WithinReadPorts(shader, Instruction{}, lr_Fused)) continue;
        shader.Items[k].In = lr_Fused;
        lr_Dot.Removed = true;
        lr_Changed = true;
    }
    return lr_Changed;
}

// mul t, a, b and the add that reads t, as mad d, a', b', c in the add's
// place; false when the add cannot take it.
bool FuseInto(const Shader& shader, const Instruction& mul, Instruction& add) {
    const DWORD lr_Register = Number(mul.Dest), lr_Written = Mask(mul.Dest);
    int lr_Product = -1;
    for (int s = 0; s < 2; ++s) {
        const DWORD lr_Source = add.Sources[s];
        if (Type(lr_Source) != D3DSPR_TEMP || Number(lr_Source) != lr_Register) continue;
        const DWORD lr_Read = Named(lr_Source, Mask(add.Dest));
        if ((lr_Read & lr_Written) == 0) continue;
        // One source reads the product, all of it from the mul.
        if (lr_Product >= 0 || (lr_Read & ~lr_Written) != 0) return false;
        lr_Product = s;
    }
    if (lr_Product < 0) return false;
    const DWORD lr_Source = add.Sources[lr_Product];
    const DWORD lr_Modifier = Modifier(lr_Source);
    if (lr_Modifier != D3DSPSM_NONE && lr_Modifier != D3DSPSM_NEG) return false;
    // Slot k of the product is the mul's result at the component the add reads there.
    const DWORD lr_Slots = Mask(add.Dest);
    std::array<DWORD, 2> lr_Factors{};
    for (int f = 0; f < 2; ++f) {
        DWORD lr_Wanted[k_Components] = {};
        for (int k = 0; k < k_Components; ++k)
            lr_Wanted[k] = Slot(Swizzle(mul.Sources[f]), static_cast<int>(Slot(Swizzle(lr_Source), k)));
        DWORD lr_Swizzle = 0;
        if (!ChooseSwizzle(shader, lr_Slots, lr_Wanted, false, lr_Swizzle)) return false;
        lr_Factors[f] = (mul.Sources[f] & ~D3DVS_SWIZZLE_MASK) | (lr_Swizzle << D3DSP_SWIZZLE_SHIFT);
    }
    // -(a * b) as (-a) * b, or a * (-b) when a has another modifier.
    if (lr_Modifier == D3DSPSM_NEG) {
        int f = 0;
        while (f < 2 && Modifier(lr_Factors[f]) != D3DSPSM_NONE && Modifier(lr_Factors[f]) != D3DSPSM_NEG) ++f;
        if (f == 2) return false;
        const DWORD lr_Negated = Modifier(lr_Factors[f]) == D3DSPSM_NEG ? D3DSPSM_NONE : D3DSPSM_NEG;
        lr_Factors[f] = (lr_Factors[f] & ~D3DSP_SRCMOD_MASK) | lr_Negated;
    }
    Instruction lr_Mad = add;
    lr_Mad.Row_ = SoftFindOpcode(shader.Version, D3DSIO_MAD);
    if (!lr_Mad.Row_) return false;
    lr_Mad.Token = (add.Token & ~(D3DSI_OPCODE_MASK | D3DSI_INSTLENGTH_MASK)) | D3DSIO_MAD |
                   (DWORD(lr_Mad.Row_->Dests + lr_Mad.Row_->Sources) << D3DSI_INSTLENGTH_SHIFT);
    lr_Mad.SourceCount = 3;
    lr_Mad.Sources = {lr_Factors[0], lr_Factors[1], add.Sources[1 - lr_Product], 0};
    // The read ports of the model, whatever the two instructions read before.
    if (!WithinReadPorts(shader, Instruction{}, lr_Mad)) return false;
    add = lr_Mad;
    return true;
}

// mul t, a, b then add d, t, c become mad d, a, b, c where t served only
// that add and a, b still hold their values there.
bool FuseMultiplyAdd(Shader& shader) {
    bool lr_Changed = false;
    for (size_t i = 0; i < shader.Items.size(); ++i) {
        Instruction& lr_Mul = shader.Items[i].In;
        if (shader.Items[i].Kept || lr_Mul.Removed || Opcode(lr_Mul.Token) != D3DSIO_MUL ||
            Type(lr_Mul.Dest) != D3DSPR_TEMP || (lr_Mul.Dest & (D3DSP_DSTMOD_MASK | D3DSP_DSTSHIFT_MASK)) != 0)
            continue;
        const DWORD lr_Register = Number(lr_Mul.Dest), lr_Written = Mask(lr_Mul.Dest);
        // The first reader of the product, the factors as the mul read them
        // still there: the add, and then nothing else reads the product.
        const size_t j = FirstReader(shader, i, lr_Written);
        if (j >= shader.Items.size()) continue;
        Instruction& in = shader.Items[j].In;
        const DWORD lr_Read = TempReads(shader, in, lr_Register) & lr_Written;
        const DWORD lr_Kept = lr_Read & ~TempWrites(in, lr_Register);
        if (Opcode(in.Token) != D3DSIO_ADD || ReadAfter(shader, j, lr_Register, lr_Kept) ||
            ReadAfter(shader, i, lr_Register, lr_Written & ~lr_Read))
            continue;
        if (FuseInto(shader, lr_Mul, in)) {
            lr_Mul.Removed = true;
            lr_Changed = true;
        }
    }
    return lr_Changed;
}

std::vector<DWORD> Write(const std::vector<DWORD>& tokens, const Shader& shader) {
    std::vector<DWORD> lr_Out;
    lr_Out.reserve(tokens.size());
    lr_Out.push_back(tokens.front());
    for (const Item& lr_Item : shader.Items) {
        if (lr_Item.Kept) {
            lr_Out.insert(lr_Out.end(), tokens.begin() + lr_Item.First, tokens.begin() + lr_Item.First + lr_Item.Count);
            continue;
        }
        const Instruction& in = lr_Item.In;
        if (in.Removed) continue;
        lr_Out.push_back(in.Token);
        if (in.Row_->Dests > 0) lr_Out.push_back(in.Dest);
        lr_Out.insert(lr_Out.end(), in.Sources.begin(), in.Sources.begin() + in.SourceCount);
    }
    lr_Out.push_back(tokens.back());
    return lr_Out;
}

}  // namespace

std::vector<DWORD> OptimiseShader(const std::vector<DWORD>& tokens, const std::string& profile) {
    Shader lr_Shader;
    if (!Parse(tokens, profile, lr_Shader)) return tokens;
    bool lr_Changed = false;
    for (int r = 0; r < k_MaxRounds; ++r) {
        const bool lr_Propagated = PropagateCopies(lr_Shader);
        const bool lr_Removed = RemoveDeadCode(lr_Shader);
        const bool lr_Merged = MergeMoves(lr_Shader);
        const bool lr_Negations = FoldNegations(lr_Shader);
        const bool lr_Saturates = ForwardMoves(lr_Shader, true);
        const bool lr_Retargeted = ForwardMoves(lr_Shader, false);
        const bool lr_Biased = FuseDotBias(lr_Shader, tokens);
        const bool lr_Fused = FuseMultiplyAdd(lr_Shader);
        if (!lr_Propagated && !lr_Removed && !lr_Merged && !lr_Negations && !lr_Saturates && !lr_Retargeted &&
            !lr_Biased && !lr_Fused)
            break;
        lr_Changed = true;
    }
    return lr_Changed ? Write(tokens, lr_Shader) : tokens;
}

}  // namespace softfx
