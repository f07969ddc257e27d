#include "EffectDescription.h"

#include <soft/SoftShaderComments.h>

#include <cstdio>

namespace {

std::string Text(const char* text) { return text ? std::string("\"") + text + "\"" : "null"; }

// The value of a number, string or texture parameter; others show none.
std::string ValueOf(ID3DXEffect* effect, D3DXHANDLE handle, const D3DXPARAMETER_DESC& desc) {
    if (desc.Type == D3DXPT_STRING && !desc.Elements) {
        LPCSTR ls_Value = nullptr;
        return SUCCEEDED(effect->GetString(handle, &ls_Value)) ? " = " + Text(ls_Value) : " = unreadable";
    }
    if ((desc.Type == D3DXPT_BOOL || desc.Type == D3DXPT_INT || desc.Type == D3DXPT_FLOAT) && desc.Bytes % 4 == 0) {
        std::vector<DWORD> lr_Words(desc.Bytes / 4);
        if (lr_Words.empty() || FAILED(effect->GetValue(handle, lr_Words.data(), desc.Bytes))) return " = unreadable";
        std::string ls_Value = " =";
        for (DWORD lr_Word : lr_Words) {
            char lr_Hex[12];
            std::snprintf(lr_Hex, sizeof(lr_Hex), " %08lx", static_cast<unsigned long>(lr_Word));
            ls_Value += lr_Hex;
        }
        return ls_Value;
    }
    if (desc.Type >= D3DXPT_TEXTURE && desc.Type <= D3DXPT_TEXTURECUBE && !desc.Elements) {
        IDirect3DBaseTexture9* lr_Texture_ = nullptr;
        if (FAILED(effect->GetTexture(handle, &lr_Texture_))) return " = unreadable";
        if (lr_Texture_) lr_Texture_->Release();
        return lr_Texture_ ? " = a texture" : " = null";
    }
    return "";
}

// An object's size in pointers, which differ between the 32- and 64-bit runtimes.
std::string BytesOf(const D3DXPARAMETER_DESC& d) {
    if (d.Class != D3DXPC_OBJECT || d.Bytes == 0 || d.Bytes % sizeof(void*) != 0) return std::to_string(d.Bytes);
    return std::to_string(d.Bytes / sizeof(void*)) + " pointers";
}

std::string DescOf(const D3DXPARAMETER_DESC& d) {
    return Text(d.Name) + " : " + Text(d.Semantic) + " class " + std::to_string(d.Class) + " type " +
           std::to_string(d.Type) + " " + std::to_string(d.Rows) + "x" + std::to_string(d.Columns) + "[" +
           std::to_string(d.Elements) + "] members " + std::to_string(d.StructMembers) + " flags " +
           std::to_string(d.Flags) + " bytes " + BytesOf(d);
}

void Annotations(ID3DXEffect* effect, D3DXHANDLE owner, UINT count, const std::string& indent,
                 std::vector<std::string>& lines) {
    for (UINT a = 0; a < count; ++a) {
        D3DXHANDLE lr_Handle = effect->GetAnnotation(owner, a);
        D3DXPARAMETER_DESC d;
        if (!lr_Handle || FAILED(effect->GetParameterDesc(lr_Handle, &d))) {
            lines.push_back(indent + "annotation " + std::to_string(a) + " unreadable");
            continue;
        }
        lines.push_back(indent + "annotation " + DescOf(d) + ValueOf(effect, lr_Handle, d));
    }
}

// "<version> <entry point>", the entry point from the "FUNC" comment the
// shader compiler leaves after the version token.
std::string ShaderOf(const DWORD* tokens) {
    if (!tokens) return "none";
    char lr_Version[12];
    std::snprintf(lr_Version, sizeof(lr_Version), "%08lx", static_cast<unsigned long>(tokens[0]));
    const std::string ls_Entry = SoftShaderEntryName(tokens, SIZE_MAX);
    return ls_Entry.empty() ? std::string(lr_Version) : std::string(lr_Version) + " " + ls_Entry;
}

}  // namespace

std::vector<std::string> DescribeEffect(ID3DXEffect* effect) {
    std::vector<std::string> lr_Lines;
    D3DXEFFECT_DESC lr_Desc;
    if (FAILED(effect->GetDesc(&lr_Desc))) return {"GetDesc failed"};
    lr_Lines.push_back("effect: " + std::to_string(lr_Desc.Parameters) + " parameters, " +
                       std::to_string(lr_Desc.Techniques) + " techniques");
    for (UINT p = 0; p < lr_Desc.Parameters; ++p) {
        D3DXHANDLE lr_Handle = effect->GetParameter(nullptr, p);
        D3DXPARAMETER_DESC d;
        if (!lr_Handle || FAILED(effect->GetParameterDesc(lr_Handle, &d))) {
            lr_Lines.push_back("parameter " + std::to_string(p) + " unreadable");
            continue;
        }
        lr_Lines.push_back("parameter " + DescOf(d) + " annotations " + std::to_string(d.Annotations) +
                           ValueOf(effect, lr_Handle, d));
        for (UINT e = 0; e < d.Elements; ++e) {
            D3DXHANDLE lr_Element = effect->GetParameterElement(lr_Handle, e);
            D3DXPARAMETER_DESC de;
            if (!lr_Element || FAILED(effect->GetParameterDesc(lr_Element, &de)))
                lr_Lines.push_back("  element " + std::to_string(e) + " unreadable");
            else
                lr_Lines.push_back("  element " + DescOf(de) + ValueOf(effect, lr_Element, de));
        }
        Annotations(effect, lr_Handle, d.Annotations, "  ", lr_Lines);
    }
    for (UINT t = 0; t < lr_Desc.Techniques; ++t) {
        D3DXHANDLE lr_Technique = effect->GetTechnique(t);
        D3DXTECHNIQUE_DESC td;
        if (!lr_Technique || FAILED(effect->GetTechniqueDesc(lr_Technique, &td))) {
            lr_Lines.push_back("technique " + std::to_string(t) + " unreadable");
            continue;
        }
        lr_Lines.push_back("technique " + Text(td.Name) + ": " + std::to_string(td.Passes) + " passes, " +
                           std::to_string(td.Annotations) + " annotations");
        Annotations(effect, lr_Technique, td.Annotations, "  ", lr_Lines);
        for (UINT p = 0; p < td.Passes; ++p) {
            D3DXHANDLE lr_Pass = effect->GetPass(lr_Technique, p);
            D3DXPASS_DESC pd;
            if (!lr_Pass || FAILED(effect->GetPassDesc(lr_Pass, &pd))) {
                lr_Lines.push_back("  pass " + std::to_string(p) + " unreadable");
                continue;
            }
            lr_Lines.push_back("  pass " + Text(pd.Name) + ": " + std::to_string(pd.Annotations) +
                               " annotations, vertex shader " + ShaderOf(pd.pVertexShaderFunction) + ", pixel shader " +
                               ShaderOf(pd.pPixelShaderFunction));
            Annotations(effect, lr_Pass, pd.Annotations, "    ", lr_Lines);
        }
    }
    return lr_Lines;
}
