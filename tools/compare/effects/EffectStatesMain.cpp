// ssao_effect_states --data <dir\> --out <dir\>
//
// Loads every compiled effect in the folder (files ending in .hlsl or .fx)
// with the real D3DX on a real device, and writes what the effect shows of
// itself (EffectDescription.h) to <file>.description and what each pass
// sets (EffectStates.h) to <file>.states in the output folder, for the
// comparison with the substitute on Linux.
#include "DeviceWindow.h"
#include "EffectDescription.h"
#include "EffectStates.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Narrow(const wchar_t* text) {
    const int lr_Size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string ls_Text(lr_Size > 0 ? static_cast<size_t>(lr_Size) : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &ls_Text[0], lr_Size, nullptr, nullptr);
    ls_Text.resize(ls_Text.size() - 1);
    if (!ls_Text.empty() && ls_Text.back() != '\\') ls_Text += '\\';
    return ls_Text;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::vector<std::string> EffectFiles(const std::string& folder) {
    std::vector<std::string> lr_Files;
    WIN32_FIND_DATAA lr_Found;
    HANDLE lr_Search = FindFirstFileA((folder + "*").c_str(), &lr_Found);
    if (lr_Search == INVALID_HANDLE_VALUE) return lr_Files;
    do {
        const std::string ls_Name = lr_Found.cFileName;
        if (!(lr_Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            (EndsWith(ls_Name, ".hlsl") || EndsWith(ls_Name, ".fx")))
            lr_Files.push_back(ls_Name);
    } while (FindNextFileA(lr_Search, &lr_Found));
    FindClose(lr_Search);
    std::sort(lr_Files.begin(), lr_Files.end());
    return lr_Files;
}

bool WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    std::FILE* lr_Out_ = std::fopen(path.c_str(), "wb");
    if (!lr_Out_) return false;
    for (const std::string& ls_Line : lines) std::fprintf(lr_Out_, "%s\n", ls_Line.c_str());
    return std::fclose(lr_Out_) == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5 || std::wstring(argv[1]) != L"--data" || std::wstring(argv[3]) != L"--out") {
        std::printf("usage: ssao_effect_states --data <dir> --out <dir>\n");
        return 2;
    }
    const std::string ls_Data = Narrow(argv[2]), ls_Out = Narrow(argv[4]);
    const std::vector<std::string> lr_Files = EffectFiles(ls_Data);
    if (lr_Files.empty()) {
        std::printf("effect states: no effect files in %s\n", ls_Data.c_str());
        return 1;
    }
    DeviceWindow lr_Window;
    std::string ls_Error;
    if (!lr_Window.Create(64, 64, ls_Error)) {
        std::printf("effect states: no device: %s\n", ls_Error.c_str());
        return 1;
    }
    int lr_Failures = 0;
    for (const std::string& ls_File : lr_Files) {
        // Each step said first, so that a runtime that never returns shows where.
        std::printf("effect states: %s: loading\n", ls_File.c_str());
        std::fflush(stdout);
        const std::string ls_Path = ls_Data + ls_File;
        ID3DXEffect* lr_Effect_ = nullptr;
        ID3DXBuffer* lr_Errors_ = nullptr;
        const HRESULT hr = D3DXCreateEffectFromFileA(lr_Window.Device(), ls_Path.c_str(), nullptr, nullptr, 0, nullptr,
                                                     &lr_Effect_, &lr_Errors_);
        if (lr_Errors_) lr_Errors_->Release();
        std::vector<std::string> lr_States;
        if (FAILED(hr) || !lr_Effect_) {
            std::printf("effect states: %s: not loaded\n", ls_File.c_str());
            ++lr_Failures;
            continue;
        }
        // Described before the states are recorded, which give every parameter a value.
        std::printf("effect states: %s: describing\n", ls_File.c_str());
        std::fflush(stdout);
        const std::vector<std::string> lr_Description = DescribeEffect(lr_Effect_);
        std::printf("effect states: %s: running its passes\n", ls_File.c_str());
        std::fflush(stdout);
        if (!DescribeEffectStates(lr_Window.Device(), lr_Effect_, lr_States, ls_Error)) {
            std::printf("effect states: %s: %s\n", ls_File.c_str(), ls_Error.c_str());
            ++lr_Failures;
        } else if (!WriteLines(ls_Out + ls_File + ".states", lr_States) ||
                   !WriteLines(ls_Out + ls_File + ".description", lr_Description)) {
            std::printf("effect states: %s: cannot write to %s\n", ls_File.c_str(), ls_Out.c_str());
            ++lr_Failures;
        } else {
            std::printf("effect states: %s: %zu lines of description, %zu of states\n", ls_File.c_str(),
                        lr_Description.size(), lr_States.size());
        }
        lr_Effect_->Release();
    }
    lr_Window.ReleaseDevice();
    return lr_Failures ? 1 : 0;
}
