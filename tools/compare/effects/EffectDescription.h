// What an effect shows of itself through the D3DX API: its parameters
// (descriptions, elements, values, annotations), techniques and passes
// (names, annotations, shaders by version and entry point), one line each
// in the effect's order. Wine's D3DX reading a compiled effect and the
// substitute's reading its text run the same code, so their lines can be
// compared.
#pragma once

#include <d3dx9.h>

#include <string>
#include <vector>

std::vector<std::string> DescribeEffect(ID3DXEffect* effect);
