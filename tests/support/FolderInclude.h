// Includes from one folder, as the plug-in's effects find theirs beside them:
// for effects made from text that name the shipped headers.
#pragma once

#include "TestFiles.h"

#include <d3dx9.h>

#include <filesystem>
#include <list>
#include <string>
#include <utility>

class FolderInclude : public ID3DXInclude {
public:
    explicit FolderInclude(std::filesystem::path folder) : mr_Folder(std::move(folder)) {}
    STDMETHOD(Open)(D3DXINCLUDE_TYPE, LPCSTR pFileName, LPCVOID, LPCVOID* ppData, UINT* pBytes) override {
        mr_Texts.push_back(ReadText(mr_Folder / pFileName));
        *ppData = mr_Texts.back().data();
        *pBytes = static_cast<UINT>(mr_Texts.back().size());
        return mr_Texts.back().empty() ? E_FAIL : S_OK;
    }
    STDMETHOD(Close)(LPCVOID) override { return S_OK; }

private:
    std::filesystem::path mr_Folder;
    std::list<std::string> mr_Texts;
};
