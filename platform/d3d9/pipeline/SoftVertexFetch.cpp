#include "pipeline/SoftVertexFetch.h"

#include <cstring>

namespace {

// D3DDECLTYPE and D3DDECLUSAGE values.
enum : BYTE {
    k_Float1 = 0,
    k_Float2 = 1,
    k_Float3 = 2,
    k_Float4 = 3,
    k_Color = 4,
    k_UByte4 = 5,
    k_Short2 = 6,
    k_Short4 = 7,
    k_UByte4N = 8,
    k_Short2N = 9,
    k_Short4N = 10,
    k_UShort2N = 11,
    k_UShort4N = 12,
    k_UDec3 = 13,
    k_Dec3N = 14,
    k_Float16x2 = 15,
    k_Float16x4 = 16,
    k_Unused = 17,
};
enum : BYTE {
    k_UsagePosition = 0,
    k_UsageTexCoord = 5,
    k_UsagePositionT = 9,
    k_UsageColor = 10,
};

// Bytes of one element of a type; 0 for types not read here.
UINT TypeBytes(BYTE type) {
    switch (type) {
    case k_Float1:
    case k_Color:
    case k_UByte4:
    case k_Short2:
    case k_UByte4N:
    case k_Short2N:
    case k_UShort2N:
    case k_Float16x2: return 4;
    case k_Float2:
    case k_Short4:
    case k_Short4N:
    case k_UShort4N:
    case k_Float16x4: return 8;
    case k_Float3: return 12;
    case k_Float4: return 16;
    default: return 0;
    }
}

float HalfToFloat(WORD half) {
    DWORD lr_Sign = static_cast<DWORD>(half & 0x8000u) << 16;
    int lr_Exponent = (half >> 10) & 0x1F;
    DWORD lr_Mantissa = half & 0x3FFu;
    DWORD lr_Bits;
    if (lr_Exponent == 0) {
        if (lr_Mantissa == 0) {
            lr_Bits = lr_Sign;
        } else {
            // Subnormal: shift the leading one up into the implicit bit.
            lr_Exponent = 1;
            while (!(lr_Mantissa & 0x400u)) {
                lr_Mantissa <<= 1;
                --lr_Exponent;
            }
            lr_Mantissa &= 0x3FFu;
            lr_Bits = lr_Sign | (static_cast<DWORD>(lr_Exponent + 112) << 23) | (lr_Mantissa << 13);
        }
    } else if (lr_Exponent == 31) {
        lr_Bits = lr_Sign | 0x7F800000u | (lr_Mantissa << 13);
    } else {
        lr_Bits = lr_Sign | (static_cast<DWORD>(lr_Exponent + 112) << 23) | (lr_Mantissa << 13);
    }
    float lr_Value;
    std::memcpy(&lr_Value, &lr_Bits, 4);
    return lr_Value;
}

template <class T>
T Load(const BYTE* bytes) {
    T lr_Value;
    std::memcpy(&lr_Value, bytes, sizeof(T));
    return lr_Value;
}

float SNorm16(short value) { return value <= -32767 ? -1.0f : value / 32767.0f; }

// Reads one element into out[4], whose unread components stay as they are.
void Decode(BYTE type, const BYTE* bytes, float out[4]) {
    switch (type) {
    case k_Float4: out[3] = Load<float>(bytes + 12); [[fallthrough]];
    case k_Float3: out[2] = Load<float>(bytes + 8); [[fallthrough]];
    case k_Float2: out[1] = Load<float>(bytes + 4); [[fallthrough]];
    case k_Float1: out[0] = Load<float>(bytes); return;
    case k_Color:  // B, G, R, A in memory
        out[0] = bytes[2] / 255.0f;
        out[1] = bytes[1] / 255.0f;
        out[2] = bytes[0] / 255.0f;
        out[3] = bytes[3] / 255.0f;
        return;
    case k_UByte4N:
        for (int i = 0; i < 4; ++i) out[i] = bytes[i] / 255.0f;
        return;
    case k_UByte4:
        for (int i = 0; i < 4; ++i) out[i] = bytes[i];
        return;
    case k_Short2:
    case k_Short4:
        for (int i = 0; i < (type == k_Short2 ? 2 : 4); ++i) out[i] = Load<short>(bytes + 2 * i);
        return;
    case k_Short2N:
    case k_Short4N:
        for (int i = 0; i < (type == k_Short2N ? 2 : 4); ++i) out[i] = SNorm16(Load<short>(bytes + 2 * i));
        return;
    case k_UShort2N:
    case k_UShort4N:
        for (int i = 0; i < (type == k_UShort2N ? 2 : 4); ++i) out[i] = Load<WORD>(bytes + 2 * i) / 65535.0f;
        return;
    case k_Float16x2:
    case k_Float16x4:
        for (int i = 0; i < (type == k_Float16x2 ? 2 : 4); ++i) out[i] = HalfToFloat(Load<WORD>(bytes + 2 * i));
        return;
    default: return;
    }
}

}  // namespace

SoftVertexFetch::SoftVertexFetch() { Reset(); }

void SoftVertexFetch::Reset() {
    mr_Position = Element{0, k_Unused, 0, false};
    for (Element& lr_Slot : mr_Slots) lr_Slot = Element{0, k_Unused, 0, false};
    mr_PreTransformed = false;
    mr_SlotMask = 0;
    mr_StreamMask = 0;
}

const char* SoftVertexFetch::DescribeFvf(DWORD fvf, UINT stride) {
    Reset();
    UINT lr_Offset = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
        mr_Position = Element{0, k_Float3, 0, true};
        lr_Offset = 12;
        break;
    case D3DFVF_XYZRHW:
        mr_Position = Element{0, k_Float4, 0, true};
        mr_PreTransformed = true;
        lr_Offset = 16;
        break;
    case D3DFVF_XYZW:
        mr_Position = Element{0, k_Float4, 0, true};
        lr_Offset = 16;
        break;
    case D3DFVF_XYZB1:
    case D3DFVF_XYZB2:
    case D3DFVF_XYZB3:
    case D3DFVF_XYZB4:
    case D3DFVF_XYZB5:
        // Blend weights follow the position; vertex blending is off, so they are skipped.
        mr_Position = Element{0, k_Float3, 0, true};
        lr_Offset = 12 + 4 * (((fvf & D3DFVF_POSITION_MASK) - D3DFVF_XYZ) / 2);
        break;
    default: return "the FVF has no position";
    }
    if (fvf & D3DFVF_NORMAL) lr_Offset += 12;
    if (fvf & D3DFVF_PSIZE) lr_Offset += 4;
    if (fvf & D3DFVF_DIFFUSE) {
        mr_Slots[SOFT_ATTRIBUTE_DIFFUSE] = Element{0, k_Color, static_cast<WORD>(lr_Offset), true};
        lr_Offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        mr_Slots[SOFT_ATTRIBUTE_SPECULAR] = Element{0, k_Color, static_cast<WORD>(lr_Offset), true};
        lr_Offset += 4;
    }
    UINT lr_Sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (lr_Sets > 8) return "the FVF names more than 8 texture coordinate sets";
    for (UINT i = 0; i < lr_Sets; ++i) {
        // D3DFVF_TEXCOORDSIZEn: 0 two floats, 1 three, 2 four, 3 one.
        static const BYTE k_Types[4] = {k_Float2, k_Float3, k_Float4, k_Float1};
        BYTE lr_Type = k_Types[(fvf >> (16 + 2 * i)) & 3u];
        mr_Slots[SOFT_ATTRIBUTE_TEXCOORD0 + i] = Element{0, lr_Type, static_cast<WORD>(lr_Offset), true};
        lr_Offset += TypeBytes(lr_Type);
    }
    if (lr_Offset > stride) return "the stride is smaller than the FVF's vertex";
    for (UINT i = 0; i < SOFT_ATTRIBUTE_SLOTS; ++i)
        if (mr_Slots[i].Present) mr_SlotMask |= 1u << i;
    mr_StreamMask = 1;
    return nullptr;
}

const char* SoftVertexFetch::DescribeDeclaration(const std::vector<D3DVERTEXELEMENT9>& elements) {
    Reset();
    for (const D3DVERTEXELEMENT9& lr_Element : elements) {
        if (lr_Element.Stream == 0xFF) break;
        if (lr_Element.Type == k_Unused) continue;
        if (lr_Element.Stream >= SOFT_VERTEX_STREAMS) return "a declaration element names a stream past 15";
        Element lr_Read{static_cast<BYTE>(lr_Element.Stream), lr_Element.Type, lr_Element.Offset, true};
        Element* lr_Target_ = nullptr;
        switch (lr_Element.Usage) {
        case k_UsagePosition:
        case k_UsagePositionT:
            if (lr_Element.UsageIndex != 0) continue;
            lr_Target_ = &mr_Position;
            mr_PreTransformed = lr_Element.Usage == k_UsagePositionT;
            break;
        case k_UsageColor:
            if (lr_Element.UsageIndex > 1) continue;
            lr_Target_ = &mr_Slots[SOFT_ATTRIBUTE_DIFFUSE + lr_Element.UsageIndex];
            break;
        case k_UsageTexCoord:
            if (lr_Element.UsageIndex > 7) continue;
            lr_Target_ = &mr_Slots[SOFT_ATTRIBUTE_TEXCOORD0 + lr_Element.UsageIndex];
            break;
        default: continue;  // normals, weights and the like feed nothing here
        }
        if (TypeBytes(lr_Element.Type) == 0) return "a declaration element has a type this device does not read";
        *lr_Target_ = lr_Read;
        mr_StreamMask |= 1u << lr_Element.Stream;
    }
    if (!mr_Position.Present) return "the declaration has no position";
    for (UINT i = 0; i < SOFT_ATTRIBUTE_SLOTS; ++i)
        if (mr_Slots[i].Present) mr_SlotMask |= 1u << i;
    return nullptr;
}

const char* SoftVertexFetch::Bind(const SoftStreamView* streams, UINT maxVertex) {
    for (UINT s = 0; s < SOFT_VERTEX_STREAMS; ++s) mr_Streams[s] = streams[s];
    auto lr_Fits = [&](const Element& element) {
        if (!element.Present) return true;
        const SoftStreamView& lr_Stream = mr_Streams[element.Stream];
        if (!lr_Stream.Data_) return false;
        size_t lr_End = static_cast<size_t>(maxVertex) * lr_Stream.Stride + element.Offset + TypeBytes(element.Type);
        return lr_End <= lr_Stream.Bytes;
    };
    if (!lr_Fits(mr_Position)) return "a vertex element lies outside its stream";
    for (const Element& lr_Slot : mr_Slots)
        if (!lr_Fits(lr_Slot)) return "a vertex element lies outside its stream";
    return nullptr;
}

void SoftVertexFetch::Fetch(UINT vertex, SoftFetchedVertex* out) const {
    auto lr_Bytes = [&](const Element& element) {
        const SoftStreamView& lr_Stream = mr_Streams[element.Stream];
        return lr_Stream.Data_ + static_cast<size_t>(vertex) * lr_Stream.Stride + element.Offset;
    };
    SoftSetVector(out->Position, 0.0f, 0.0f, 0.0f, 1.0f);
    Decode(mr_Position.Type, lr_Bytes(mr_Position), out->Position);
    // Without colours the runtime supplies opaque white diffuse and black specular.
    SoftSetVector(out->Slots[SOFT_ATTRIBUTE_DIFFUSE], 1.0f, 1.0f, 1.0f, 1.0f);
    SoftSetVector(out->Slots[SOFT_ATTRIBUTE_SPECULAR], 0.0f, 0.0f, 0.0f, 0.0f);
    for (UINT i = SOFT_ATTRIBUTE_TEXCOORD0; i < SOFT_ATTRIBUTE_SLOTS; ++i)
        SoftSetVector(out->Slots[i], 0.0f, 0.0f, 0.0f, 1.0f);
    for (UINT i = 0; i < SOFT_ATTRIBUTE_SLOTS; ++i) {
        if (!mr_Slots[i].Present) continue;
        if (i <= SOFT_ATTRIBUTE_SPECULAR) SoftSetVector(out->Slots[i], 0.0f, 0.0f, 0.0f, 1.0f);
        Decode(mr_Slots[i].Type, lr_Bytes(mr_Slots[i]), out->Slots[i]);
    }
}
