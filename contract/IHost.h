// What a plug-in needs of the host engine that loads it: the host object and
// its path service. Slot orders are the host's: do not reorder.
#pragma once

#include "Guids.h"
#include "IObject.h"

#include <string>

// The object handed to CreatePlugin. The plug-in keeps it but never owns it.
class IHost : public IObject {};

// Answered by IHost::GetInterface(IID_IHostPaths). Not reference-counted:
// asked for again at each use. Every path ends in a separator.
class IHostPaths : public IObject {
public:
    virtual std::wstring GetApplicationPath() = 0;
    virtual std::wstring GetApplicationName() = 0;
    virtual std::wstring GetConfigPath() = 0;
    virtual std::wstring GetShaderPath() = 0;
    virtual std::wstring GetTexturePath() = 0;
    virtual std::wstring GetScreenshotPath() = 0;
    // Where the log file "Vexil.log" lives.
    virtual std::wstring GetBasePath() = 0;
    virtual std::wstring GetPluginPath() = 0;
    // Holds "Plugins\SSAO" with the effect files and the noise image.
    virtual std::wstring GetDataPath() = 0;
};
