#include "ModuleHost.h"

#include <dlfcn.h>

CreatePluginFunction LoadCreatePlugin(std::string& error) {
    // Loaded once and kept for the process: the tests create many plug-ins.
    static void* s_Module = dlopen(SSAO_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!s_Module) {
        const char* lr_Reason = dlerror();
        error = lr_Reason ? lr_Reason : "dlopen failed";
        return nullptr;
    }
    void* lr_Symbol = dlsym(s_Module, k_CreatePluginExport);
    if (!lr_Symbol) error = "no CreatePlugin";
    return reinterpret_cast<CreatePluginFunction>(lr_Symbol);
}

void CopyRepositoryData(const std::filesystem::path& dataFolder) {
    std::filesystem::create_directories(dataFolder / "Plugins");
    std::filesystem::copy(std::filesystem::path(SSAO_DATA_DIR) / "Plugins" / "SSAO", dataFolder / "Plugins" / "SSAO",
                          std::filesystem::copy_options::recursive);
}

void ModuleTest::SetUp() {
    SoftDeviceFixture::SetUp();
    if (HasFatalFailure()) return;
    std::string ls_Error;
    mr_CreatePlugin = LoadCreatePlugin(ls_Error);
    ASSERT_NE(nullptr, mr_CreatePlugin) << ls_Error;
    mr_Base = mr_TempDirectory / "base";
    std::filesystem::create_directories(mr_Base);
}

void ModuleTest::TearDown() {
    DeletePlugin();
    SoftDeviceFixture::TearDown();
}

IDirect3D9BasePlugin* ModuleTest::CreateWithData(const std::filesystem::path& dataFolder) {
    DeletePlugin();
    mr_Host_ = new TestHost(WidePath(mr_Base) + L"/", WidePath(dataFolder) + L"/");
    mr_Plugin_ = mr_CreatePlugin(mr_Host_);
    return mr_Plugin_;
}

void ModuleTest::DeletePlugin() {
    if (mr_Plugin_) {
        if (mr_Plugin_->IsInitialised()) mr_Plugin_->Deinitialise();
        delete mr_Plugin_;
    }
    mr_Plugin_ = nullptr;
    delete mr_Host_;
    mr_Host_ = nullptr;
}

void ModuleTest::RenderFrame() {
    mr_Control_->ClearRecords();
    mr_Device_->BeginScene();
    mr_Plugin_->Render();
    mr_Device_->EndScene();
    mr_LastDraws = mr_Control_->GetDraws().size();
    mr_LastCopies = mr_Control_->GetCopies().size();
    mr_LastPrimitiveCounts.clear();
    for (const SoftDrawRecord& lr_Draw : mr_Control_->GetDraws())
        mr_LastPrimitiveCounts.push_back(lr_Draw.PrimitiveCount);
    mr_Control_->ClearRecords();
}

size_t ModuleTest::CountLines(const std::string& needle) const {
    size_t lr_Count = 0;
    for (const std::string& ls_Line : Log())
        if (ls_Line.find(needle) != std::string::npos) ++lr_Count;
    return lr_Count;
}

ICheckBoxParameter* ModuleTest::ShowAOOnly() {
    IParameter* lr_Parameter = mr_Plugin_->FindParameter(IID_ShowAOOnlyParameter);
    return lr_Parameter ? static_cast<ICheckBoxParameter*>(lr_Parameter->GetInterface(IID_ICheckBoxParameter))
                        : nullptr;
}
