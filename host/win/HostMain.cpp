// ssao_win_host --module <ssao.dll> --base <dir\> --data <dir\> [--multisample <samples>]
//
// Runs the session script against the module on a real Direct3D 9 device,
// checking each step, and exits with 0 only when every check held (77 when
// the adapter offers no multisampling asked for).
#include "SessionChecks.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// The module appends file names to the paths as they are.
std::wstring WithSeparator(std::wstring path) {
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
    return path;
}

int Usage() {
    std::printf(
        "usage: ssao_win_host --module <ssao.dll> --base <directory> --data <directory> [--multisample <2..16>]\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    HostOptions lr_Options;
    for (int i = 1; i < argc; ++i) {
        std::wstring ls_Argument = argv[i];
        if (i + 1 >= argc) return Usage();
        if (ls_Argument == L"--module")
            lr_Options.ModulePath = argv[++i];
        else if (ls_Argument == L"--base")
            lr_Options.BasePath = WithSeparator(argv[++i]);
        else if (ls_Argument == L"--data")
            lr_Options.DataPath = WithSeparator(argv[++i]);
        else if (ls_Argument == L"--multisample") {
            const long lr_Samples = std::wcstol(argv[++i], nullptr, 10);
            if (lr_Samples < 2 || lr_Samples > 16) return Usage();
            lr_Options.MultiSample = static_cast<D3DMULTISAMPLE_TYPE>(lr_Samples);
        } else
            return Usage();
    }
    if (lr_Options.ModulePath.empty() || lr_Options.BasePath.empty() || lr_Options.DataPath.empty()) return Usage();

    int lr_Result = 1;
    {
        SessionChecks lr_Session(lr_Options);
        lr_Result = lr_Session.Run();
    }
    std::printf("host: %s\n", lr_Result == 0 ? "PASSED" : lr_Result == k_HostSkipped ? "SKIPPED" : "FAILED");
    return lr_Result;
}
