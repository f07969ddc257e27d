#include "objects/SoftQuery.h"

#include "objects/SoftDevice.h"

#include <algorithm>
#include <cstring>

SoftQuery::SoftQuery(SoftDevice* device, D3DQUERYTYPE type)
    : SoftUnknownImpl<IDirect3DQuery9>(device, SoftObjectKind::Query, false),
      mr_Type(type),
      mr_Phase(Phase::Created),
      mr_SamplesAtBegin(0),
      mr_Samples(0),
      mr_ReadyAt(0),
      mr_LossAtIssue(0) {}

bool SoftQuery::Supported(D3DQUERYTYPE type) {
    return type == D3DQUERYTYPE_EVENT || type == D3DQUERYTYPE_OCCLUSION || type == D3DQUERYTYPE_TIMESTAMP ||
           type == D3DQUERYTYPE_TIMESTAMPDISJOINT || type == D3DQUERYTYPE_TIMESTAMPFREQ;
}

DWORD STDMETHODCALLTYPE SoftQuery::GetDataSize() {
    switch (mr_Type) {
    case D3DQUERYTYPE_EVENT:
    case D3DQUERYTYPE_TIMESTAMPDISJOINT: return sizeof(BOOL);
    case D3DQUERYTYPE_OCCLUSION: return sizeof(DWORD);
    case D3DQUERYTYPE_TIMESTAMP:
    case D3DQUERYTYPE_TIMESTAMPFREQ: return sizeof(ULONGLONG);
    default: return 0;
    }
}

HRESULT STDMETHODCALLTYPE SoftQuery::Issue(DWORD dwIssueFlags) {
    HRESULT hr;
    if (mr_Device_->TakeFault(SoftCall::QueryIssue, &hr)) return hr;
    if (dwIssueFlags != D3DISSUE_BEGIN && dwIssueFlags != D3DISSUE_END) return D3DERR_INVALIDCALL;
    if (dwIssueFlags == D3DISSUE_BEGIN) {
        // Only these two have a beginning; the rest take END alone.
        if (mr_Type != D3DQUERYTYPE_OCCLUSION && mr_Type != D3DQUERYTYPE_TIMESTAMPDISJOINT) return D3DERR_INVALIDCALL;
        // A second BEGIN restarts the count (Windows and Wine answer D3D_OK).
        // Queries begun together count the same draws independently: each
        // takes the difference of the device's passed-sample total.
        mr_Phase = Phase::Building;
        mr_SamplesAtBegin = mr_Device_->SamplesPassed();
        mr_LossAtIssue = mr_Device_->LossCount();
        return D3D_OK;
    }
    if (mr_Phase == Phase::Building) {
        mr_Samples = mr_Device_->SamplesPassed() - mr_SamplesAtBegin;
    } else {
        // END without BEGIN succeeds on Windows (Microsoft's page calls it an
        // error): it closes an empty interval, so nothing is counted.
        mr_Samples = 0;
        mr_LossAtIssue = mr_Device_->LossCount();
    }
    mr_Phase = Phase::Issued;
    mr_ReadyAt = mr_Device_->PresentCount() + mr_Device_->QueryLatency();
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftQuery::GetData(void* pData, DWORD dwSize, DWORD dwGetDataFlags) {
    HRESULT hr;
    if (mr_Device_->TakeFault(SoftCall::QueryGetData, &hr)) return hr;
    // Windows crashes on a null buffer with a size; refusing shows the mistake.
    if (!pData && dwSize != 0) return D3DERR_INVALIDCALL;
    // A short buffer takes the first bytes, a long one no more than the data.
    const DWORD lr_Size = std::min(dwSize, GetDataSize());
    BYTE lr_Bytes[sizeof(ULONGLONG)] = {};
    switch (mr_Phase) {
    case Phase::Created:
        if (mr_Type == D3DQUERYTYPE_EVENT) {
            // An event query counts as begun with the device: it is signalled.
            const BOOL lr_True = TRUE;
            std::memcpy(lr_Bytes, &lr_True, sizeof(lr_True));
        } else {
            // Never issued: S_OK with 0xDD bytes, as Windows answers (Wine's tests).
            std::memset(lr_Bytes, 0xDD, sizeof(lr_Bytes));
        }
        if (lr_Size) std::memcpy(pData, lr_Bytes, lr_Size);
        return S_OK;
    case Phase::Building: return S_FALSE;
    case Phase::Issued: break;
    }
    // A query lives through a loss and a Reset, but its result was lost with
    // the device: only a new Issue gives one. D3DERR_DEVICELOST comes only
    // with D3DGETDATA_FLUSH; without it the result just never arrives.
    if (mr_Device_->Lost() || mr_LossAtIssue != mr_Device_->LossCount())
        return (dwGetDataFlags & D3DGETDATA_FLUSH) ? D3DERR_DEVICELOST : S_FALSE;
    if (mr_Device_->PresentCount() < mr_ReadyAt) return S_FALSE;
    switch (mr_Type) {
    case D3DQUERYTYPE_EVENT: {
        const BOOL lr_True = TRUE;
        std::memcpy(lr_Bytes, &lr_True, sizeof(lr_True));
        break;
    }
    case D3DQUERYTYPE_OCCLUSION: {
        // The count saturates rather than wraps (one of the answers Wine's tests accept).
        const DWORD lr_Count = static_cast<DWORD>(std::min<uint64_t>(mr_Samples, 0xFFFFFFFFu));
        std::memcpy(lr_Bytes, &lr_Count, sizeof(lr_Count));
        break;
    }
    case D3DQUERYTYPE_TIMESTAMPFREQ: {
        const ULONGLONG lr_Frequency = 1000000;
        std::memcpy(lr_Bytes, &lr_Frequency, sizeof(lr_Frequency));
        break;
    }
    default: break;  // timestamps 0, never disjoint
    }
    if (lr_Size) std::memcpy(pData, lr_Bytes, lr_Size);
    return S_OK;
}
