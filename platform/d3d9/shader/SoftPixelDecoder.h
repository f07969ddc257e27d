// The decoder of a pixel shader's token stream into a SoftPixelProgram's
// instructions: the stream and its instructions (SoftPixelProgram.cpp), the
// registers, declarations and definitions they name and the checks at the
// end (SoftPixelOperands.cpp). Private to the device's shader room.
#pragma once

#include "shader/SoftPixelProgram.h"

#include <cstdio>
#include <string>
#include <vector>

// What a model offers pixel shaders: the registers of the shared table, and
// what the models after 2.0 add.
struct ModelLimits {
    UINT Temps;
    UINT Inputs;    // v#
    UINT Textures;  // t#
    UINT Floats;
    UINT Ints;
    UINT Bools;
    bool Flow;  // 2.x and 3.0: flow control, predication, derivatives, integer and boolean constants
    bool Model3;
};

// What kind of register a source may name.
enum class SourceUse { Float, Sampler, Int, Bool, BoolOrPredicate, Predicate };

struct FlowBlock {
    bool Loop;           // rep or loop; else an if
    bool AddressedLoop;  // loop (sets aL)
    bool HasElse;
    size_t Open;  // the if, else, rep or loop instruction
};

class SoftPixelDecoder {
public:
    SoftPixelDecoder(SoftPixelProgram& program, std::string& reason) : mr_Program(program), mr_Reason(reason) {}

    bool Run(const DWORD* tokens, size_t count);

private:
    bool Fail(const char* format, unsigned a = 0, unsigned b = 0) {
        char lr_Text[160];
        std::snprintf(lr_Text, sizeof(lr_Text), format, a, b);
        mr_Reason = lr_Text;
        return false;
    }

    bool Next(DWORD& token) {
        if (mr_Cursor >= mr_End) return Fail("instruction %u is shorter than its parameters", mr_Index);
        token = mr_Tokens[mr_Cursor++];
        if (!(token & 0x80000000u)) return Fail("instruction %u has a malformed parameter token", mr_Index);
        return true;
    }
    bool NextRaw(DWORD& token) {
        if (mr_Cursor >= mr_End) return Fail("instruction %u is shorter than its parameters", mr_Index);
        token = mr_Tokens[mr_Cursor++];
        return true;
    }

    bool Instruction(DWORD token);
    bool Declaration();
    bool Definition(DWORD opcode);
    bool Dest(SoftPixelInstruction& instruction, bool predicate);
    bool Source(SoftPixelOperand& operand, SourceUse use);
    bool LaneSlot(DWORD type, UINT number, SoftPixelOperand& operand);
    bool MatrixRows(SoftPixelInstruction& instruction, UINT rows);
    bool OpenBlock(bool loop, bool addressed);
    bool Finish();
    void NoteRead(const SoftPixelOperand& operand);

    SoftPixelProgram& mr_Program;
    std::string& mr_Reason;
    ModelLimits mr_Limits = {};  // set by Run from the version token
    const DWORD* mr_Tokens = nullptr;
    size_t mr_Cursor = 0;
    size_t mr_End = 0;
    unsigned mr_Index = 0;  // instruction number, for messages
    std::vector<FlowBlock> mr_Blocks;
    UINT mr_AddressedLoops = 0;
    // Registers declared by dcl, and read by instructions (checked at the end).
    UINT mr_DeclaredInputs = 0;    // bit per v#
    UINT mr_DeclaredTextures = 0;  // bit per t#
    BYTE mr_InputComponents[10] = {};
    UINT mr_ReadInputs = 0;
    UINT mr_ReadTextures = 0;
    bool mr_RelativeInputs = false;
    UINT mr_LocalIntSet = 0;
    UINT mr_LocalBoolSet = 0;
};
