// Identity of the plug-in's published parameter.
#pragma once

#include <windows.h>

// {E11173DF-0193-4102-81E5-AC8256483E05}
inline const GUID IID_ShowAOOnlyParameter = {
    0xE11173DF, 0x0193, 0x4102, {0x81, 0xE5, 0xAC, 0x82, 0x56, 0x48, 0x3E, 0x05}};
