// A bound pixel shader as the rasteriser's quad shader: one interpreter
// per worker thread, the device's constants and the draw's samplers.
#pragma once

#include "objects/SoftStateRecord.h"
#include "shader/SoftPixelShaderVM.h"
#include "pipeline/SoftQuadShader.h"

#include <cstdint>
#include <vector>

class SoftPixelShaderStage final : public ISoftQuadShader {
public:
    explicit SoftPixelShaderStage(UINT workers);

    // Returns nullptr, or why the program cannot run here.
    const char* Configure(const SoftPixelProgram& program, const SoftDeviceState& state, ISoftTextureSampler* sampler);
    // Attribute components the program reads: bit 4 x slot + component
    // (slots numbered as SoftVertexFetch's).
    uint64_t ComponentMask() const { return mr_ComponentMask; }
    UINT ColorOutputMask() const { return mr_Program_ ? mr_Program_->ColorOutputMask() : 0u; }

    void ShadeQuad(const SoftPixelInputs inputs[4], const bool live[4], SoftPixelOutputs outputs[4],
                   UINT worker) override;

private:
    std::vector<SoftPixelShaderVM> mr_Machines;
    const SoftPixelProgram* mr_Program_;
    SoftPixelConstants mr_Constants;
    ISoftTextureSampler* mr_Sampler_;
    uint64_t mr_ComponentMask;
};
