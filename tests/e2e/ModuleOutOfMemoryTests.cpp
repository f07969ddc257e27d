// The module when memory runs out: a host's session is run once for each
// allocation the module makes, with that allocation failing. No exception
// may reach the host, and no device object may outlive the plug-in.
#include "AllocationCounter.h"
#include "ModuleHost.h"
#include "SoftTestDevice.h"

#include <gtest/gtest.h>

namespace {

class ModuleOutOfMemoryTest : public ModuleTest {
protected:
    // Hundreds of sessions, each drawing its frames for real: a small back buffer.
    ModuleOutOfMemoryTest() { mr_PresentParameters = SoftPresentParameters(64, 48); }

    // What a host does with a module in one session; null plug-in: refused.
    void Session(TestHost& host) {
        IDirect3D9BasePlugin* lr_Plugin_ = mr_CreatePlugin(&host);
        if (!lr_Plugin_) return;
        lr_Plugin_->GetName();
        lr_Plugin_->GetParameters();
        if (IParameter* lr_Parameter_ = lr_Plugin_->FindParameter(IID_ShowAOOnlyParameter)) {
            lr_Parameter_->GetCaption();
            void* lr_CheckBox_ = lr_Parameter_->GetInterface(IID_ICheckBoxParameter);
            if (lr_CheckBox_) static_cast<ICheckBoxParameter*>(lr_CheckBox_)->SetValue(false);
        }
        lr_Plugin_->Initialise(mr_Device_);
        lr_Plugin_->SetActive(true);
        for (int lr_Frame = 0; lr_Frame < 2; ++lr_Frame) {
            mr_Device_->BeginScene();
            lr_Plugin_->Render();
            mr_Device_->EndScene();
        }
        lr_Plugin_->Deinitialise();
        delete lr_Plugin_;
    }
};

TEST_F(ModuleOutOfMemoryTest, EachFailedAllocationStaysInsideTheModule) {
    const std::filesystem::path lr_Data = mr_TempDirectory / "data";
    CopyRepositoryData(lr_Data);
    mr_Control_->SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    TestHost lr_Host(WidePath(mr_Base) + L"/", WidePath(lr_Data) + L"/");

    unsigned long lr_Logged = 0;
    for (unsigned long lr_Nth = 1;; ++lr_Nth) {
        std::filesystem::remove(mr_Base / "Vexil.log");
        AllocationCounter::FailOurs(lr_Nth);
        bool lr_Escaped = false;
        try {
            Session(lr_Host);
        } catch (...) {
            lr_Escaped = true;
        }
        const bool lr_Failed = AllocationCounter::Failed();
        AllocationCounter::FailOurs(0);
        EXPECT_FALSE(lr_Escaped) << "allocation " << lr_Nth;
        ASSERT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Count, -1, false), 0u)
            << "allocation " << lr_Nth << "\n"
            << DescribeLiveObjects(mr_Control_, false);
        if (ReadFile(mr_Base / "Vexil.log").find("std::bad_alloc") != std::string::npos) ++lr_Logged;
        // A session that never reached the nth allocation has tried them all.
        if (!lr_Failed) {
            EXPECT_GT(lr_Nth, 100u) << "the failure was never armed";
            break;
        }
    }
    EXPECT_GT(lr_Logged, 0u) << "a failure caught at an entry point leaves a log line";
}

}  // namespace
