#include "PluginModule.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

PluginModule::~PluginModule() { Unload(); }

bool PluginModule::Load(const std::string& path, std::string& error) {
    Unload();
    mr_Handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!mr_Handle_) {
        const char* lr_Reason = dlerror();
        error = lr_Reason ? lr_Reason : "dlopen failed";
        return false;
    }
    void* lr_Symbol = dlsym(mr_Handle_, k_CreatePluginExport);
    if (!lr_Symbol) {
        error = "the module exports no CreatePlugin";
        Unload();
        return false;
    }
    mr_CreatePlugin = reinterpret_cast<CreatePluginFunction>(lr_Symbol);
    return true;
}

void PluginModule::Unload() {
    if (mr_Handle_) dlclose(mr_Handle_);
    mr_Handle_ = nullptr;
    mr_CreatePlugin = nullptr;
}

std::string FindDefaultModule(const std::string& builtModule) {
    namespace fs = std::filesystem;
    std::error_code lr_Error;
    const fs::path lr_Exe = fs::read_symlink("/proc/self/exe", lr_Error);
    if (!lr_Error) {
        const fs::path lr_Dir = lr_Exe.parent_path();
        for (const fs::path& lr_Candidate : {lr_Dir / ".." / "plugin" / "libssao.so", lr_Dir / "libssao.so"})
            if (fs::is_regular_file(lr_Candidate, lr_Error)) return lr_Candidate.lexically_normal().string();
    }
    if (!builtModule.empty() && fs::is_regular_file(builtModule, lr_Error)) return builtModule;
    return std::string();
}
