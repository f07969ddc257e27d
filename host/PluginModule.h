// The plug-in module, loaded at run time as a host engine does.
#pragma once

#include "HostContract.h"

#include <string>

class PluginModule {
public:
    PluginModule() = default;
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    // False with the loader's reason in error.
    bool Load(const std::string& path, std::string& error);
    void Unload();
    CreatePluginFunction CreatePlugin() const { return mr_CreatePlugin; }

private:
    void* mr_Handle_ = nullptr;
    CreatePluginFunction mr_CreatePlugin = nullptr;
};

// The module to load when none is named: beside the build tree's host
// folder (../plugin/libssao.so), the one this host was built with, or
// libssao.so next to the executable. Empty when none exists.
std::string FindDefaultModule(const std::string& builtModule);
