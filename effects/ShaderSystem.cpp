#include "ShaderSystem.h"

#include "Shader.h"

#include <algorithm>
#include <memory>

namespace {

using ShaderHandlerEntry::Key;

template <typename Handler>
Handler* FindHandler(std::map<std::string, Handler*>& handlers, const std::string& key) {
    auto lr_Found = handlers.find(key);
    return lr_Found != handlers.end() ? lr_Found->second : nullptr;
}

template <typename Value>
void DeleteAll(std::map<std::string, Value*>& objects) {
    while (!objects.empty()) {
        auto lr_First = objects.begin();
        Value* lr_Object = lr_First->second;
        objects.erase(lr_First);
        delete lr_Object;
    }
}

}  // namespace

ShaderSystem::ShaderSystem(IDirect3DDevice9* device) : mr_Device_(device) {}

ShaderSystem::~ShaderSystem() {
    // Shaders that outlive the system (those it did not register) must not
    // keep entries of the handlers deleted below; none reports back any more.
    for (Shader* lr_Shader : mr_CreatedShaders) {
        lr_Shader->DropSystemHandlers();
        lr_Shader->SetOwner(nullptr);
    }
    mr_CreatedShaders.clear();
    DeleteAll(mr_AnnotationHandlers);
    DeleteAll(mr_SemanticHandlers);
    DeleteAll(mr_CallbackHandlers);
    DeleteAll(mr_Shaders);
}

template <typename Handler>
bool ShaderSystem::AddHandler(std::map<std::string, Handler*>& handlers, Handler* handler) {
    if (handler == nullptr) {
        return false;
    }
    const std::string& ls_Key = Key(*handler);
    if (handlers.find(ls_Key) != handlers.end()) {
        // Refused: the handler stays the caller's.
        return false;
    }
    for (Shader* lr_Shader : mr_CreatedShaders) {
        if (lr_Shader->OwnsHandler(handler)) {
            return false;
        }
    }
    handlers.emplace(ls_Key, handler);
    return true;
}

// Deletes the handler registered under the key of the one given (which may
// be another), once no shader holds an entry for it any more.
template <typename Handler>
bool ShaderSystem::RemoveHandler(std::map<std::string, Handler*>& handlers, Handler* handler) {
    if (handler == nullptr) {
        return false;
    }
    auto lr_Found = handlers.find(Key(*handler));
    if (lr_Found == handlers.end()) {
        return false;
    }
    Handler* lr_Registered = lr_Found->second;
    handlers.erase(lr_Found);
    for (Shader* lr_Shader : mr_CreatedShaders) {
        lr_Shader->DropSystemHandler(lr_Registered);
    }
    delete lr_Registered;
    return true;
}

void ShaderSystem::ForgetShader(Shader* shader) {
    mr_CreatedShaders.erase(std::remove(mr_CreatedShaders.begin(), mr_CreatedShaders.end(), shader),
                            mr_CreatedShaders.end());
    // A registered shader deleted by someone else must not be deleted again.
    auto lr_Found = mr_Shaders.find(shader->GetName());
    if (lr_Found != mr_Shaders.end() && lr_Found->second == shader) {
        mr_Shaders.erase(lr_Found);
    }
}

// --- the three handler kinds, written once ---
// Each kind has the same entry points over its own map; the interface names
// them per kind.
#define SSAO_SYSTEM_HANDLER_KIND(Kind, Member)                                                                      \
    bool ShaderSystem::Add##Kind##Handler(I##Kind##Handler* handler) { return AddHandler(Member, handler); }        \
    bool ShaderSystem::Remove##Kind##Handler(const std::string& key) {                                              \
        return Remove##Kind##Handler(Get##Kind##Handler(key));                                                      \
    }                                                                                                               \
    bool ShaderSystem::Remove##Kind##Handler(I##Kind##Handler* handler) { return RemoveHandler(Member, handler); }  \
    I##Kind##Handler* ShaderSystem::Get##Kind##Handler(const std::string& key) { return FindHandler(Member, key); } \
    bool ShaderSystem::Owns(I##Kind##Handler* handler) {                                                            \
        return handler != nullptr && FindHandler(Member, Key(*handler)) == handler;                                 \
    }

SSAO_SYSTEM_HANDLER_KIND(Annotation, mr_AnnotationHandlers)
SSAO_SYSTEM_HANDLER_KIND(Callback, mr_CallbackHandlers)
SSAO_SYSTEM_HANDLER_KIND(Semantic, mr_SemanticHandlers)
#undef SSAO_SYSTEM_HANDLER_KIND

// --- shaders ---

IShader* ShaderSystem::CreateShaderFromCode(const std::string& name, const std::string& code) {
    return RegisterShader(std::unique_ptr<Shader>(new Shader(mr_Device_, name, code, std::string())));
}

IShader* ShaderSystem::CreateShaderFromFile(const std::string& name, const std::string& fileName) {
    return RegisterShader(std::unique_ptr<Shader>(new Shader(mr_Device_, name, std::string(), fileName)));
}

IShader* ShaderSystem::RegisterShader(std::unique_ptr<Shader> shader) {
    // Room first, so that the shader is in both lists or in none.
    mr_CreatedShaders.reserve(mr_CreatedShaders.size() + 1);
    // A second shader under a name already taken is not registered; it is
    // still handed the handlers and belongs to the caller.
    const bool lr_Registered = mr_Shaders.emplace(shader->GetName(), shader.get()).second;
    Shader* lr_Shader = shader.release();
    lr_Shader->SetOwner(this);
    mr_CreatedShaders.push_back(lr_Shader);

    try {
        for (auto& lr_Entry : mr_AnnotationHandlers) {
            lr_Shader->AddSystemAnnotationHandler(lr_Entry.second);
        }
        for (auto& lr_Entry : mr_CallbackHandlers) {
            lr_Shader->AddSystemCallbackHandler(lr_Entry.second);
        }
        for (auto& lr_Entry : mr_SemanticHandlers) {
            lr_Shader->AddSystemSemanticHandler(lr_Entry.second);
        }
    } catch (...) {
        // The caller never receives an unregistered shader: it goes here.
        if (!lr_Registered) {
            delete lr_Shader;
        }
        throw;
    }
    return lr_Shader;
}

IShader* ShaderSystem::GetShader(const std::string& name) {
    auto lr_Found = mr_Shaders.find(name);
    return lr_Found != mr_Shaders.end() ? lr_Found->second : nullptr;
}

bool ShaderSystem::RemoveShader(const std::string& name) { return RemoveShader(GetShader(name)); }

bool ShaderSystem::RemoveShader(IShader* shader) {
    if (shader == nullptr) {
        return false;
    }
    auto lr_Found = mr_Shaders.find(shader->GetName());
    if (lr_Found == mr_Shaders.end()) {
        return false;
    }
    IShader* lr_Registered = lr_Found->second;
    mr_Shaders.erase(lr_Found);
    delete lr_Registered;
    return true;
}

void ShaderSystem::ReloadShaders() {
    for (auto& lr_Entry : mr_Shaders) {
        lr_Entry.second->Reload();
    }
}
