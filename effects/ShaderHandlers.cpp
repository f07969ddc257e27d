// The shader's handler entries: adding, removing and finding them, and the
// steps that Begin, BeginPass and Reload run over them.
#include "Shader.h"

#include "ShaderSystem.h"

namespace {

using ShaderHandlerEntry::Key;

// Caller's add. An entry handed over by the system gives way to a caller's
// handler, but never to the very handler it holds: the shader would then
// delete a handler that the system also deletes.
template <typename Container, typename Handler>
bool AddOwnedEntry(std::map<std::string, Container>& entries, Handler* handler, Container&& entry) {
    const std::string& ls_Key = Key(*handler);
    auto lr_Found = entries.find(ls_Key);
    if (lr_Found == entries.end()) {
        entries.emplace(ls_Key, std::move(entry));
        return true;
    }
    if (!lr_Found->second.FromSystem || lr_Found->second.Handler == handler) {
        // The refused handler stays the caller's.
        entry.Handler = nullptr;
        return false;
    }
    lr_Found->second = std::move(entry);
    return true;
}

template <typename Container, typename Handler>
bool OwnsEntry(std::map<std::string, Container>& entries, Handler* handler) {
    if (handler == nullptr) {
        return false;
    }
    auto lr_Found = entries.find(Key(*handler));
    return lr_Found != entries.end() && !lr_Found->second.FromSystem && lr_Found->second.Handler == handler;
}

template <typename Container, typename Handler>
bool AddSystemEntry(std::map<std::string, Container>& entries, Handler* handler, Container&& entry) {
    const std::string& ls_Key = Key(*handler);
    if (entries.find(ls_Key) != entries.end()) {
        return false;
    }
    entries.emplace(ls_Key, std::move(entry));
    return true;
}

template <typename Container, typename Handler>
bool EraseEntry(std::map<std::string, Container>& entries, Handler* handler) {
    if (handler == nullptr) {
        return false;
    }
    auto lr_Found = entries.find(Key(*handler));
    if (lr_Found == entries.end()) {
        return false;
    }
    entries.erase(lr_Found);
    return true;
}

template <typename Container>
auto FindHandler(std::map<std::string, Container>& entries, const std::string& key) {
    auto lr_Found = entries.find(key);
    return lr_Found != entries.end() ? lr_Found->second.Handler : nullptr;
}

template <typename Container, typename Handler>
void DropEntriesOf(std::map<std::string, Container>& entries, Handler* handler) {
    for (auto lr_Entry = entries.begin(); lr_Entry != entries.end();) {
        if (lr_Entry->second.FromSystem && lr_Entry->second.Handler == handler) {
            lr_Entry = entries.erase(lr_Entry);
        } else {
            ++lr_Entry;
        }
    }
}

template <typename Container>
void DropSystemEntries(std::map<std::string, Container>& entries) {
    for (auto lr_Entry = entries.begin(); lr_Entry != entries.end();) {
        if (lr_Entry->second.FromSystem) {
            lr_Entry = entries.erase(lr_Entry);
        } else {
            ++lr_Entry;
        }
    }
}

}  // namespace

template <typename Handler>
bool Shader::OwnedBySystem(Handler* handler) const {
    return mr_Owner_ != nullptr && mr_Owner_->Owns(handler);
}

// --- the three handler kinds, written once ---
// Removing, finding, owning and dropping are the same for every kind.
#define SSAO_SHADER_HANDLER_KIND(Kind, Member)                                                                \
    bool Shader::Remove##Kind##Handler(const std::string& key) {                                              \
        return Remove##Kind##Handler(Get##Kind##Handler(key));                                                \
    }                                                                                                         \
    bool Shader::Remove##Kind##Handler(I##Kind##Handler* handler) { return EraseEntry(Member, handler); }     \
    I##Kind##Handler* Shader::Get##Kind##Handler(const std::string& key) { return FindHandler(Member, key); } \
    bool Shader::OwnsHandler(I##Kind##Handler* handler) { return OwnsEntry(Member, handler); }                \
    void Shader::DropSystemHandler(I##Kind##Handler* handler) { DropEntriesOf(Member, handler); }

SSAO_SHADER_HANDLER_KIND(Annotation, mr_AnnotationHandlers)
SSAO_SHADER_HANDLER_KIND(Callback, mr_CallbackHandlers)
SSAO_SHADER_HANDLER_KIND(Semantic, mr_SemanticHandlers)
#undef SSAO_SHADER_HANDLER_KIND

// Adding is too for annotation and semantic handlers. A handler the system
// owns is refused as its own entries are: the shader taking it too would
// delete it a second time. A shader made before the handler was registered
// holds no entry for it, so the system is asked.
#define SSAO_SHADER_PLAIN_HANDLER_ADD(Kind, Member)                                                               \
    bool Shader::Add##Kind##Handler(I##Kind##Handler* handler) {                                                  \
        return handler != nullptr && !OwnedBySystem(handler) && AddOwnedEntry(Member, handler, {handler, false}); \
    }                                                                                                             \
    bool Shader::AddSystem##Kind##Handler(I##Kind##Handler* handler) {                                            \
        return handler != nullptr && AddSystemEntry(Member, handler, {handler, true});                            \
    }

SSAO_SHADER_PLAIN_HANDLER_ADD(Annotation, mr_AnnotationHandlers)
SSAO_SHADER_PLAIN_HANDLER_ADD(Semantic, mr_SemanticHandlers)
#undef SSAO_SHADER_PLAIN_HANDLER_ADD

// Callback entries also hold the passes that call them, collected only for
// an entry that is going to be kept.
bool Shader::AddCallbackHandler(ICallbackHandler* handler) {
    if (handler == nullptr || OwnedBySystem(handler)) {
        return false;
    }
    CallbackHandlerContainer lr_Entry(handler, false);
    auto lr_Found = mr_CallbackHandlers.find(handler->GetName());
    if (lr_Found == mr_CallbackHandlers.end() || (lr_Found->second.FromSystem && lr_Found->second.Handler != handler)) {
        CollectPasses(lr_Entry);
    }
    return AddOwnedEntry(mr_CallbackHandlers, handler, std::move(lr_Entry));
}

bool Shader::AddSystemCallbackHandler(ICallbackHandler* handler) {
    if (handler == nullptr || mr_CallbackHandlers.find(handler->GetName()) != mr_CallbackHandlers.end()) {
        return false;
    }
    CallbackHandlerContainer lr_Entry(handler, true);
    CollectPasses(lr_Entry);
    return AddSystemEntry(mr_CallbackHandlers, handler, std::move(lr_Entry));
}

void Shader::DropSystemHandlers() {
    DropSystemEntries(mr_AnnotationHandlers);
    DropSystemEntries(mr_CallbackHandlers);
    DropSystemEntries(mr_SemanticHandlers);
}

// --- steps ---

void Shader::RunSemanticStep() {
    for (auto lr_Entry = mr_SemanticHandlers.begin(); lr_Entry != mr_SemanticHandlers.end();) {
        SemanticHandlerContainer& lr_Container = lr_Entry->second;
        if (lr_Container.Parameter == nullptr && lr_Container.Handler != nullptr) {
            lr_Container.Parameter =
                GetParameterBySemantic(lr_Container.Handler->GetSemantic(), ShaderParameterType::Any);
        }
        if (lr_Container.Parameter != nullptr && lr_Container.Handler != nullptr) {
            lr_Container.Handler->Apply(this, lr_Container.Parameter);
            ++lr_Entry;
        } else {
            // The effect has no usable parameter with this semantic.
            lr_Entry = mr_SemanticHandlers.erase(lr_Entry);
        }
    }
}

void Shader::RunAnnotationStep() {
    for (auto lr_Entry = mr_AnnotationHandlers.begin(); lr_Entry != mr_AnnotationHandlers.end();) {
        AnnotationHandlerContainer& lr_Container = lr_Entry->second;
        if (lr_Container.Annotation == nullptr && lr_Container.Handler != nullptr && mr_Effect) {
            // D3DX takes the object's name in place of its handle.
            lr_Container.Annotation = mr_Effect->GetAnnotationByName(lr_Container.Handler->GetObjectName().c_str(),
                                                                     lr_Container.Handler->GetAnnotationName().c_str());
        }
        if (lr_Container.Annotation != nullptr && lr_Container.Handler != nullptr) {
            lr_Container.Handler->Apply(this, lr_Container.Annotation);
            ++lr_Entry;
        } else {
            lr_Entry = mr_AnnotationHandlers.erase(lr_Entry);
        }
    }
}

PassResult Shader::RunPassCallbackStep(unsigned pass) {
    PassResult lr_Result = PassResult::None;
    for (auto lr_Entry = mr_CallbackHandlers.begin(); lr_Entry != mr_CallbackHandlers.end();) {
        CallbackHandlerContainer& lr_Container = lr_Entry->second;
        auto lr_Pass = lr_Container.Passes.find(pass);
        if (lr_Container.Handler == nullptr || lr_Pass == lr_Container.Passes.end()) {
            // An entry that does not cover the pass being begun is removed, not skipped.
            lr_Entry = mr_CallbackHandlers.erase(lr_Entry);
            continue;
        }
        PassResult lr_Returned = lr_Container.Handler->Apply(this, lr_Pass->second);
        // None < Repeat < Done < Skip; anything outside Repeat..Skip changes nothing.
        if (lr_Returned >= PassResult::Repeat && lr_Returned <= PassResult::Skip && lr_Returned > lr_Result) {
            lr_Result = lr_Returned;
        }
        ++lr_Entry;
    }
    return lr_Result;
}

void Shader::ResetHandlerEntries() {
    for (auto& lr_Entry : mr_AnnotationHandlers) {
        lr_Entry.second.Annotation = nullptr;
        if (lr_Entry.second.Handler != nullptr) {
            lr_Entry.second.Handler->Reset(this);
        }
    }
    for (auto& lr_Entry : mr_SemanticHandlers) {
        lr_Entry.second.Parameter = nullptr;
        if (lr_Entry.second.Handler != nullptr) {
            lr_Entry.second.Handler->Reset(this);
        }
    }
    // The pass handles collected so far belong to the effect just released;
    // collect them again from the new one so none of them is ever handed out.
    for (auto& lr_Entry : mr_CallbackHandlers) {
        lr_Entry.second.Passes.clear();
        CollectPasses(lr_Entry.second);
    }
}

void Shader::CollectPasses(CallbackHandlerContainer& entry) {
    if (!mr_Effect || mr_Technique == nullptr || entry.Handler == nullptr) {
        return;
    }
    D3DXTECHNIQUE_DESC Description;
    if (FAILED(mr_Effect->GetTechniqueDesc(mr_Technique, &Description))) {
        return;
    }
    const std::string& ls_Name = entry.Handler->GetName();
    for (UINT lr_Index = 0; lr_Index < Description.Passes; ++lr_Index) {
        D3DXHANDLE lr_Pass = mr_Effect->GetPass(mr_Technique, lr_Index);
        if (lr_Pass == nullptr) {
            continue;
        }
        D3DXHANDLE lr_Annotation = mr_Effect->GetAnnotationByName(lr_Pass, ls_Name.c_str());
        if (lr_Annotation == nullptr) {
            continue;
        }
        BOOL CanUse = FALSE;
        if (SUCCEEDED(mr_Effect->GetBool(lr_Annotation, &CanUse)) && CanUse) {
            entry.Passes[lr_Index] = lr_Pass;
        }
    }
}
