// ssao_pass_draws <shader directory> <output directory>
//
// Draws the comparison's passes on a real Direct3D 9 device and writes each
// read-back target as <name>.pix, with their names in order in passes.txt.
// The Linux test draws the same on the software device and compares.
#include "DeviceWindow.h"
#include "PassSequence.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::printf("usage: ssao_pass_draws <shader directory> <output directory>\n");
        return 2;
    }
    const std::string ls_Shaders = argv[1];
    const std::string ls_Out = argv[2];
    std::string ls_Error;
    PassInputs lr_Inputs;
    if (!PassInputs::Load(ls_Shaders, true, lr_Inputs, ls_Error)) {
        std::printf("pass draws: %s\n", ls_Error.c_str());
        return 1;
    }
    DeviceWindow lr_Window;
    if (!lr_Window.Create(PassSequence::k_Width, PassSequence::k_Height, ls_Error)) {
        std::printf("pass draws: device: %s\n", ls_Error.c_str());
        return 1;
    }
    // Binary: the Linux side reads "\n" line ends.
    std::ofstream lr_List(ls_Out + "/passes.txt", std::ios::binary);
    int lr_Written = 0;
    bool lr_Saved = true;
    const bool lr_Drawn = PassSequence::Draw(
        lr_Window.Device(), lr_Inputs,
        [&](const std::string& name, const PassImage& image) {
            std::string ls_SaveError;
            if (!image.Save(ls_Out + "/" + name + ".pix", ls_SaveError)) {
                std::printf("pass draws: %s\n", ls_SaveError.c_str());
                lr_Saved = false;
                return;
            }
            lr_List << name << "\n";
            ++lr_Written;
            std::printf("pass draws: %s (%ux%u, format %d)\n", name.c_str(), image.Width, image.Height,
                        static_cast<int>(image.Format));
        },
        ls_Error);
    lr_List.close();
    if (!lr_Drawn) std::printf("pass draws: %s\n", ls_Error.c_str());
    const ULONG lr_Left = lr_Window.ReleaseDevice();
    if (lr_Left != 0)
        std::printf("pass draws: the device still has %lu references\n", static_cast<unsigned long>(lr_Left));
    const bool lr_Passed = lr_Drawn && lr_Saved && lr_List.good() && lr_Left == 0;
    std::printf("pass draws: %d pictures written; %s\n", lr_Written, lr_Passed ? "PASSED" : "FAILED");
    return lr_Passed ? 0 : 1;
}
