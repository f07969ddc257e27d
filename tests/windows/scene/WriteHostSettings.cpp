// Copies the shipped effect folder with a Settings.fxh for the demo's view
// with another near plane, the folder the ordinary-projection frames are
// compiled from; with "own" for the near plane, the shipped settings asking
// for the plug-in's own fixed slices, so that both devices slice alike.
//
//   write_host_settings <shipped Plugins/SSAO> <output folder> <near plane | own>
#include "EffectSettings.h"
#include "SceneCamera.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    char* lr_End = nullptr;
    SceneCamera lr_Camera = SceneCamera::DemoView();
    if (argc == 4 && std::string(argv[3]) == "own") {
        EffectSettings lr_Own = EffectSettings::Shipped();
        lr_Own.PluginSlices = true;
        std::string ls_Error;
        if (WriteEffectFolder(argv[1], argv[2], lr_Own, ls_Error)) return 0;
        std::fprintf(stderr, "write_host_settings: %s\n", ls_Error.c_str());
        return 1;
    }
    if (argc == 4) lr_Camera.Near = std::strtod(argv[3], &lr_End);
    if (argc != 4 || lr_End == argv[3] || *lr_End != '\0' || !(lr_Camera.Near > 0) ||
        !(lr_Camera.Near < lr_Camera.Far)) {
        std::fprintf(stderr, "usage: write_host_settings <shipped Plugins/SSAO> <output folder> <near plane | own>\n");
        return 2;
    }
    std::string ls_Error;
    if (!WriteEffectFolder(argv[1], argv[2], EffectSettings::ForCamera(lr_Camera), ls_Error)) {
        std::fprintf(stderr, "write_host_settings: %s\n", ls_Error.c_str());
        return 1;
    }
    return 0;
}
