// ssao_demo_host: loads the SSAO plug-in module and drives it through a
// scripted session on the software Direct3D 9 device.
#include "DemoOptions.h"
#include "DemoSession.h"
#include "DemoStudy.h"
#include "PathHost.h"
#include "PluginModule.h"
#include "Utf8.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <system_error>

namespace {

namespace fs = std::filesystem;

std::string WithSeparator(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    DemoOptions lr_Options;
    std::string ls_Error;
    if (!ParseDemoOptions(argc, argv, lr_Options, ls_Error)) {
        std::cerr << "ssao_demo_host: " << ls_Error << "\n\n" << DemoUsage(argv[0]);
        return 2;
    }
    if (lr_Options.Help) {
        std::cout << DemoUsage(argv[0]);
        return 0;
    }

    std::error_code lr_Fs;
    const std::string ls_Module =
        lr_Options.ModulePath.empty() ? FindDefaultModule(SSAO_BUILT_MODULE) : lr_Options.ModulePath;
    if (ls_Module.empty() || !fs::is_regular_file(ls_Module, lr_Fs)) {
        std::cerr << "ssao_demo_host: plug-in module not found"
                  << (ls_Module.empty() ? std::string(" (looked beside the executable and in the build tree)")
                                        : ": " + ls_Module)
                  << "\nBuild the 'ssao' target or name the module with --module PATH.\n";
        return 2;
    }
    std::string ls_Data = WithSeparator(lr_Options.DataPath.empty() ? SSAO_DEFAULT_DATA_DIR : lr_Options.DataPath);
    if (!fs::is_directory(ls_Data + "Plugins/SSAO", lr_Fs)) {
        std::cerr << "ssao_demo_host: data folder " << ls_Data
                  << " holds no Plugins/SSAO folder.\nName the folder that does with --data PATH.\n";
        return 2;
    }
    const std::string ls_Output = WithSeparator(lr_Options.OutputPath);
    lr_Options.OutputPath = ls_Output;
    fs::create_directories(ls_Output, lr_Fs);
    if (!fs::is_directory(ls_Output, lr_Fs)) {
        std::cerr << "ssao_demo_host: cannot create the output folder " << ls_Output << "\n";
        return 2;
    }

    const std::string ls_ShippedEffects = ls_Data + "Plugins/SSAO";
    if (lr_Options.SetsProjection()) {
        // The host's own settings, in a copy: the data folder named is left alone.
        const SceneCamera lr_Camera = WithHostProjection(SceneCamera::DemoView(), lr_Options);
        const std::string ls_Copy = ls_Output + "data/";
        if (!WriteEffectFolder(ls_Data + "Plugins/SSAO", ls_Copy + "Plugins/SSAO", EffectSettings::ForCamera(lr_Camera),
                               ls_Error)) {
            std::cerr << "ssao_demo_host: " << ls_Error << "\n";
            return 2;
        }
        std::cout << "Settings.fxh for near " << lr_Camera.Near << ", far " << lr_Camera.Far
                  << (lr_Camera.ReversedDepth ? ", reversed depth" : "") << " written to " << ls_Copy
                  << "Plugins/SSAO/\n";
        ls_Data = ls_Copy;
    }

    std::cout << "SSAO demo host\n"
              << "  module : " << ls_Module << "\n"
              << "  data   : " << ls_Data << "\n"
              << "  output : " << ls_Output << "\n"
              << "  device : " << lr_Options.Width << "x" << lr_Options.Height << " "
              << FormatName(lr_Options.BackBufferFormat) << ", depth " << FormatName(lr_Options.DepthFormat) << "\n\n";

    DemoSession lr_Session(lr_Options, std::cout);
    if (!lr_Session.CreateDevice(ls_Error)) {
        std::cerr << "ssao_demo_host: " << ls_Error << "\n";
        return 1;
    }

    PluginModule lr_Module;
    if (!lr_Module.Load(ls_Module, ls_Error)) {
        std::cerr << "ssao_demo_host: cannot load " << ls_Module << ": " << ls_Error << "\n";
        return 2;
    }

    lr_Session.SetShippedEffects(ls_ShippedEffects);

    const std::string ls_LogPath = ls_Output + "Vexil.log";
    const size_t lr_LogStart = fs::is_regular_file(ls_LogPath, lr_Fs) ? fs::file_size(ls_LogPath, lr_Fs) : 0;

    PathHost lr_Host(WidenUtf8(ls_Output), WidenUtf8(ls_Data));
    const int lr_Status = lr_Session.Run(lr_Module.CreatePlugin(), &lr_Host, ls_LogPath, lr_LogStart);
    lr_Session.ReleaseDevice();
    lr_Module.Unload();
    return lr_Status;
}
