// export_pass_shaders <out directory> <Noise.bmp> <effect.hlsl>...
//
// Compiles each effect with the substitute D3DX and writes, for its first
// valid technique's first pass, <name>.ps (the pixel shader's bytecode) and
// <name>.states (the render and sampler states the pass sets, read from the
// device after BeginPass); Noise.pix, the noise image as loaded; and the
// later passes' input pictures (PassInputs::k_Pictures) as the software
// device draws them. These are what the comparison draws with on both devices.
#include "PassImage.h"
#include "PassSequence.h"
#include "PassShader.h"
#include "SoftTestDevice.h"

#include <soft/SoftShaderComments.h>

#include <d3dx9.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

// Every state a pass of ours sets, so that each pass undoes the last one's.
const D3DRENDERSTATETYPE k_RenderStates[] = {
    D3DRS_ZENABLE,         D3DRS_ZWRITEENABLE,     D3DRS_ZFUNC,
    D3DRS_STENCILENABLE,   D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND,
    D3DRS_DESTBLEND,       D3DRS_BLENDOP,          D3DRS_SEPARATEALPHABLENDENABLE,
    D3DRS_ALPHATESTENABLE, D3DRS_FOGENABLE,        D3DRS_SCISSORTESTENABLE,
    D3DRS_SRGBWRITEENABLE, D3DRS_CLIPPLANEENABLE,  D3DRS_CULLMODE,
    D3DRS_FILLMODE,        D3DRS_COLORWRITEENABLE,
};
const D3DSAMPLERSTATETYPE k_SamplerStates[] = {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER, D3DSAMP_MIPFILTER,
                                               D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV};

std::string BaseName(const std::string& path) {
    std::string ls_Name = path.substr(path.find_last_of('/') + 1);
    return ls_Name.substr(0, ls_Name.rfind('.'));
}

bool Export(IDirect3DDevice9* device, const std::string& path, const std::string& out) {
    const std::string ls_Name = BaseName(path);
    ID3DXEffect* lr_Effect_ = nullptr;
    ID3DXBuffer* lr_Errors_ = nullptr;
    if (FAILED(
            D3DXCreateEffectFromFileA(device, path.c_str(), nullptr, nullptr, 0, nullptr, &lr_Effect_, &lr_Errors_))) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(),
                     lr_Errors_ ? static_cast<const char*>(lr_Errors_->GetBufferPointer()) : "no effect");
        if (lr_Errors_) lr_Errors_->Release();
        return false;
    }
    if (lr_Errors_) lr_Errors_->Release();
    bool lr_Done = false;
    // States a pass does not set are the device's defaults, not the last effect's.
    IDirect3DStateBlock9* lr_Defaults_ = nullptr;
    device->CreateStateBlock(D3DSBT_ALL, &lr_Defaults_);
    D3DXHANDLE lr_Technique = nullptr;
    D3DXPASS_DESC lr_Pass = {};
    UINT lr_Passes = 0;
    if (SUCCEEDED(lr_Effect_->FindNextValidTechnique(nullptr, &lr_Technique)) && lr_Technique &&
        SUCCEEDED(lr_Effect_->GetPassDesc(lr_Effect_->GetPass(lr_Technique, 0), &lr_Pass)) &&
        lr_Pass.pPixelShaderFunction && SUCCEEDED(lr_Effect_->SetTechnique(lr_Technique)) &&
        SUCCEEDED(lr_Effect_->Begin(&lr_Passes, D3DXFX_DONOTSAVESTATE)) && SUCCEEDED(lr_Effect_->BeginPass(0))) {
        std::vector<DWORD> lr_Tokens(
            lr_Pass.pPixelShaderFunction,
            lr_Pass.pPixelShaderFunction + SoftShaderTokenCount(lr_Pass.pPixelShaderFunction, SIZE_MAX));
        std::map<std::string, UINT> lr_Samplers, lr_Constants;
        PassShader::ReadConstantTable(lr_Tokens, lr_Samplers, lr_Constants);
        std::ofstream lr_Code(out + "/" + ls_Name + ".ps", std::ios::binary);
        lr_Code.write(reinterpret_cast<const char*>(lr_Tokens.data()),
                      static_cast<std::streamsize>(lr_Tokens.size() * sizeof(DWORD)));
        std::ofstream lr_States(out + "/" + ls_Name + ".states");
        for (D3DRENDERSTATETYPE lr_State : k_RenderStates) {
            DWORD lr_Value = 0;
            device->GetRenderState(lr_State, &lr_Value);
            lr_States << "render " << lr_State << " " << lr_Value << "\n";
        }
        for (const auto& lr_Sampler : lr_Samplers)
            for (D3DSAMPLERSTATETYPE lr_State : k_SamplerStates) {
                DWORD lr_Value = 0;
                device->GetSamplerState(lr_Sampler.second, lr_State, &lr_Value);
                lr_States << "sampler " << lr_Sampler.second << " " << lr_State << " " << lr_Value << "\n";
            }
        lr_Done = lr_Code.good() && lr_States.good();
        lr_Effect_->EndPass();
        lr_Effect_->End();
    }
    if (lr_Defaults_) {
        lr_Defaults_->Apply();
        lr_Defaults_->Release();
    }
    if (!lr_Done) std::fprintf(stderr, "%s: no pixel shader of a valid technique could be exported\n", path.c_str());
    lr_Effect_->Release();
    return lr_Done;
}

bool ExportNoise(IDirect3DDevice9* device, const std::string& path, const std::string& out) {
    IDirect3DTexture9* lr_Texture_ = nullptr;
    if (FAILED(D3DXCreateTextureFromFileA(device, path.c_str(), &lr_Texture_))) {
        std::fprintf(stderr, "%s: cannot load\n", path.c_str());
        return false;
    }
    PassImage lr_Image;
    D3DSURFACE_DESC lr_Desc = {};
    D3DLOCKED_RECT lr_Locked = {};
    bool lr_Done = false;
    if (SUCCEEDED(lr_Texture_->GetLevelDesc(0, &lr_Desc)) && PassImage::IsSupported(lr_Desc.Format) &&
        SUCCEEDED(lr_Texture_->LockRect(0, &lr_Locked, nullptr, D3DLOCK_READONLY))) {
        lr_Image.Width = lr_Desc.Width;
        lr_Image.Height = lr_Desc.Height;
        lr_Image.Format = lr_Desc.Format;
        lr_Image.BytesPerPixel = PassImage::BytesPerPixelOf(lr_Desc.Format);
        const size_t lr_Row = static_cast<size_t>(lr_Image.Width) * lr_Image.BytesPerPixel;
        for (UINT y = 0; y < lr_Image.Height; ++y) {
            const unsigned char* lr_Source = static_cast<const unsigned char*>(lr_Locked.pBits) + y * lr_Locked.Pitch;
            lr_Image.Bytes.insert(lr_Image.Bytes.end(), lr_Source, lr_Source + lr_Row);
        }
        lr_Texture_->UnlockRect(0);
        std::string ls_Error;
        lr_Done = lr_Image.Save(out + "/Noise.pix", ls_Error);
        if (!lr_Done) std::fprintf(stderr, "%s\n", ls_Error.c_str());
    } else {
        std::fprintf(stderr, "%s: format %d cannot be exported\n", path.c_str(), static_cast<int>(lr_Desc.Format));
    }
    lr_Texture_->Release();
    return lr_Done;
}

// The later passes' input pictures, as the software device draws them from
// its own results.
bool ExportPictures(IDirect3DDevice9* device, const std::string& out) {
    PassInputs lr_Inputs;
    std::string ls_Error;
    const std::map<std::string, std::string> lr_Names = {
        {"slices_d24s8_greaterequal", "DepthSlices"}, {"occlusion", "Occlusion"}, {"blur", "Blur"}};
    size_t lr_Saved = 0;
    bool lr_Done = PassInputs::Load(out, false, lr_Inputs, ls_Error) &&
                   PassSequence::Draw(
                       device, lr_Inputs,
                       [&](const std::string& name, const PassImage& image) {
                           auto lr_Name = lr_Names.find(name);
                           if (lr_Name != lr_Names.end() && image.Save(out + "/" + lr_Name->second + ".pix", ls_Error))
                               ++lr_Saved;
                       },
                       ls_Error);
    if (lr_Done && lr_Saved != lr_Names.size()) ls_Error = "not every input picture was drawn";
    if (!ls_Error.empty()) std::fprintf(stderr, "input pictures: %s\n", ls_Error.c_str());
    return ls_Error.empty();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: export_pass_shaders <out directory> <Noise.bmp> <effect.hlsl>...\n");
        return 2;
    }
    IDirect3D9* lr_Direct3D_ = nullptr;
    IDirect3DDevice9* lr_Device_ = nullptr;
    if (FAILED(CreateSoftDevice(SoftPresentParameters(64, 48), D3DCREATE_HARDWARE_VERTEXPROCESSING, &lr_Direct3D_,
                                &lr_Device_))) {
        std::fprintf(stderr, "no software device\n");
        return 1;
    }
    bool lr_Done = ExportNoise(lr_Device_, argv[2], argv[1]);
    for (int i = 3; i < argc; ++i) lr_Done = Export(lr_Device_, argv[i], argv[1]) && lr_Done;
    lr_Done = lr_Done && ExportPictures(lr_Device_, argv[1]);
    lr_Device_->Release();
    lr_Direct3D_->Release();
    return lr_Done ? 0 : 1;
}
