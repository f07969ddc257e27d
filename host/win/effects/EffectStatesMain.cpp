// ssao_effect_states --data <dir\> --out <dir\>
//
// Loads each of the plug-in's compiled effects from the data folder with
// the real D3DX on a real device, and writes what each pass sets
// (EffectStates.h) to <effect file>.states in the output folder, for the
// comparison with the substitute's effect runtime on Linux.
#include "DeviceWindow.h"
#include "EffectStates.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr const char* k_EffectFiles[] = {"RenderBlack.hlsl", "RenderDepth.hlsl", "SSAO.hlsl", "ShowTexture.hlsl",
                                         "ZBlur.hlsl"};

std::string Narrow(const wchar_t* text) {
    const int lr_Size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string ls_Text(lr_Size > 0 ? static_cast<size_t>(lr_Size) : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &ls_Text[0], lr_Size, nullptr, nullptr);
    ls_Text.resize(ls_Text.size() - 1);
    if (!ls_Text.empty() && ls_Text.back() != '\\') ls_Text += '\\';
    return ls_Text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5 || std::wstring(argv[1]) != L"--data" || std::wstring(argv[3]) != L"--out") {
        std::printf("usage: ssao_effect_states --data <dir> --out <dir>\n");
        return 2;
    }
    const std::string ls_Data = Narrow(argv[2]), ls_Out = Narrow(argv[4]);
    DeviceWindow lr_Window;
    std::string ls_Error;
    if (!lr_Window.Create(64, 64, ls_Error)) {
        std::printf("effect states: no device: %s\n", ls_Error.c_str());
        return 1;
    }
    int lr_Failures = 0;
    for (const char* lr_File : k_EffectFiles) {
        const std::string ls_Path = ls_Data + "Plugins\\SSAO\\" + lr_File;
        ID3DXEffect* lr_Effect_ = nullptr;
        ID3DXBuffer* lr_Errors_ = nullptr;
        const HRESULT hr = D3DXCreateEffectFromFileA(lr_Window.Device(), ls_Path.c_str(), nullptr, nullptr, 0, nullptr,
                                                     &lr_Effect_, &lr_Errors_);
        if (lr_Errors_) lr_Errors_->Release();
        std::vector<std::string> lr_Lines;
        if (FAILED(hr) || !lr_Effect_ || !DescribeEffectStates(lr_Window.Device(), lr_Effect_, lr_Lines, ls_Error)) {
            std::printf("effect states: %s: %s\n", lr_File, FAILED(hr) ? "not loaded" : ls_Error.c_str());
            ++lr_Failures;
        } else {
            std::FILE* lr_Out_ = std::fopen((ls_Out + lr_File + ".states").c_str(), "wb");
            if (!lr_Out_) {
                ++lr_Failures;
            } else {
                for (const std::string& ls_Line : lr_Lines) std::fprintf(lr_Out_, "%s\n", ls_Line.c_str());
                std::fclose(lr_Out_);
                std::printf("effect states: %s: %zu lines\n", lr_File, lr_Lines.size());
            }
        }
        if (lr_Effect_) lr_Effect_->Release();
    }
    lr_Window.ReleaseDevice();
    return lr_Failures ? 1 : 0;
}
