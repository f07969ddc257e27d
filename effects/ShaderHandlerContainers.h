// A shader's entries for its semantic, annotation and callback handlers.
// An entry handed over by the shader system (FromSystem) never deletes its
// handler; any other entry owns it and deletes it when the entry goes away.
// Entries move but never copy, so a handler is deleted exactly once.
#pragma once

#include "HandlerInterfaces.h"
#include "IShaderParameter.h"

#include <d3dx9.h>

#include <map>
#include <string>
#include <utility>

namespace ShaderHandlerEntry {

template <typename Handler>
void Release(Handler*& handler, bool fromSystem) {
    if (handler != nullptr && !fromSystem) {
        delete handler;
    }
    handler = nullptr;
}

// The name each kind of handler is entered under, in a shader and in the system.
inline const std::string& Key(ISemanticHandler& handler) { return handler.GetSemantic(); }
inline const std::string& Key(IAnnotationHandler& handler) { return handler.GetAnnotationName(); }
inline const std::string& Key(ICallbackHandler& handler) { return handler.GetName(); }

// The handler of an entry and who deletes it; each kind adds what it finds for it.
template <typename HandlerType>
struct Owner {
    HandlerType* Handler = nullptr;
    bool FromSystem = false;

    Owner() = default;
    Owner(HandlerType* handler, bool fromSystem) : Handler(handler), FromSystem(fromSystem) {}
    Owner(Owner&& other) noexcept : Handler(std::exchange(other.Handler, nullptr)), FromSystem(other.FromSystem) {}
    Owner& operator=(Owner&& other) noexcept {
        if (this != &other) {
            Release(Handler, FromSystem);
            Handler = std::exchange(other.Handler, nullptr);
            FromSystem = other.FromSystem;
        }
        return *this;
    }
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;
    ~Owner() { Release(Handler, FromSystem); }
};

}  // namespace ShaderHandlerEntry

struct SemanticHandlerContainer : ShaderHandlerEntry::Owner<ISemanticHandler> {
    using Owner::Owner;
    IShaderParameter* Parameter = nullptr;  // owned by the shader's parameter list
};

struct AnnotationHandlerContainer : ShaderHandlerEntry::Owner<IAnnotationHandler> {
    using Owner::Owner;
    D3DXHANDLE Annotation = nullptr;
};

struct CallbackHandlerContainer : ShaderHandlerEntry::Owner<ICallbackHandler> {
    using Owner::Owner;
    std::map<unsigned, const char*> Passes;  // pass index -> pass handle
};
