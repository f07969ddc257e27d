// A shader's entries for its semantic, annotation and callback handlers.
// An entry handed over by the shader system (FromSystem) never deletes its
// handler; any other entry owns it and deletes it when the entry goes away.
// Entries move but never copy, so a handler is deleted exactly once.
#pragma once

#include "effects/HandlerInterfaces.h"
#include "effects/IShaderParameter.h"

#include <d3dx9.h>

#include <map>
#include <utility>

namespace ShaderHandlerEntry {

template <typename Handler>
void Release(Handler*& handler, bool fromSystem) {
    if (handler != nullptr && !fromSystem) {
        delete handler;
    }
    handler = nullptr;
}

}  // namespace ShaderHandlerEntry

struct SemanticHandlerContainer {
    ISemanticHandler* Handler = nullptr;
    IShaderParameter* Parameter = nullptr;  // owned by the shader's parameter list
    bool FromSystem = false;

    SemanticHandlerContainer() = default;
    SemanticHandlerContainer(ISemanticHandler* handler, bool fromSystem)
        : Handler(handler), FromSystem(fromSystem) {}
    SemanticHandlerContainer(SemanticHandlerContainer&& other) noexcept
        : Handler(std::exchange(other.Handler, nullptr)),
          Parameter(std::exchange(other.Parameter, nullptr)),
          FromSystem(other.FromSystem) {}
    SemanticHandlerContainer& operator=(SemanticHandlerContainer&& other) noexcept {
        if (this != &other) {
            ShaderHandlerEntry::Release(Handler, FromSystem);
            Handler = std::exchange(other.Handler, nullptr);
            Parameter = std::exchange(other.Parameter, nullptr);
            FromSystem = other.FromSystem;
        }
        return *this;
    }
    SemanticHandlerContainer(const SemanticHandlerContainer&) = delete;
    SemanticHandlerContainer& operator=(const SemanticHandlerContainer&) = delete;
    ~SemanticHandlerContainer() { ShaderHandlerEntry::Release(Handler, FromSystem); }
};

struct AnnotationHandlerContainer {
    IAnnotationHandler* Handler = nullptr;
    D3DXHANDLE Annotation = nullptr;
    bool FromSystem = false;

    AnnotationHandlerContainer() = default;
    AnnotationHandlerContainer(IAnnotationHandler* handler, bool fromSystem)
        : Handler(handler), FromSystem(fromSystem) {}
    AnnotationHandlerContainer(AnnotationHandlerContainer&& other) noexcept
        : Handler(std::exchange(other.Handler, nullptr)),
          Annotation(std::exchange(other.Annotation, nullptr)),
          FromSystem(other.FromSystem) {}
    AnnotationHandlerContainer& operator=(AnnotationHandlerContainer&& other) noexcept {
        if (this != &other) {
            ShaderHandlerEntry::Release(Handler, FromSystem);
            Handler = std::exchange(other.Handler, nullptr);
            Annotation = std::exchange(other.Annotation, nullptr);
            FromSystem = other.FromSystem;
        }
        return *this;
    }
    AnnotationHandlerContainer(const AnnotationHandlerContainer&) = delete;
    AnnotationHandlerContainer& operator=(const AnnotationHandlerContainer&) = delete;
    ~AnnotationHandlerContainer() { ShaderHandlerEntry::Release(Handler, FromSystem); }
};

struct CallbackHandlerContainer {
    ICallbackHandler* Handler = nullptr;
    std::map<unsigned, const char*> Passes;  // pass index -> pass handle
    bool FromSystem = false;

    CallbackHandlerContainer() = default;
    CallbackHandlerContainer(ICallbackHandler* handler, bool fromSystem)
        : Handler(handler), FromSystem(fromSystem) {}
    CallbackHandlerContainer(CallbackHandlerContainer&& other) noexcept
        : Handler(std::exchange(other.Handler, nullptr)),
          Passes(std::move(other.Passes)),
          FromSystem(other.FromSystem) {}
    CallbackHandlerContainer& operator=(CallbackHandlerContainer&& other) noexcept {
        if (this != &other) {
            ShaderHandlerEntry::Release(Handler, FromSystem);
            Handler = std::exchange(other.Handler, nullptr);
            Passes = std::move(other.Passes);
            FromSystem = other.FromSystem;
        }
        return *this;
    }
    CallbackHandlerContainer(const CallbackHandlerContainer&) = delete;
    CallbackHandlerContainer& operator=(const CallbackHandlerContainer&) = delete;
    ~CallbackHandlerContainer() { ShaderHandlerEntry::Release(Handler, FromSystem); }
};
