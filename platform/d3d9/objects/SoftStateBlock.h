// A state block: a mask of which states it holds and their values.
#pragma once

#include "objects/SoftStateRecord.h"
#include "objects/SoftObject.h"

#include <memory>

class SoftStateBlock final : public SoftUnknownImpl<IDirect3DStateBlock9> {
public:
    SoftStateBlock(SoftDevice* device, D3DSTATEBLOCKTYPE type);

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceOut(ppDevice); }
    HRESULT STDMETHODCALLTYPE Capture() override;
    HRESULT STDMETHODCALLTYPE Apply() override;

    // Recording (BeginStateBlock): the device writes here and marks what it set.
    SoftDeviceState& Values() { return *mr_Values; }
    SoftStateMask& Mask() { return *mr_Mask; }
    // Copies the masked parts of one state into another.
    static void CopyMasked(SoftDeviceState& to, const SoftDeviceState& from, const SoftStateMask& mask);
    // Capture without counting a call (creation captures too).
    void CaptureState();
    // Whether a captured texture or buffer lives in D3DPOOL_DEFAULT: such a
    // block keeps a reset from succeeding, even after the application let go.
    bool HoldsDefaultPoolResource() const;

protected:
    bool Answers(REFIID riid) const override { return riid == IID_IDirect3DStateBlock9; }

private:
    // Large: kept on the heap so the object itself stays small.
    std::unique_ptr<SoftDeviceState> mr_Values;
    std::unique_ptr<SoftStateMask> mr_Mask;
    bool mr_All;
};
