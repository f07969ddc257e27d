// One pixel shader of the comparison as the Linux build exported it from an
// effect: <name>.ps holds the bytecode, <name>.states the render and sampler
// states the effect's pass sets ("render <state> <value>", "sampler
// <register> <state> <value>"). The registers of its samplers and constants
// come from the bytecode's own constant table, so both devices bind alike.
#pragma once

#include <d3d9.h>

#include <map>
#include <string>
#include <vector>

struct PassShader {
    struct SamplerState {
        DWORD Register;
        D3DSAMPLERSTATETYPE Type;
        DWORD Value;
    };
    std::string Name;
    std::vector<DWORD> Tokens;
    std::vector<std::pair<D3DRENDERSTATETYPE, DWORD>> RenderStates;
    std::vector<SamplerState> SamplerStates;
    std::map<std::string, UINT> Samplers;   // sampler name -> sampler register
    std::map<std::string, UINT> Constants;  // float constant name -> first register

    static bool Load(const std::string& directory, const std::string& name, PassShader& shader, std::string& error);
    // The constant table ("CTAB" comment) of a token stream; false without one.
    static bool ReadConstantTable(const std::vector<DWORD>& tokens, std::map<std::string, UINT>& samplers,
                                  std::map<std::string, UINT>& constants);
};
