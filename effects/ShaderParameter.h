// One effect parameter as a typed, write-through cache: every accepted set is
// kept here and written to the effect at once; gets read the cache only.
#pragma once

#include "IShaderParameter.h"
#include "ShaderParameterType.h"

#include <d3dx9.h>

#include <string>
#include <variant>
#include <vector>

class ShaderParameter : public IShaderParameter {
public:
    ShaderParameter(const std::string& name, ID3DXEffect* effect, D3DXHANDLE handle, ShaderParameterType type,
                    unsigned elementCount);
    ~ShaderParameter() override;

    ShaderParameter(const ShaderParameter&) = delete;
    ShaderParameter& operator=(const ShaderParameter&) = delete;

    ShaderParameterType GetType() override;
    void SetFloat4(const D3DXVECTOR4& value) override;
    D3DXVECTOR4 GetFloat4() override;
    void SetFloat3(const D3DXVECTOR3& value) override;
    D3DXVECTOR3 GetFloat3() override;
    void SetFloat2(const D3DXVECTOR2& value) override;
    D3DXVECTOR2 GetFloat2() override;
    void SetFloat(float value) override;
    float GetFloat() override;
    void SetInt(int value) override;
    int GetInt() override;
    void SetBool(bool value) override;
    bool GetBool() override;
    void SetString(const std::string& value) override;
    std::string GetString() override;
    void SetMatrix(const D3DXMATRIX& value) override;
    D3DXMATRIX GetMatrix() override;
    void SetTexture1D(IDirect3DBaseTexture9* texture) override;
    IDirect3DBaseTexture9* GetTexture1D() override;
    void SetTexture2D(IDirect3DBaseTexture9* texture) override;
    IDirect3DBaseTexture9* GetTexture2D() override;
    void SetTexture3D(IDirect3DBaseTexture9* texture) override;
    IDirect3DBaseTexture9* GetTexture3D() override;
    void SetTextureCube(IDirect3DBaseTexture9* texture) override;
    IDirect3DBaseTexture9* GetTextureCube() override;
    void SetFloat4Array(const std::vector<D3DXVECTOR4>& values) override;
    std::vector<D3DXVECTOR4> GetFloat4Array() override;
    void SetFloat3Array(const std::vector<D3DXVECTOR3>& values) override;
    std::vector<D3DXVECTOR3> GetFloat3Array() override;
    void SetFloat2Array(const std::vector<D3DXVECTOR2>& values) override;
    std::vector<D3DXVECTOR2> GetFloat2Array() override;
    void SetFloatArray(const std::vector<float>& values) override;
    std::vector<float> GetFloatArray() override;
    void SetIntArray(const std::vector<int>& values) override;
    std::vector<int> GetIntArray() override;
    unsigned GetElementCount() override;
    const std::string& GetName() override;
    bool IsValid() override;
    void SetEffect(ID3DXEffect* effect) override;
    D3DXHANDLE GetHandle() override;

private:
    // The cached value. Each value type appears once, so a get of another
    // type than the stored one finds no value and returns a default instead
    // of reading past it. Texture pointers are borrowed, never referenced.
    using Value = std::variant<std::monostate, float, D3DXVECTOR2, D3DXVECTOR3, D3DXVECTOR4, D3DXMATRIX, int, bool,
                               std::string, IDirect3DBaseTexture9*, std::vector<D3DXVECTOR4>, std::vector<D3DXVECTOR3>,
                               std::vector<D3DXVECTOR2>, std::vector<float>, std::vector<int>>;

    bool Accepts(ShaderParameterType type);
    template <typename T>
    void Store(ShaderParameterType type, const T& value, unsigned elementCount);
    template <typename T>
    T Cached(const T& fallback) const;
    void Commit();
    void SetDefault();

    std::string mr_Name;
    ID3DXEffect* mr_Effect_;
    D3DXHANDLE mr_Handle;
    ShaderParameterType mr_Type;
    Value mr_Value;
    unsigned mr_ElementCount;
    bool mr_Valid;
};
