// A 16x16 A8R8G8B8 back buffer with a D24S8 depth buffer, cleared, with
// pre-transformed coloured vertices selected and lighting off; builders for
// the draws the rasteriser tests make.
#pragma once

#include "SoftDeviceFixture.h"

#include <cstring>
#include <vector>

namespace raster_test {

struct ColorVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
};
const DWORD k_ColorFVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

struct TexturedVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u0, v0, u1, v1;
};
const DWORD k_TexturedFVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX2;

struct WorldVertex {
    float x, y, z;
    D3DCOLOR diffuse;
};
const DWORD k_WorldFVF = D3DFVF_XYZ | D3DFVF_DIFFUSE;

const UINT k_Size = 16;

class RasterFixture : public SoftDeviceFixture {
protected:
    RasterFixture() {
        mr_PresentParameters.BackBufferWidth = k_Size;
        mr_PresentParameters.BackBufferHeight = k_Size;
        mr_PresentParameters.BackBufferFormat = D3DFMT_A8R8G8B8;
    }
    void SetUp() override {
        SoftDeviceFixture::SetUp();
        mr_Back_ = GetBackBuffer0();
        mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        mr_Device_->SetFVF(k_ColorFVF);
        mr_Device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    }
    void TearDown() override {
        if (mr_Back_) mr_Back_->Release();
        SoftDeviceFixture::TearDown();
    }
    // Pixel (x, y) of a k_Size-wide 32-bit surface (the back buffer by default).
    DWORD Pixel(UINT x, UINT y, IDirect3DSurface9* surface = nullptr) const {
        std::vector<BYTE> lr_Pixels = ReadPixels(surface ? surface : mr_Back_);
        DWORD lr_Value;
        std::memcpy(&lr_Value, &lr_Pixels[(y * k_Size + x) * 4], 4);
        return lr_Value;
    }
    std::vector<DWORD> Pixels() const {
        std::vector<BYTE> lr_Bytes = ReadPixels(mr_Back_);
        std::vector<DWORD> lr_Out(k_Size * k_Size);
        std::memcpy(lr_Out.data(), lr_Bytes.data(), lr_Out.size() * 4);
        return lr_Out;
    }
    void DrawList(const std::vector<ColorVertex>& vertices) {
        ASSERT_EQ(mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(vertices.size() / 3),
                                              vertices.data(), sizeof(ColorVertex)),
                  D3D_OK);
    }
    void DrawRect(float left, float top, float right, float bottom, D3DCOLOR color, float z = 0.5f) {
        DrawList({{left, top, z, 1, color},
                  {right, top, z, 1, color},
                  {left, bottom, z, 1, color},
                  {right, top, z, 1, color},
                  {right, bottom, z, 1, color},
                  {left, bottom, z, 1, color}});
    }
    // A rectangle with texture coordinates running 0..1 across it in both sets.
    void DrawTexturedRect(float left, float top, float right, float bottom, D3DCOLOR color) {
        mr_Device_->SetFVF(k_TexturedFVF);
        TexturedVertex lr_Quad[] = {{left, top, 0.5f, 1, color, 0, 0, 0, 0},
                                    {right, top, 0.5f, 1, color, 1, 0, 1, 0},
                                    {left, bottom, 0.5f, 1, color, 0, 1, 0, 1},
                                    {right, bottom, 0.5f, 1, color, 1, 1, 1, 1}};
        ASSERT_EQ(mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, lr_Quad, sizeof(TexturedVertex)), D3D_OK);
        mr_Device_->SetFVF(k_ColorFVF);
    }
    // A managed A8R8G8B8 texture of one level holding `texels` row by row.
    IDirect3DTexture9* MakeTexture(UINT width, UINT height, const std::vector<DWORD>& texels) {
        IDirect3DTexture9* lr_Texture_ = nullptr;
        if (FAILED(mr_Device_->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_,
                                             nullptr)))
            return nullptr;
        D3DLOCKED_RECT lr_Lock;
        lr_Texture_->LockRect(0, &lr_Lock, nullptr, 0);
        for (UINT y = 0; y < height; ++y)
            std::memcpy(static_cast<BYTE*>(lr_Lock.pBits) + y * lr_Lock.Pitch, &texels[y * width], width * 4);
        lr_Texture_->UnlockRect(0);
        return lr_Texture_;
    }
    void AdditiveBlend() {
        mr_Device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        mr_Device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        mr_Device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        mr_Device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    }
    const SoftDrawRecord& LastDraw() const { return mr_Control_->GetDraws().back(); }

    IDirect3DSurface9* mr_Back_ = nullptr;
};

}  // namespace raster_test
