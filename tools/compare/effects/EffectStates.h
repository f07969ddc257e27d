// What an effect runtime sets on the device for each pass of each technique
// of an effect: its parameters given distinct values and textures, every
// pass begun (without saving state) and committed, and what the pass set,
// recorded through a state manager as "name = value" lines. Wine's D3DX and
// the substitute's run the same code, so their lines can be compared.
#pragma once

#include <d3d9.h>
#include <d3dx9.h>

#include <string>
#include <vector>

// One line per state the pass left set, sorted, each prefixed by
// "<technique>/<pass>: ". False with the failing step in `error`.
bool DescribeEffectStates(IDirect3DDevice9* device, ID3DXEffect* effect, std::vector<std::string>& lines,
                          std::string& error);
