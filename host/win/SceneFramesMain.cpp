// ssao_scene_frames --module <ssao.dll> --base <dir\> --data <dir\> --out <dir\> [--size WxH] [--near D]
//                   [--view second] [--projection none] [--warm-up N]
//
// Draws the demo's room on the real Direct3D 9 device, hands it to the
// module with ShowAOOnly on and off, and writes the three frames
// (scene.ppm, occlusion.ppm, composite.ppm) to the output folder; the
// module's log goes to the base folder. The software device draws the same
// for the comparison on Linux. --near gives the host camera another near
// plane (the data folder's Settings.fxh must match it or leave it to the
// module); --view second draws the room from the quality tests' second view.
// --projection none draws as a host with vertex shaders, which leaves no
// projection for the module to read; --warm-up N draws N frames before the
// captured ones, for a module that measures the depth over frames.
#include "DeviceWindow.h"
#include "PathHost.h"
#include "SceneFrames.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring WithSeparator(std::wstring path) {
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
    return path;
}

std::string Narrow(const std::wstring& text) {
    const int lr_Size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string ls_Text(lr_Size > 0 ? static_cast<size_t>(lr_Size) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &ls_Text[0], lr_Size, nullptr, nullptr);
    ls_Text.resize(ls_Text.size() - 1);
    return ls_Text;
}

int Usage() {
    std::printf(
        "usage: ssao_scene_frames --module <ssao.dll> --base <dir> --data <dir> --out <dir> [--size WxH] [--near D] "
        "[--view second] [--projection none] [--warm-up N]\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring ls_Module, ls_Base, ls_Data, ls_Out;
    UINT lr_Width = 160, lr_Height = 90;
    SceneCamera lr_Camera = SceneCamera::DemoView();
    double lr_Near = lr_Camera.Near;
    bool lr_LeavesProjection = true;
    int lr_WarmUp = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring ls_Argument = argv[i];
        if (ls_Argument == L"--module")
            ls_Module = argv[i + 1];
        else if (ls_Argument == L"--base")
            ls_Base = WithSeparator(argv[i + 1]);
        else if (ls_Argument == L"--data")
            ls_Data = WithSeparator(argv[i + 1]);
        else if (ls_Argument == L"--out")
            ls_Out = WithSeparator(argv[i + 1]);
        else if (ls_Argument == L"--near") {
            if (swscanf(argv[i + 1], L"%lf", &lr_Near) != 1 || !(lr_Near > 0) || !(lr_Near < lr_Camera.Far))
                return Usage();
        } else if (ls_Argument == L"--view") {
            if (std::wstring(argv[i + 1]) != L"second") return Usage();
            lr_Camera = SceneCamera::SecondView();
        } else if (ls_Argument == L"--projection") {
            if (std::wstring(argv[i + 1]) != L"none") return Usage();
            lr_LeavesProjection = false;
        } else if (ls_Argument == L"--warm-up") {
            if (swscanf(argv[i + 1], L"%d", &lr_WarmUp) != 1 || lr_WarmUp < 0 || lr_WarmUp > 1000) return Usage();
        } else if (ls_Argument != L"--size" || swscanf(argv[i + 1], L"%ux%u", &lr_Width, &lr_Height) != 2)
            return Usage();
    }
    lr_Camera.Near = lr_Near;
    lr_Camera.LeavesProjection = lr_LeavesProjection;
    if (argc % 2 == 0 || ls_Module.empty() || ls_Base.empty() || ls_Data.empty() || ls_Out.empty()) return Usage();

    DeviceWindow lr_Window;
    std::string ls_Error;
    if (!lr_Window.Create(lr_Width, lr_Height, ls_Error)) {
        std::printf("scene frames: no device: %s\n", ls_Error.c_str());
        return 1;
    }
    HMODULE lr_Module_ = LoadLibraryW(ls_Module.c_str());
    FARPROC lr_Entry = lr_Module_ ? GetProcAddress(lr_Module_, k_CreatePluginExport) : nullptr;
    if (!lr_Entry) {
        std::printf("scene frames: cannot load the module or its CreatePlugin\n");
        return 1;
    }
    PathHost lr_Host(ls_Base, ls_Data);
    auto lr_Create = reinterpret_cast<CreatePluginFunction>(reinterpret_cast<void (*)()>(lr_Entry));
    IDirect3D9BasePlugin* lr_Plugin_ = lr_Create(lr_Host.AsHost());
    SceneFrames lr_Frames;
    const bool lr_Drawn =
        lr_Plugin_ && RunSceneFrames(lr_Window.Device(), lr_Plugin_, lr_Frames, ls_Error, lr_Camera, 0, lr_WarmUp);
    delete lr_Plugin_;
    FreeLibrary(lr_Module_);
    const ULONG lr_Left = lr_Window.ReleaseDevice();
    if (!lr_Drawn) {
        std::printf("scene frames: %s\n", ls_Error.c_str());
        return 1;
    }
    const std::string ls_Folder = Narrow(ls_Out);
    const bool lr_Written = WriteFramePpm(ls_Folder + "scene.ppm", lr_Frames.Scene) &&
                            WriteFramePpm(ls_Folder + "occlusion.ppm", lr_Frames.Occlusion) &&
                            WriteFramePpm(ls_Folder + "composite.ppm", lr_Frames.Composite);
    std::printf("scene frames: %ux%u drawn, %s, device references left %lu\n", lr_Width, lr_Height,
                lr_Written ? "written" : "NOT written", static_cast<unsigned long>(lr_Left));
    return lr_Written && lr_Left == 0 ? 0 : 1;
}
