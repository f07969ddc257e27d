// Small builders shared by the device tests.
#pragma once

#include <d3d9.h>

#include <cstring>
#include <string>
#include <vector>

namespace device_test {

struct Vertex {
    float x, y, z, rhw;
    float u, v;
};
const DWORD k_VertexFVF = D3DFVF_XYZRHW | D3DFVF_TEX1;

// A token stream: version, an optional "FUNC" comment naming the entry
// point, one SM2-style instruction with its length, the end token.
inline std::vector<DWORD> ShaderTokens(DWORD version, const std::string& name) {
    std::vector<DWORD> lr_Tokens{version};
    if (!name.empty()) {
        std::string ls_Payload = "FUNC" + name;
        ls_Payload.resize((ls_Payload.size() + 4) / 4 * 4, '\0');  // at least one NUL
        DWORD lr_Count = static_cast<DWORD>(ls_Payload.size() / 4);
        lr_Tokens.push_back(D3DSHADER_COMMENT(lr_Count));
        for (DWORD i = 0; i < lr_Count; ++i) {
            DWORD lr_Word;
            std::memcpy(&lr_Word, ls_Payload.data() + i * 4, 4);
            lr_Tokens.push_back(lr_Word);
        }
    }
    // mov oC0, c0: opcode 1 with length 2 in bits 24..27.
    lr_Tokens.push_back(0x02000001u);
    lr_Tokens.push_back(0x800F0800u);
    lr_Tokens.push_back(0xA0E40000u);
    lr_Tokens.push_back(D3DPS_END());
    return lr_Tokens;
}

// A vertex buffer holding `count` vertices numbered by x = index.
inline IDirect3DVertexBuffer9* MakeVertexBuffer(IDirect3DDevice9* device, UINT count, D3DPOOL pool = D3DPOOL_MANAGED) {
    IDirect3DVertexBuffer9* lr_Buffer_ = nullptr;
    if (FAILED(device->CreateVertexBuffer(count * sizeof(Vertex), D3DUSAGE_WRITEONLY, k_VertexFVF, pool, &lr_Buffer_,
                                          nullptr)))
        return nullptr;
    void* lr_Data = nullptr;
    lr_Buffer_->Lock(0, 0, &lr_Data, 0);
    Vertex* lr_Vertices = static_cast<Vertex*>(lr_Data);
    for (UINT i = 0; i < count; ++i)
        lr_Vertices[i] = Vertex{static_cast<float>(i), static_cast<float>(i) * 10.0f, 0.5f, 1.0f, 0.25f, 0.75f};
    lr_Buffer_->Unlock();
    return lr_Buffer_;
}

inline IDirect3DIndexBuffer9* MakeIndexBuffer(IDirect3DDevice9* device, const std::vector<WORD>& indices,
                                              D3DPOOL pool = D3DPOOL_MANAGED) {
    IDirect3DIndexBuffer9* lr_Buffer_ = nullptr;
    if (FAILED(device->CreateIndexBuffer(static_cast<UINT>(indices.size() * 2), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                         pool, &lr_Buffer_, nullptr)))
        return nullptr;
    void* lr_Data = nullptr;
    lr_Buffer_->Lock(0, 0, &lr_Data, 0);
    std::memcpy(lr_Data, indices.data(), indices.size() * 2);
    lr_Buffer_->Unlock();
    return lr_Buffer_;
}

}  // namespace device_test
