// How the framework types an effect parameter from its D3DX description.
#pragma once

#include "ShaderParameterType.h"

#include <d3dx9.h>

// Derives the type of a parameter found by name or, with bySemantic, by
// semantic. False for a description the framework does not support.
bool ClassifyParameter(const D3DXPARAMETER_DESC& description, bool bySemantic, ShaderParameterType& type);
