// Passes repeated until none changes anything: copies propagated forward,
// per component, into the instructions that read them; then instructions
// whose results nobody reads removed, backward, per component; then the
// moves that assemble one vector from one register merged; then moves of a
// register onto itself folded into their readers; then mul and add fused
// into mad; then results written straight where a move would carry them.
// Every rewrite keeps the stream valid for its profile: swizzles the model
// takes, the read ports of each register type, texture coordinates as the
// texture instructions want them.
#include "compiler/ShaderOptimiser.h"

#include <soft/SoftShaderOpcodes.h>

#include <algorithm>
#include <array>
#include <utility>

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

// Each temporary component's liveness after each item, from the end backward.
std::vector<Liveness> LiveAfter(const Shader& shader) {
    std::vector<Liveness> lr_After(shader.Items.size());
    Liveness lr_Live{};
    for (size_t i = shader.Items.size(); i-- > 0;) {
        lr_After[i] = lr_Live;
        const Item& lr_Item = shader.Items[i];
        if (lr_Item.Kept || lr_Item.In.Removed) continue;
        const Instruction& in = lr_Item.In;
        if (in.Writes && Type(in.Dest) == D3DSPR_TEMP)
            for (int c = 0; c < k_Components; ++c)
                if (Has(Mask(in.Dest), c)) lr_Live[Number(in.Dest)][c] = false;
        MarkReads(shader, in, lr_Live);
    }
    return lr_After;
}

// The components of temporary `number` that `in` reads.
DWORD ReadsOf(const Shader& shader, const Instruction& in, DWORD number) {
    Liveness lr_Read{};
    MarkReads(shader, in, lr_Read);
    DWORD lr_Mask = 0;
    for (int c = 0; c < k_Components; ++c)
        if (lr_Read[number][c]) lr_Mask |= 1u << c;
    return lr_Mask;
}

// The components of temporary `number` that `in` writes.
DWORD WritesOf(const Instruction& in, DWORD number) {
    return in.Writes && Type(in.Dest) == D3DSPR_TEMP && Number(in.Dest) == number ? Mask(in.Dest) : 0;
}

// The components of a source's register that the slots `slots` read.
DWORD Components(DWORD source, DWORD slots) {
    DWORD lr_Mask = 0;
    for (int c = 0; c < k_Components; ++c)
        if (Has(slots, c)) lr_Mask |= 1u << Slot(Swizzle(source), c);
    return lr_Mask;
}

// Whether `in` writes a temporary component that `source` reads in slots `slots`.
bool Overwrites(const Instruction& in, DWORD source, DWORD slots) {
    return Type(source) == D3DSPR_TEMP && (WritesOf(in, Number(source)) & Components(source, slots)) != 0;
}

// mov rN.mask, -rN (or a swizzle of rN) removed, its readers reading rN's
// older components through the swizzle, negated: copy propagation cannot
// follow a move that overwrites what it copies.
bool FoldSelfCopies(Shader& shader) {
    bool lr_Changed = false;
    for (size_t i = 0; i < shader.Items.size(); ++i) {
        Instruction& lr_Move = shader.Items[i].In;
        if (shader.Items[i].Kept || lr_Move.Removed || !IsCopy(shader, lr_Move)) continue;
        const DWORD lr_Copied = lr_Move.Sources[0];
        const DWORD lr_Register = Number(lr_Move.Dest);
        if (Type(lr_Copied) != D3DSPR_TEMP || Number(lr_Copied) != lr_Register) continue;
        const bool lr_Negated = Modifier(lr_Copied) == D3DSPSM_NEG;
        DWORD lr_Live = Mask(lr_Move.Dest), lr_Clobbered = 0;
        std::vector<std::pair<DWORD*, DWORD>> lr_Rewrites;
        bool lr_Folds = true;
        for (size_t j = i + 1; j < shader.Items.size() && lr_Live != 0 && lr_Folds; ++j) {
            if (shader.Items[j].Kept || shader.Items[j].In.Removed) continue;
            Instruction& in = shader.Items[j].In;
            if ((ReadsOf(shader, in, lr_Register) & lr_Live) != 0) {
                for (int s = 0; s < in.SourceCount && lr_Folds; ++s) {
                    const DWORD lr_Source = in.Sources[s];
                    if (Type(lr_Source) != D3DSPR_TEMP || Number(lr_Source) != lr_Register) continue;
                    const DWORD lr_Slots = ReadSlots(shader, in, s);
                    const DWORD lr_Read = Components(lr_Source, lr_Slots);
                    if ((lr_Read & lr_Live) == 0) continue;
                    const DWORD lr_Modifier = Modifier(lr_Source);
                    const bool lr_Coordinate = (in.Row_->Flags & k_SoftOpTexture) != 0;
                    const bool lr_KeepIdentity =
                        lr_Coordinate || (in.Row_->Slots > 1 && Swizzle(lr_Source) == k_Identity);
                    // Every slot reads the move's result, the older components it read still there.
                    DWORD lr_Wanted[k_Components] = {};
                    for (int k = 0; k < k_Components; ++k) {
                        lr_Wanted[k] = Slot(Swizzle(lr_Copied), static_cast<int>(Slot(Swizzle(lr_Source), k)));
                        if (Has(lr_Slots, k) && Has(lr_Clobbered, static_cast<int>(lr_Wanted[k]))) lr_Folds = false;
                    }
                    DWORD lr_Swizzle = 0;
                    lr_Folds = lr_Folds && (lr_Read & ~lr_Live) == 0 && MayRewrite(in, s) &&
                               (lr_Modifier == D3DSPSM_NONE || lr_Modifier == D3DSPSM_NEG) &&
                               !(lr_Coordinate && lr_Negated) &&
                               ChooseSwizzle(shader, lr_Slots, lr_Wanted, lr_KeepIdentity, lr_Swizzle);
                    if (lr_Folds)
                        lr_Rewrites.emplace_back(&in.Sources[s], Source(lr_Source, D3DSPR_TEMP, lr_Register, lr_Swizzle,
                                                                        (lr_Modifier == D3DSPSM_NEG) != lr_Negated));
                }
                // texkill and a matrix's rows read the register without a swizzle to change.
                if (lr_Folds && (Opcode(in.Token) == D3DSIO_TEXKILL || IsMatrix(Opcode(in.Token)))) lr_Folds = false;
            }
            lr_Clobbered |= WritesOf(in, lr_Register);
            lr_Live &= ~WritesOf(in, lr_Register);
        }
        if (!lr_Folds) continue;
        for (const auto& r : lr_Rewrites) *r.first = r.second;
        lr_Move.Removed = true;
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
        const DWORD lr_Read = Components(lr_Source, Mask(add.Dest));
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
    std::vector<Liveness> lr_LiveAfter = LiveAfter(shader);
    for (size_t i = 0; i < shader.Items.size(); ++i) {
        Instruction& lr_Mul = shader.Items[i].In;
        if (shader.Items[i].Kept || lr_Mul.Removed || Opcode(lr_Mul.Token) != D3DSIO_MUL ||
            Type(lr_Mul.Dest) != D3DSPR_TEMP || (lr_Mul.Dest & (D3DSP_DSTMOD_MASK | D3DSP_DSTSHIFT_MASK)) != 0)
            continue;
        const DWORD lr_Register = Number(lr_Mul.Dest), lr_Written = Mask(lr_Mul.Dest);
        for (size_t j = i + 1; j < shader.Items.size(); ++j) {
            if (shader.Items[j].Kept || shader.Items[j].In.Removed) continue;
            Instruction& in = shader.Items[j].In;
            const DWORD lr_Read = ReadsOf(shader, in, lr_Register) & lr_Written;
            if (lr_Read == 0) {
                // The product and the factors as the mul read them stay until the add.
                if ((WritesOf(in, lr_Register) & lr_Written) != 0 || Overwrites(in, lr_Mul.Sources[0], lr_Written) ||
                    Overwrites(in, lr_Mul.Sources[1], lr_Written))
                    break;
                continue;
            }
            // The first reader of the product: the add, and then nothing else reads it.
            bool lr_Dead = Opcode(in.Token) == D3DSIO_ADD;
            for (int c = 0; c < k_Components && lr_Dead; ++c) {
                if (!Has(lr_Written, c)) continue;
                const bool lr_Renewed = Has(WritesOf(in, lr_Register), c);
                if (Has(lr_Read, c) ? lr_LiveAfter[j][lr_Register][c] && !lr_Renewed : lr_LiveAfter[i][lr_Register][c])
                    lr_Dead = false;
            }
            if (lr_Dead && FuseInto(shader, lr_Mul, in)) {
                lr_Mul.Removed = true;
                lr_Changed = true;
                lr_LiveAfter = LiveAfter(shader);
            }
            break;
        }
    }
    return lr_Changed;
}

// Opcodes whose result component k reads only their sources' slot k, and
// those whose written components all hold one value.
bool IsComponentWise(DWORD opcode) {
    switch (opcode) {
    case D3DSIO_MOV:
    case D3DSIO_ADD:
    case D3DSIO_MUL:
    case D3DSIO_MAD:
    case D3DSIO_MIN:
    case D3DSIO_MAX:
    case D3DSIO_CMP:
    case D3DSIO_FRC:
    case D3DSIO_ABS: return true;
    default: return false;
    }
}
bool IsReplicated(DWORD opcode) {
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

// `producer` writing the destination of `move`, which copies (maybe
// saturating) what the producer wrote; false when its sources cannot follow.
bool Forwarded(const Shader& shader, Instruction& producer, const Instruction& move) {
    const DWORD lr_Opcode = Opcode(producer.Token);
    const DWORD lr_Copied = Swizzle(move.Sources[0]), lr_Slots = Mask(move.Dest);
    Instruction lr_Result = producer;
    lr_Result.Dest = move.Dest;
    if (IsComponentWise(lr_Opcode)) {
        for (int s = 0; s < producer.SourceCount; ++s) {
            DWORD lr_Wanted[k_Components] = {};
            for (int k = 0; k < k_Components; ++k)
                lr_Wanted[k] = Slot(Swizzle(producer.Sources[s]), static_cast<int>(Slot(lr_Copied, k)));
            DWORD lr_Swizzle = 0;
            if (!ChooseSwizzle(shader, lr_Slots, lr_Wanted, false, lr_Swizzle)) return false;
            lr_Result.Sources[s] = (producer.Sources[s] & ~D3DVS_SWIZZLE_MASK) | (lr_Swizzle << D3DSP_SWIZZLE_SHIFT);
        }
    }
    producer = lr_Result;
    return true;
}

// op t, ... then mov d, t with t read by nothing else: op d, ... The pixel
// models' moves may saturate, and the saturation moves onto the op.
bool ForwardResults(Shader& shader) {
    if (!shader.Pixel) return false;
    bool lr_Changed = false;
    std::vector<Liveness> lr_LiveAfter = LiveAfter(shader);
    for (size_t i = 0; i < shader.Items.size(); ++i) {
        Instruction& lr_Producer = shader.Items[i].In;
        const DWORD lr_Opcode = Opcode(lr_Producer.Token);
        if (shader.Items[i].Kept || lr_Producer.Removed || lr_Producer.Row_->Slots != 1 ||
            !(IsComponentWise(lr_Opcode) || IsReplicated(lr_Opcode)) || Type(lr_Producer.Dest) != D3DSPR_TEMP ||
            (lr_Producer.Dest & (D3DSP_DSTMOD_MASK | D3DSP_DSTSHIFT_MASK)) != 0)
            continue;
        const DWORD lr_Register = Number(lr_Producer.Dest), lr_Written = Mask(lr_Producer.Dest);
        DWORD lr_Between[k_MaxTemporaries] = {};  // temporary components read or written before the move
        for (size_t j = i + 1; j < shader.Items.size(); ++j) {
            if (shader.Items[j].Kept || shader.Items[j].In.Removed) continue;
            Instruction& in = shader.Items[j].In;
            const DWORD lr_Read = ReadsOf(shader, in, lr_Register) & lr_Written;
            if (lr_Read == 0) {
                if ((WritesOf(in, lr_Register) & lr_Written) != 0) break;
                Liveness lr_Reads{};
                MarkReads(shader, in, lr_Reads);
                for (DWORD r = 0; r < k_MaxTemporaries; ++r)
                    for (int c = 0; c < k_Components; ++c)
                        if (lr_Reads[r][c]) lr_Between[r] |= 1u << c;
                if (in.Writes && Type(in.Dest) == D3DSPR_TEMP) lr_Between[Number(in.Dest)] |= Mask(in.Dest);
                continue;
            }
            // The first reader: a plain move of the result alone, into components untouched meanwhile.
            const DWORD lr_Source = in.Sources[0];
            bool lr_Forwards = Opcode(in.Token) == D3DSIO_MOV && Type(in.Dest) == D3DSPR_TEMP &&
                               (in.Dest & D3DSP_DSTSHIFT_MASK) == 0 && Type(lr_Source) == D3DSPR_TEMP &&
                               Modifier(lr_Source) == D3DSPSM_NONE &&
                               (Components(lr_Source, Mask(in.Dest)) & ~lr_Written) == 0 &&
                               (lr_Between[Number(in.Dest)] & Mask(in.Dest)) == 0;
            // ps_2_0's cmp may not take its destination register as a source.
            if (lr_Opcode == D3DSIO_CMP && Number(in.Dest) != lr_Register)
                for (int s = 0; s < lr_Producer.SourceCount; ++s)
                    if (Type(lr_Producer.Sources[s]) == D3DSPR_TEMP &&
                        Number(lr_Producer.Sources[s]) == Number(in.Dest))
                        lr_Forwards = false;
            for (int c = 0; c < k_Components && lr_Forwards; ++c)
                if (Has(lr_Written, c) && lr_LiveAfter[j][lr_Register][c] && !Has(WritesOf(in, lr_Register), c))
                    lr_Forwards = false;
            if (lr_Forwards && Forwarded(shader, lr_Producer, in)) {
                in.Removed = true;
                lr_Changed = true;
                lr_LiveAfter = LiveAfter(shader);
            }
            break;
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
        const bool lr_Folded = FoldSelfCopies(lr_Shader);
        const bool lr_Fused = FuseMultiplyAdd(lr_Shader);
        const bool lr_Forwarded = ForwardResults(lr_Shader);
        if (!lr_Propagated && !lr_Removed && !lr_Merged && !lr_Folded && !lr_Fused && !lr_Forwarded) break;
        lr_Changed = true;
    }
    return lr_Changed ? Write(tokens, lr_Shader) : tokens;
}

}  // namespace softfx
