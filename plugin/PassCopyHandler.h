// The pass callback "CopyBackBuffer": a pass can read what the passes before
// it drew. Before such a pass begins, the back buffer is copied into the
// plug-in's texture that its string annotation "CopyInto" names by semantic
// ("ZBackBuffer", "BlurBackBuffer" or "BackBuffer"); the effect then reads
// it through that semantic as usual.
//
// The framework drops a callback from a shader at the first pass it does not
// cover, so an effect that copies anywhere marks every pass of its technique
// with `bool CopyBackBuffer = true;` and gives "CopyInto" only to the passes
// that want a copy. A pass without "CopyInto", or with an empty one, copies
// nothing.
#pragma once

#include "HandlerInterfaces.h"

#include <functional>
#include <string>

class PassCopyHandler final : public ICallbackHandler {
public:
    // `copy` is given the semantic a pass asks for; it makes the copy.
    explicit PassCopyHandler(std::function<void(const char* semantic)> copy)
        : mr_Name("CopyBackBuffer"), mr_Copy(std::move(copy)) {}

    PassResult Apply(IShader* shader, D3DXHANDLE pass) override;
    void Reset(IShader*) override {}
    const std::string& GetName() override { return mr_Name; }

private:
    const std::string mr_Name;
    std::function<void(const char* semantic)> mr_Copy;
};
