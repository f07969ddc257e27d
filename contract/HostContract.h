// What a host may know of the module, in one place: the interfaces it drives
// the plug-in through, the identifiers it asks for, and the one export by
// which it creates the plug-in. Hosts and tests include this, not copies.
#pragma once

#include "Guids.h"
#include "ICheckBoxParameter.h"
#include "IDirect3D9BasePlugin.h"
#include "IHost.h"
#include "IParameter.h"

#include <windows.h>

// {E11173DF-0193-4102-81E5-AC8256483E05}: the plug-in's ShowAOOnly check box.
inline const GUID IID_ShowAOOnlyParameter = {
    0xE11173DF, 0x0193, 0x4102, {0x81, 0xE5, 0xAC, 0x82, 0x56, 0x48, 0x3E, 0x05}};

// The module's one export, looked up by this name. The host owns the plug-in
// it returns (null without memory) and deletes it through its destructor.
inline constexpr char k_CreatePluginExport[] = "CreatePlugin";
using CreatePluginFunction = IDirect3D9BasePlugin*(__cdecl*)(IHost* host);
