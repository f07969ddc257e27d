// Loading of the effect files and the noise image from the host's data path.
#include "Plugin.h"

#include "Guids.h"
#include "TextConversion.h"

#include <string>

namespace {

// The host's data path, asked for anew each time; empty without a path service.
std::wstring DataPath(IHost* host) {
    IHostPaths* lr_Paths_ = host ? static_cast<IHostPaths*>(host->GetInterface(IID_IHostPaths)) : nullptr;
    return lr_Paths_ ? lr_Paths_->GetDataPath() : std::wstring();
}

}  // namespace

IShader* k_Plugin::LoadEffectFile(const std::string& file, const std::string& directory) {
    // The data path ends with a separator by contract; nothing is inserted.
    const std::string ls_VexilPath = ToAnsi(DataPath(mr_Host_));
    const std::string ls_File = ls_VexilPath + directory + "\\" + file;

    IShader* lr_Shader_ = mr_ShaderSystem_ ? mr_ShaderSystem_->CreateShaderFromFile(file, ls_File) : nullptr;

    // Each outcome is one append: a host writing to the same file cannot split it.
    const std::wstring ls_WideFile = FromAnsi(ls_File);
    if (!lr_Shader_) {
        Log(L"SSAO: ", ls_WideFile, L" shader not loaded. Critical error!\n");
    } else if (lr_Shader_->IsValid()) {
        Log(L"SSAO: ", ls_WideFile, L" shader loaded.\n");
    } else {
        Log(L"SSAO: ", ls_WideFile, L" shader not loaded:\n", FromAnsi(lr_Shader_->GetErrorMessage()), L"\n");
    }
    return lr_Shader_;
}

TextureRecord k_Plugin::LoadTextureFile(const std::wstring& file, const std::wstring& directory) {
    TextureRecord lr_Texture;
    const std::wstring ls_VexilPath = DataPath(mr_Host_);
    const std::wstring ls_File = ls_VexilPath + directory + L"\\" + file;

    D3DXIMAGE_INFO lr_Info;
    if (D3DXGetImageInfoFromFileW(ls_File.c_str(), &lr_Info) != D3D_OK) {
        Log(L"SSAO: ", ls_File, L" texture not loaded. Critical error!\n");
        return lr_Texture;
    }
    if (!mr_Device_ || D3DXCreateTextureFromFileW(mr_Device_, ls_File.c_str(), &lr_Texture.Texture) != D3D_OK) {
        Log(L"SSAO: ", ls_File, L" texture not loaded. Critical error!\n");
        // A failed call may still have written the pointer; hand back nothing.
        lr_Texture.Texture = nullptr;
        return lr_Texture;
    }
    lr_Texture.Format = lr_Info.Format;
    lr_Texture.Width = lr_Info.Width;
    lr_Texture.Height = lr_Info.Height;
    return lr_Texture;
}
