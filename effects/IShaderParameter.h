// A typed, write-through handle on one parameter of an effect.
#pragma once

#include "ShaderParameterType.h"

#include <d3dx9.h>

#include <string>
#include <vector>

class IShaderParameter {
public:
    virtual ~IShaderParameter() {}
    virtual ShaderParameterType GetType() = 0;
    virtual void SetFloat4(const D3DXVECTOR4& value) = 0;
    virtual D3DXVECTOR4 GetFloat4() = 0;
    virtual void SetFloat3(const D3DXVECTOR3& value) = 0;
    virtual D3DXVECTOR3 GetFloat3() = 0;
    virtual void SetFloat2(const D3DXVECTOR2& value) = 0;
    virtual D3DXVECTOR2 GetFloat2() = 0;
    virtual void SetFloat(float value) = 0;
    virtual float GetFloat() = 0;
    virtual void SetInt(int value) = 0;
    virtual int GetInt() = 0;
    virtual void SetBool(bool value) = 0;
    virtual bool GetBool() = 0;
    virtual void SetString(const std::string& value) = 0;
    virtual std::string GetString() = 0;
    virtual void SetMatrix(const D3DXMATRIX& value) = 0;
    virtual D3DXMATRIX GetMatrix() = 0;
    virtual void SetTexture1D(IDirect3DBaseTexture9* texture) = 0;
    virtual IDirect3DBaseTexture9* GetTexture1D() = 0;
    virtual void SetTexture2D(IDirect3DBaseTexture9* texture) = 0;
    virtual IDirect3DBaseTexture9* GetTexture2D() = 0;
    virtual void SetTexture3D(IDirect3DBaseTexture9* texture) = 0;
    virtual IDirect3DBaseTexture9* GetTexture3D() = 0;
    virtual void SetTextureCube(IDirect3DBaseTexture9* texture) = 0;
    virtual IDirect3DBaseTexture9* GetTextureCube() = 0;
    virtual void SetFloat4Array(const std::vector<D3DXVECTOR4>& values) = 0;
    virtual std::vector<D3DXVECTOR4> GetFloat4Array() = 0;
    virtual void SetFloat3Array(const std::vector<D3DXVECTOR3>& values) = 0;
    virtual std::vector<D3DXVECTOR3> GetFloat3Array() = 0;
    virtual void SetFloat2Array(const std::vector<D3DXVECTOR2>& values) = 0;
    virtual std::vector<D3DXVECTOR2> GetFloat2Array() = 0;
    virtual void SetFloatArray(const std::vector<float>& values) = 0;
    virtual std::vector<float> GetFloatArray() = 0;
    virtual void SetIntArray(const std::vector<int>& values) = 0;
    virtual std::vector<int> GetIntArray() = 0;
    virtual unsigned GetElementCount() = 0;
    virtual const std::string& GetName() = 0;
    virtual bool IsValid() = 0;
    virtual void SetEffect(ID3DXEffect* effect) = 0;
    virtual D3DXHANDLE GetHandle() = 0;
};
