// Reading and writing parameter and annotation values, with the type
// checks and number conversions of D3DX.
#include "effect/Effect.h"

#include <cmath>
#include <cstring>

namespace softfx {

namespace {

bool IsNumeric(const ValueNode& node) {
    return node.Type == D3DXPT_BOOL || node.Type == D3DXPT_INT || node.Type == D3DXPT_FLOAT;
}
bool IsTexture(const ValueNode& node) { return node.Type >= D3DXPT_TEXTURE && node.Type <= D3DXPT_TEXTURECUBE; }
bool IsSingleNumber(const ValueNode& node) {
    return IsNumeric(node) && node.Elements == 0 && node.Rows == 1 && node.Columns == 1;
}

float ReadFloat(D3DXPARAMETER_TYPE type, DWORD bits) {
    if (type == D3DXPT_FLOAT) {
        float lr_Value;
        std::memcpy(&lr_Value, &bits, sizeof(lr_Value));
        return lr_Value;
    }
    if (type == D3DXPT_BOOL) return bits ? 1.0f : 0.0f;
    return static_cast<float>(static_cast<INT>(bits));
}
INT ReadInt(D3DXPARAMETER_TYPE type, DWORD bits) {
    if (type == D3DXPT_FLOAT) {
        const float lr_Value = ReadFloat(type, bits);
        if (std::isnan(lr_Value)) return 0;
        if (lr_Value >= 2147483647.0f) return 2147483647;
        if (lr_Value <= -2147483648.0f) return INT32_MIN;
        return static_cast<INT>(lr_Value);
    }
    if (type == D3DXPT_BOOL) return bits ? 1 : 0;
    return static_cast<INT>(bits);
}
BOOL ReadBool(D3DXPARAMETER_TYPE type, DWORD bits) {
    if (type == D3DXPT_FLOAT) return ReadFloat(type, bits) != 0.0f ? TRUE : FALSE;
    return bits ? TRUE : FALSE;
}
DWORD FromFloat(D3DXPARAMETER_TYPE type, float value) {
    if (type == D3DXPT_FLOAT) {
        DWORD lr_Bits;
        std::memcpy(&lr_Bits, &value, sizeof(lr_Bits));
        return lr_Bits;
    }
    if (type == D3DXPT_BOOL) return value != 0.0f ? 1u : 0u;
    return static_cast<DWORD>(ReadInt(D3DXPT_FLOAT, FromFloat(D3DXPT_FLOAT, value)));
}
DWORD FromInt(D3DXPARAMETER_TYPE type, INT value) {
    if (type == D3DXPT_FLOAT) return FromFloat(type, static_cast<float>(value));
    if (type == D3DXPT_BOOL) return value ? 1u : 0u;
    return static_cast<DWORD>(value);
}
DWORD FromBool(D3DXPARAMETER_TYPE type, BOOL value) {
    if (type == D3DXPT_FLOAT) return FromFloat(type, value ? 1.0f : 0.0f);
    return value ? 1u : 0u;
}

}  // namespace

// Storage ------------------------------------------------------------------

ValueNode& Effect::Root(ValueNode& node) {
    return node.Parent >= 0 ? mr_Definition.Nodes[static_cast<size_t>(node.Parent)] : node;
}

DWORD* Effect::Numbers(ValueNode& node, size_t& count) {
    ValueNode& lr_Root = Root(node);
    const size_t lr_PerElement = static_cast<size_t>(node.Rows) * node.Columns;
    if (node.Parent >= 0) {
        count = lr_PerElement;
        const size_t lr_Offset = lr_PerElement * node.ElementIndex;
        if (lr_Offset + count > lr_Root.Numbers.size()) return nullptr;
        return lr_Root.Numbers.data() + lr_Offset;
    }
    count = lr_Root.Numbers.size();
    return count ? lr_Root.Numbers.data() : nullptr;
}

IDirect3DBaseTexture9** Effect::TextureSlot(ValueNode& node) {
    ValueNode& lr_Root = Root(node);
    const size_t lr_Index = node.Parent >= 0 ? node.ElementIndex : 0;
    return lr_Index < lr_Root.Textures.size() ? &lr_Root.Textures[lr_Index] : nullptr;
}

std::string* Effect::StringSlot(ValueNode& node) {
    ValueNode& lr_Root = Root(node);
    const size_t lr_Index = node.Parent >= 0 ? node.ElementIndex : 0;
    return lr_Index < lr_Root.Strings.size() ? &lr_Root.Strings[lr_Index] : nullptr;
}

int* Effect::ShaderSlot(ValueNode& node) {
    ValueNode& lr_Root = Root(node);
    const size_t lr_Index = node.Parent >= 0 ? node.ElementIndex : 0;
    return lr_Index < lr_Root.Shaders.size() ? &lr_Root.Shaders[lr_Index] : nullptr;
}

// Numbers ------------------------------------------------------------------
// Every numeric call goes through a block: the numbers of a node that takes
// the call, converted one by one between the caller's type and the stored one.

struct NumberBlock {
    const ValueNode* Node = nullptr;
    DWORD* Data = nullptr;  // nullptr when the node does not take the call
    size_t Size = 0;
};

NumberBlock Effect::NumbersOf(D3DXHANDLE handle, bool (*accepts)(const ValueNode&)) {
    NumberBlock lr_Block;
    ValueNode* lr_Node_ = FindNode(handle);
    if (!lr_Node_ || !accepts(*lr_Node_)) return lr_Block;
    lr_Block.Node = lr_Node_;
    lr_Block.Data = Numbers(*lr_Node_, lr_Block.Size);
    return lr_Block;
}

namespace {

// As many values as both sides have.
template <typename T>
HRESULT StoreNumbers(const NumberBlock& block, const T* values, size_t count, DWORD (*convert)(D3DXPARAMETER_TYPE, T)) {
    if (!block.Data || (!values && count)) return D3DERR_INVALIDCALL;
    for (size_t i = 0; i < count && i < block.Size; ++i) block.Data[i] = convert(block.Node->Type, values[i]);
    return D3D_OK;
}

template <typename T>
HRESULT LoadNumbers(const NumberBlock& block, T* values, size_t count, T (*convert)(D3DXPARAMETER_TYPE, DWORD)) {
    if (!block.Data || (!values && count)) return D3DERR_INVALIDCALL;
    for (size_t i = 0; i < count && i < block.Size; ++i) values[i] = convert(block.Node->Type, block.Data[i]);
    return D3D_OK;
}

// An array call names no more elements than the array has.
bool TakesElements(const NumberBlock& block, const void* values, UINT count) {
    return block.Data && (values || !count) && count <= block.Node->Elements;
}

NumberBlock Element(const NumberBlock& block, UINT element) {
    const size_t lr_Per = static_cast<size_t>(block.Node->Rows) * block.Node->Columns;
    return NumberBlock{block.Node, block.Data + element * lr_Per, lr_Per};
}

bool IsVectorValue(const ValueNode& node) {
    return IsNumeric(node) && !node.Elements && (node.Class == D3DXPC_SCALAR || node.Class == D3DXPC_VECTOR);
}
bool IsVectorArray(const ValueNode& node) { return IsNumeric(node) && node.Elements && node.Class == D3DXPC_VECTOR; }
bool IsMatrix(const ValueNode& node) {
    return IsNumeric(node) && (node.Class == D3DXPC_MATRIX_ROWS || node.Class == D3DXPC_MATRIX_COLUMNS);
}
bool IsMatrixValue(const ValueNode& node) { return IsMatrix(node) && !node.Elements; }
bool IsMatrixArray(const ValueNode& node) { return IsMatrix(node) && node.Elements; }

}  // namespace

// Scalars: a single number of any numeric type.

STDMETHODIMP Effect::SetBool(D3DXHANDLE hParameter, BOOL b) {
    return StoreNumbers(NumbersOf(hParameter, IsSingleNumber), &b, 1, FromBool);
}
STDMETHODIMP Effect::GetBool(D3DXHANDLE hParameter, BOOL* pb) {
    return LoadNumbers(NumbersOf(hParameter, IsSingleNumber), pb, 1, ReadBool);
}
STDMETHODIMP Effect::SetInt(D3DXHANDLE hParameter, INT n) {
    return StoreNumbers(NumbersOf(hParameter, IsSingleNumber), &n, 1, FromInt);
}
STDMETHODIMP Effect::GetInt(D3DXHANDLE hParameter, INT* pn) {
    return LoadNumbers(NumbersOf(hParameter, IsSingleNumber), pn, 1, ReadInt);
}
STDMETHODIMP Effect::SetFloat(D3DXHANDLE hParameter, FLOAT f) {
    return StoreNumbers(NumbersOf(hParameter, IsSingleNumber), &f, 1, FromFloat);
}
STDMETHODIMP Effect::GetFloat(D3DXHANDLE hParameter, FLOAT* pf) {
    return LoadNumbers(NumbersOf(hParameter, IsSingleNumber), pf, 1, ReadFloat);
}

// Flat arrays of numbers: any numeric parameter, as many components as both sides have.

STDMETHODIMP Effect::SetBoolArray(D3DXHANDLE hParameter, const BOOL* pb, UINT Count) {
    return StoreNumbers(NumbersOf(hParameter, IsNumeric), pb, Count, FromBool);
}
STDMETHODIMP Effect::GetBoolArray(D3DXHANDLE hParameter, BOOL* pb, UINT Count) {
    return LoadNumbers(NumbersOf(hParameter, IsNumeric), pb, Count, ReadBool);
}
STDMETHODIMP Effect::SetIntArray(D3DXHANDLE hParameter, const INT* pn, UINT Count) {
    return StoreNumbers(NumbersOf(hParameter, IsNumeric), pn, Count, FromInt);
}
STDMETHODIMP Effect::GetIntArray(D3DXHANDLE hParameter, INT* pn, UINT Count) {
    return LoadNumbers(NumbersOf(hParameter, IsNumeric), pn, Count, ReadInt);
}
STDMETHODIMP Effect::SetFloatArray(D3DXHANDLE hParameter, const FLOAT* pf, UINT Count) {
    return StoreNumbers(NumbersOf(hParameter, IsNumeric), pf, Count, FromFloat);
}
STDMETHODIMP Effect::GetFloatArray(D3DXHANDLE hParameter, FLOAT* pf, UINT Count) {
    return LoadNumbers(NumbersOf(hParameter, IsNumeric), pf, Count, ReadFloat);
}

// Vectors: the first components of a D3DXVECTOR4, as many as the parameter has.

STDMETHODIMP Effect::SetVector(D3DXHANDLE hParameter, const D3DXVECTOR4* pVector) {
    if (!pVector) return D3DERR_INVALIDCALL;
    const float lr_In[4] = {pVector->x, pVector->y, pVector->z, pVector->w};
    return StoreNumbers(NumbersOf(hParameter, IsVectorValue), lr_In, 4, FromFloat);
}

STDMETHODIMP Effect::GetVector(D3DXHANDLE hParameter, D3DXVECTOR4* pVector) {
    if (!pVector) return D3DERR_INVALIDCALL;
    // Components the parameter does not have keep the caller's values.
    float lr_Out[4] = {pVector->x, pVector->y, pVector->z, pVector->w};
    const HRESULT lr_Result = LoadNumbers(NumbersOf(hParameter, IsVectorValue), lr_Out, 4, ReadFloat);
    if (SUCCEEDED(lr_Result)) *pVector = D3DXVECTOR4(lr_Out[0], lr_Out[1], lr_Out[2], lr_Out[3]);
    return lr_Result;
}

STDMETHODIMP Effect::SetVectorArray(D3DXHANDLE hParameter, const D3DXVECTOR4* pVector, UINT Count) {
    const NumberBlock lr_Block = NumbersOf(hParameter, IsVectorArray);
    if (!TakesElements(lr_Block, pVector, Count)) return D3DERR_INVALIDCALL;
    for (UINT e = 0; e < Count; ++e) {
        const float lr_In[4] = {pVector[e].x, pVector[e].y, pVector[e].z, pVector[e].w};
        StoreNumbers(Element(lr_Block, e), lr_In, 4, FromFloat);
    }
    return D3D_OK;
}

STDMETHODIMP Effect::GetVectorArray(D3DXHANDLE hParameter, D3DXVECTOR4* pVector, UINT Count) {
    const NumberBlock lr_Block = NumbersOf(hParameter, IsVectorArray);
    if (!TakesElements(lr_Block, pVector, Count)) return D3DERR_INVALIDCALL;
    for (UINT e = 0; e < Count; ++e) {
        float lr_Out[4] = {0, 0, 0, 0};
        LoadNumbers(Element(lr_Block, e), lr_Out, 4, ReadFloat);
        pVector[e] = D3DXVECTOR4(lr_Out[0], lr_Out[1], lr_Out[2], lr_Out[3]);
    }
    return D3D_OK;
}

// Matrices: a Rows x Columns block against a 4x4 matrix, optionally transposed.

namespace {

HRESULT StoreMatrix(const NumberBlock& block, const D3DXMATRIX* m, bool transpose) {
    if (!block.Data || !m) return D3DERR_INVALIDCALL;
    const UINT lr_Rows = block.Node->Rows;
    const UINT lr_Columns = block.Node->Columns;
    for (UINT r = 0; r < lr_Rows && r < 4; ++r)
        for (UINT c = 0; c < lr_Columns && c < 4; ++c)
            block.Data[r * lr_Columns + c] = FromFloat(block.Node->Type, transpose ? m->m[c][r] : m->m[r][c]);
    return D3D_OK;
}

HRESULT LoadMatrix(const NumberBlock& block, D3DXMATRIX* m, bool transpose) {
    if (!block.Data || !m) return D3DERR_INVALIDCALL;
    const UINT lr_Rows = block.Node->Rows;
    const UINT lr_Columns = block.Node->Columns;
    for (UINT r = 0; r < 4; ++r)
        for (UINT c = 0; c < 4; ++c) m->m[r][c] = 0.0f;
    for (UINT r = 0; r < lr_Rows && r < 4; ++r)
        for (UINT c = 0; c < lr_Columns && c < 4; ++c) {
            const float lr_Value = ReadFloat(block.Node->Type, block.Data[r * lr_Columns + c]);
            if (transpose)
                m->m[c][r] = lr_Value;
            else
                m->m[r][c] = lr_Value;
        }
    return D3D_OK;
}

// `matrix(e)` is the caller's matrix for element e; a null one stops the call there.
template <typename Source>
HRESULT StoreMatrices(const NumberBlock& block, const void* values, UINT count, Source matrix, bool transpose) {
    if (!TakesElements(block, values, count)) return D3DERR_INVALIDCALL;
    for (UINT e = 0; e < count; ++e)
        if (FAILED(StoreMatrix(Element(block, e), matrix(e), transpose))) return D3DERR_INVALIDCALL;
    return D3D_OK;
}

template <typename Target>
HRESULT LoadMatrices(const NumberBlock& block, const void* values, UINT count, Target matrix, bool transpose) {
    if (!TakesElements(block, values, count)) return D3DERR_INVALIDCALL;
    for (UINT e = 0; e < count; ++e)
        if (FAILED(LoadMatrix(Element(block, e), matrix(e), transpose))) return D3DERR_INVALIDCALL;
    return D3D_OK;
}

}  // namespace

STDMETHODIMP Effect::SetMatrix(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix) {
    return StoreMatrix(NumbersOf(hParameter, IsMatrixValue), pMatrix, false);
}
STDMETHODIMP Effect::GetMatrix(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix) {
    return LoadMatrix(NumbersOf(hParameter, IsMatrixValue), pMatrix, false);
}
STDMETHODIMP Effect::SetMatrixTranspose(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix) {
    return StoreMatrix(NumbersOf(hParameter, IsMatrixValue), pMatrix, true);
}
STDMETHODIMP Effect::GetMatrixTranspose(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix) {
    return LoadMatrix(NumbersOf(hParameter, IsMatrixValue), pMatrix, true);
}

STDMETHODIMP Effect::SetMatrixArray(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix, UINT Count) {
    return StoreMatrices(
        NumbersOf(hParameter, IsMatrixArray), pMatrix, Count, [&](UINT e) { return &pMatrix[e]; }, false);
}
STDMETHODIMP Effect::GetMatrixArray(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix, UINT Count) {
    return LoadMatrices(
        NumbersOf(hParameter, IsMatrixArray), pMatrix, Count, [&](UINT e) { return &pMatrix[e]; }, false);
}
STDMETHODIMP Effect::SetMatrixPointerArray(D3DXHANDLE hParameter, const D3DXMATRIX** ppMatrix, UINT Count) {
    return StoreMatrices(
        NumbersOf(hParameter, IsMatrixArray), ppMatrix, Count, [&](UINT e) { return ppMatrix[e]; }, false);
}
STDMETHODIMP Effect::GetMatrixPointerArray(D3DXHANDLE hParameter, D3DXMATRIX** ppMatrix, UINT Count) {
    return LoadMatrices(
        NumbersOf(hParameter, IsMatrixArray), ppMatrix, Count, [&](UINT e) { return ppMatrix[e]; }, false);
}
STDMETHODIMP Effect::SetMatrixTransposeArray(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix, UINT Count) {
    return StoreMatrices(
        NumbersOf(hParameter, IsMatrixArray), pMatrix, Count, [&](UINT e) { return &pMatrix[e]; }, true);
}
STDMETHODIMP Effect::GetMatrixTransposeArray(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix, UINT Count) {
    return LoadMatrices(
        NumbersOf(hParameter, IsMatrixArray), pMatrix, Count, [&](UINT e) { return &pMatrix[e]; }, true);
}
STDMETHODIMP Effect::SetMatrixTransposePointerArray(D3DXHANDLE hParameter, const D3DXMATRIX** ppMatrix, UINT Count) {
    return StoreMatrices(
        NumbersOf(hParameter, IsMatrixArray), ppMatrix, Count, [&](UINT e) { return ppMatrix[e]; }, true);
}
STDMETHODIMP Effect::GetMatrixTransposePointerArray(D3DXHANDLE hParameter, D3DXMATRIX** ppMatrix, UINT Count) {
    return LoadMatrices(
        NumbersOf(hParameter, IsMatrixArray), ppMatrix, Count, [&](UINT e) { return ppMatrix[e]; }, true);
}

// Objects ------------------------------------------------------------------
// One object each: no arrays, and the parameter's own type only.

namespace {

bool IsString(const ValueNode& node) { return node.Type == D3DXPT_STRING; }
bool IsPixelShader(const ValueNode& node) { return node.Type == D3DXPT_PIXELSHADER; }
bool IsVertexShader(const ValueNode& node) { return node.Type == D3DXPT_VERTEXSHADER; }

ValueNode* SingleObject(ValueNode* node, bool (*accepts)(const ValueNode&)) {
    return node && !node->Elements && accepts(*node) ? node : nullptr;
}

// The device object of a shader slot (-1: none), with a reference for the caller.
template <typename Object>
HRESULT HandOutShader(const int* slot, const std::vector<CompiledShader>& shaders, Object* CompiledShader::*object,
                      Object** out) {
    if (!slot || !out) return D3DERR_INVALIDCALL;
    *out = *slot >= 0 ? shaders[static_cast<size_t>(*slot)].*object : nullptr;
    if (*out) (*out)->AddRef();
    return D3D_OK;
}

}  // namespace

STDMETHODIMP Effect::SetString(D3DXHANDLE hParameter, LPCSTR pString) {
    ValueNode* lr_Node_ = SingleObject(FindNode(hParameter), IsString);
    std::string* lr_Slot = lr_Node_ ? StringSlot(*lr_Node_) : nullptr;
    if (!lr_Slot || !pString) return D3DERR_INVALIDCALL;
    *lr_Slot = pString;
    return D3D_OK;
}

STDMETHODIMP Effect::GetString(D3DXHANDLE hParameter, LPCSTR* ppString) {
    ValueNode* lr_Node_ = SingleObject(FindNode(hParameter), IsString);
    std::string* lr_Slot = lr_Node_ ? StringSlot(*lr_Node_) : nullptr;
    if (!lr_Slot || !ppString) return D3DERR_INVALIDCALL;
    *ppString = lr_Slot->c_str();
    return D3D_OK;
}

STDMETHODIMP Effect::SetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9 pTexture) {
    ValueNode* lr_Node_ = SingleObject(FindNode(hParameter), IsTexture);
    IDirect3DBaseTexture9** lr_Slot = lr_Node_ ? TextureSlot(*lr_Node_) : nullptr;
    if (!lr_Slot) return D3DERR_INVALIDCALL;
    // Reference the new texture before letting go of the old: they may be the same.
    if (pTexture) pTexture->AddRef();
    if (*lr_Slot) (*lr_Slot)->Release();
    *lr_Slot = pTexture;
    return D3D_OK;
}

STDMETHODIMP Effect::GetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9* ppTexture) {
    ValueNode* lr_Node_ = SingleObject(FindNode(hParameter), IsTexture);
    IDirect3DBaseTexture9** lr_Slot = lr_Node_ ? TextureSlot(*lr_Node_) : nullptr;
    if (!lr_Slot || !ppTexture) return D3DERR_INVALIDCALL;
    *ppTexture = *lr_Slot;
    if (*ppTexture) (*ppTexture)->AddRef();
    return D3D_OK;
}

STDMETHODIMP Effect::GetPixelShader(D3DXHANDLE hParameter, LPDIRECT3DPIXELSHADER9* ppPShader) {
    ValueNode* lr_Node_ = SingleObject(FindNode(hParameter), IsPixelShader);
    return HandOutShader(lr_Node_ ? ShaderSlot(*lr_Node_) : nullptr, mr_Definition.Shaders,
                         &CompiledShader::PixelObject, ppPShader);
}

STDMETHODIMP Effect::GetVertexShader(D3DXHANDLE hParameter, LPDIRECT3DVERTEXSHADER9* ppVShader) {
    ValueNode* lr_Node_ = SingleObject(FindNode(hParameter), IsVertexShader);
    return HandOutShader(lr_Node_ ? ShaderSlot(*lr_Node_) : nullptr, mr_Definition.Shaders,
                         &CompiledShader::VertexObject, ppVShader);
}

STDMETHODIMP Effect::SetArrayRange(D3DXHANDLE, UINT, UINT) { return D3D_OK; }

// Raw values ---------------------------------------------------------------
// Numbers as stored; strings as an array of LPCSTR; textures as an array of
// texture pointers (pointer-sized, whatever Bytes the description reports).

STDMETHODIMP Effect::SetValue(D3DXHANDLE hParameter, LPCVOID pData, UINT Bytes) {
    ValueNode* lr_Node_ = FindNode(hParameter);
    if (!lr_Node_ || !pData) return D3DERR_INVALIDCALL;
    const size_t lr_Elements = lr_Node_->Elements ? lr_Node_->Elements : 1;
    if (IsNumeric(*lr_Node_)) {
        size_t lr_Size;
        DWORD* lr_Data = Numbers(*lr_Node_, lr_Size);
        if (!lr_Data || Bytes < lr_Size * sizeof(DWORD)) return D3DERR_INVALIDCALL;
        std::memcpy(lr_Data, pData, lr_Size * sizeof(DWORD));
        return D3D_OK;
    }
    if (lr_Node_->Type == D3DXPT_STRING) {
        if (Bytes < lr_Elements * sizeof(LPCSTR)) return D3DERR_INVALIDCALL;
        const LPCSTR* lr_Strings = static_cast<const LPCSTR*>(pData);
        for (size_t i = 0; i < lr_Elements; ++i)
            if (!lr_Strings[i]) return D3DERR_INVALIDCALL;
        ValueNode& lr_Root = Root(*lr_Node_);
        const size_t lr_First = lr_Node_->Parent >= 0 ? lr_Node_->ElementIndex : 0;
        for (size_t i = 0; i < lr_Elements && lr_First + i < lr_Root.Strings.size(); ++i)
            lr_Root.Strings[lr_First + i] = lr_Strings[i];
        return D3D_OK;
    }
    if (IsTexture(*lr_Node_)) {
        if (Bytes < lr_Elements * sizeof(IDirect3DBaseTexture9*)) return D3DERR_INVALIDCALL;
        IDirect3DBaseTexture9* const* lr_Textures = static_cast<IDirect3DBaseTexture9* const*>(pData);
        ValueNode& lr_Root = Root(*lr_Node_);
        const size_t lr_First = lr_Node_->Parent >= 0 ? lr_Node_->ElementIndex : 0;
        for (size_t i = 0; i < lr_Elements && lr_First + i < lr_Root.Textures.size(); ++i) {
            IDirect3DBaseTexture9*& lr_Slot = lr_Root.Textures[lr_First + i];
            if (lr_Textures[i]) lr_Textures[i]->AddRef();
            if (lr_Slot) lr_Slot->Release();
            lr_Slot = lr_Textures[i];
        }
        return D3D_OK;
    }
    return D3DERR_INVALIDCALL;
}

STDMETHODIMP Effect::GetValue(D3DXHANDLE hParameter, LPVOID pData, UINT Bytes) {
    ValueNode* lr_Node_ = FindNode(hParameter);
    if (!lr_Node_ || !pData) return D3DERR_INVALIDCALL;
    const size_t lr_Elements = lr_Node_->Elements ? lr_Node_->Elements : 1;
    if (IsNumeric(*lr_Node_)) {
        size_t lr_Size;
        DWORD* lr_Data = Numbers(*lr_Node_, lr_Size);
        if (!lr_Data || Bytes < lr_Size * sizeof(DWORD)) return D3DERR_INVALIDCALL;
        std::memcpy(pData, lr_Data, lr_Size * sizeof(DWORD));
        return D3D_OK;
    }
    if (lr_Node_->Type == D3DXPT_STRING) {
        if (Bytes < lr_Elements * sizeof(LPCSTR)) return D3DERR_INVALIDCALL;
        LPCSTR* lr_Out = static_cast<LPCSTR*>(pData);
        ValueNode& lr_Root = Root(*lr_Node_);
        const size_t lr_First = lr_Node_->Parent >= 0 ? lr_Node_->ElementIndex : 0;
        for (size_t i = 0; i < lr_Elements; ++i)
            lr_Out[i] = lr_First + i < lr_Root.Strings.size() ? lr_Root.Strings[lr_First + i].c_str() : nullptr;
        return D3D_OK;
    }
    if (IsTexture(*lr_Node_)) {
        if (Bytes < lr_Elements * sizeof(IDirect3DBaseTexture9*)) return D3DERR_INVALIDCALL;
        IDirect3DBaseTexture9** lr_Out = static_cast<IDirect3DBaseTexture9**>(pData);
        ValueNode& lr_Root = Root(*lr_Node_);
        const size_t lr_First = lr_Node_->Parent >= 0 ? lr_Node_->ElementIndex : 0;
        for (size_t i = 0; i < lr_Elements; ++i) {
            lr_Out[i] = lr_First + i < lr_Root.Textures.size() ? lr_Root.Textures[lr_First + i] : nullptr;
            if (lr_Out[i]) lr_Out[i]->AddRef();
        }
        return D3D_OK;
    }
    return D3DERR_INVALIDCALL;
}

STDMETHODIMP Effect::SetRawValue(D3DXHANDLE hParameter, LPCVOID pData, UINT ByteOffset, UINT Bytes) {
    ValueNode* lr_Node_ = FindNode(hParameter);
    if (!lr_Node_ || !pData || !IsNumeric(*lr_Node_)) return D3DERR_INVALIDCALL;
    size_t lr_Size;
    DWORD* lr_Data = Numbers(*lr_Node_, lr_Size);
    const size_t lr_Total = lr_Size * sizeof(DWORD);
    if (!lr_Data || ByteOffset > lr_Total || Bytes > lr_Total - ByteOffset) return D3DERR_INVALIDCALL;
    std::memcpy(reinterpret_cast<BYTE*>(lr_Data) + ByteOffset, pData, Bytes);
    return D3D_OK;
}

}  // namespace softfx
