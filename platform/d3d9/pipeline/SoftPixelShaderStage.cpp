#include "pipeline/SoftPixelShaderStage.h"

#include "pipeline/SoftVertexFetch.h"

SoftPixelShaderStage::SoftPixelShaderStage(UINT workers)
    : mr_Machines(workers), mr_Program_(nullptr), mr_Constants{}, mr_Sampler_(nullptr), mr_ComponentMask(0) {}

const char* SoftPixelShaderStage::Configure(const SoftPixelProgram& program, const SoftDeviceState& state,
                                            ISoftTextureSampler* sampler) {
    mr_Program_ = nullptr;
    if (!program.Runnable()) {
        return program.NotRunnableReason().empty() ? "the pixel shader cannot be interpreted"
                                                   : program.NotRunnableReason().c_str();
    }
    mr_Program_ = &program;
    mr_Constants = SoftPixelConstants{state.PixelConstantsF, state.PixelConstantsI, state.PixelConstantsB};
    mr_Sampler_ = sampler;
    mr_ComponentMask = 0;
    for (UINT i = 0; i < 2; ++i)
        mr_ComponentMask |= static_cast<uint64_t>(program.ColorInputMask(i) & 0xFu)
                            << (4 * (SOFT_ATTRIBUTE_DIFFUSE + i));
    for (UINT i = 0; i < 8; ++i)
        mr_ComponentMask |= static_cast<uint64_t>(program.TexCoordInputMask(i) & 0xFu)
                            << (4 * (SOFT_ATTRIBUTE_TEXCOORD0 + i));
    return nullptr;
}

void SoftPixelShaderStage::ShadeQuad(const SoftPixelInputs inputs[4], const bool live[4], SoftPixelOutputs outputs[4],
                                     UINT worker) {
    mr_Machines[worker].RunQuad(*mr_Program_, mr_Constants, inputs, live, *mr_Sampler_, outputs);
}
