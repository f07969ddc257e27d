// ssao_occlusion_counts <output directory>
//
// Counts the occlusion probes of OcclusionProbes on a real Direct3D 9 device
// and writes "<name> <count>" lines to counts.txt. The Linux test counts the
// same on the software device and compares.
#include "DeviceWindow.h"
#include "OcclusionProbes.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: ssao_occlusion_counts <output directory>\n");
        return 2;
    }
    std::string ls_Error;
    DeviceWindow lr_Window;
    if (!lr_Window.Create(OcclusionProbes::k_Width, OcclusionProbes::k_Height, ls_Error)) {
        std::printf("occlusion counts: device: %s\n", ls_Error.c_str());
        return 1;
    }
    // Binary: the Linux side reads "\n" line ends.
    std::ofstream lr_Counts(std::string(argv[1]) + "/counts.txt", std::ios::binary);
    int lr_Written = 0;
    const bool lr_Counted = OcclusionProbes::Run(
        lr_Window.Device(), [] { Sleep(1); },
        [&](const std::string& name, DWORD count) {
            lr_Counts << name << " " << count << "\n";
            ++lr_Written;
            std::printf("occlusion counts: %s %lu\n", name.c_str(), static_cast<unsigned long>(count));
        },
        ls_Error);
    lr_Counts.close();
    if (!lr_Counted) std::printf("occlusion counts: %s\n", ls_Error.c_str());
    const ULONG lr_Left = lr_Window.ReleaseDevice();
    if (lr_Left != 0)
        std::printf("occlusion counts: the device still has %lu references\n", static_cast<unsigned long>(lr_Left));
    const bool lr_Passed = lr_Counted && lr_Counts.good() && lr_Written > 0 && lr_Left == 0;
    std::printf("occlusion counts: %d counts written; %s\n", lr_Written, lr_Passed ? "PASSED" : "FAILED");
    return lr_Passed ? 0 : 1;
}
