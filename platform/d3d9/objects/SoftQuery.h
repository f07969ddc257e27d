// IDirect3DQuery9 of the software device. Occlusion queries count the
// samples that passed the depth and stencil tests in the draws between
// Issue(BEGIN) and Issue(END); every result waits for the device's query
// latency (presents after END, 0 by default) before GetData hands it over.
#pragma once

#include "objects/SoftObject.h"

#include <cstdint>

class SoftQuery final : public SoftUnknownImpl<IDirect3DQuery9> {
public:
    SoftQuery(SoftDevice* device, D3DQUERYTYPE type);

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceOut(ppDevice); }
    D3DQUERYTYPE STDMETHODCALLTYPE GetType() override { return mr_Type; }
    DWORD STDMETHODCALLTYPE GetDataSize() override;
    HRESULT STDMETHODCALLTYPE Issue(DWORD dwIssueFlags) override;
    HRESULT STDMETHODCALLTYPE GetData(void* pData, DWORD dwSize, DWORD dwGetDataFlags) override;

    // The types the adapter offers, before a test rules any out.
    static bool Supported(D3DQUERYTYPE type);

protected:
    bool Answers(REFIID riid) const override { return riid == IID_IDirect3DQuery9; }

private:
    enum class Phase {
        Created,   // never issued
        Building,  // BEGIN issued, END not yet
        Issued,    // END issued: the result arrives after the latency
    };

    D3DQUERYTYPE mr_Type;
    Phase mr_Phase;
    uint64_t mr_SamplesAtBegin;         // the device's passed-sample count at BEGIN
    uint64_t mr_Samples;                // the result once END is issued
    unsigned long long mr_ReadyAt;      // the device's present count from which the result is ready
    unsigned long long mr_LossAtIssue;  // the device's loss count when the query was begun or ended
};
