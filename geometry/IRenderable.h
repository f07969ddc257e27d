// Something the shader loop can draw without knowing what it is: Bind once
// before an effect's passes, Draw once inside every pass.
#pragma once

#include <d3d9.h>

class IRenderable {
public:
    virtual void Draw(IDirect3DDevice9* device) = 0;
    virtual void Bind(IDirect3DDevice9* device) = 0;

protected:
    // Owners delete through the concrete class; keeping the destructor out
    // of the table leaves it two slots long.
    ~IRenderable() = default;
};
