#include "RecordingEffect.h"

void RecordingEffect::AddParameter(const std::string& name, unsigned elements) { mr_Parameters[name] = elements; }

D3DXHANDLE RecordingEffect::HandleOf(const std::string& target) {
    for (const std::string& lr_Handle : mr_Handles) {
        if (lr_Handle == target) {
            return lr_Handle.c_str();
        }
    }
    mr_Handles.push_back(target);
    return mr_Handles.back().c_str();
}

std::string RecordingEffect::TargetOf(D3DXHANDLE handle) const {
    for (const std::string& lr_Handle : mr_Handles) {
        if (lr_Handle.c_str() == handle) {
            return lr_Handle;
        }
    }
    return handle == nullptr ? "<null>" : "<unknown>";
}

RecordingEffect::Write& RecordingEffect::Record(const char* operation, D3DXHANDLE handle) {
    Write lr_Write;
    lr_Write.Operation = operation;
    lr_Write.Target = TargetOf(handle);
    mr_Writes.push_back(lr_Write);
    return mr_Writes.back();
}

D3DXHANDLE RecordingEffect::GetParameterByName(D3DXHANDLE parent, LPCSTR name) {
    if (parent != nullptr || name == nullptr || mr_Parameters.count(name) == 0) {
        return nullptr;
    }
    return HandleOf(name);
}

D3DXHANDLE RecordingEffect::GetParameterElement(D3DXHANDLE parameter, UINT index) {
    ++mr_ElementLookups;
    std::string ls_Name = TargetOf(parameter);
    auto lr_Found = mr_Parameters.find(ls_Name);
    if (lr_Found == mr_Parameters.end() || index >= lr_Found->second) {
        return nullptr;
    }
    return HandleOf(ls_Name + "[" + std::to_string(index) + "]");
}

HRESULT RecordingEffect::SetBool(D3DXHANDLE parameter, BOOL value) {
    Record("SetBool", parameter).Bool = value;
    return parameter != nullptr ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT RecordingEffect::SetInt(D3DXHANDLE parameter, INT value) {
    Record("SetInt", parameter).Int = value;
    return parameter != nullptr ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT RecordingEffect::SetFloat(D3DXHANDLE parameter, FLOAT value) {
    Record("SetFloat", parameter).Float = value;
    return parameter != nullptr ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT RecordingEffect::SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* value) {
    Record("SetVector", parameter).Vector = *value;
    return parameter != nullptr ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT RecordingEffect::SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* value) {
    Record("SetMatrix", parameter).Matrix = *value;
    return parameter != nullptr ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT RecordingEffect::SetString(D3DXHANDLE parameter, LPCSTR value) {
    Record("SetString", parameter).Text = value;
    return parameter != nullptr ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT RecordingEffect::SetTexture(D3DXHANDLE parameter, LPDIRECT3DBASETEXTURE9 value) {
    Record("SetTexture", parameter).Texture = value;
    return parameter != nullptr ? D3D_OK : D3DERR_INVALIDCALL;
}
