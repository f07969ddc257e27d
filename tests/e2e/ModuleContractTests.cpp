// The module seen as a host sees it: CreatePlugin and the tables.
#include "ModuleHost.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class ModuleContractTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string ls_Error;
        mr_CreatePlugin = LoadCreatePlugin(ls_Error);
        ASSERT_NE(nullptr, mr_CreatePlugin) << ls_Error;
        // A base path that does not exist: the plug-in must not mind.
        mr_Host = std::make_unique<TestHost>(L"/nonexistent/ssao-e2e/", L"/nonexistent/data/");
        mr_Plugin = mr_CreatePlugin(mr_Host.get());
        ASSERT_NE(nullptr, mr_Plugin);
    }
    void TearDown() override { delete mr_Plugin; }

    CreatePluginFunction mr_CreatePlugin = nullptr;
    std::unique_ptr<TestHost> mr_Host;
    IDirect3D9BasePlugin* mr_Plugin = nullptr;
};

TEST_F(ModuleContractTest, IdentifiesItself) {
    EXPECT_EQ(L"SSAO", mr_Plugin->GetName());
    EXPECT_EQ(L"Blurs scene elements who are out of focus.", mr_Plugin->GetDescription());
    EXPECT_EQ(static_cast<IHost*>(mr_Host.get()), mr_Plugin->GetHost());
    EXPECT_FALSE(mr_Plugin->IsInitialised());
    EXPECT_FALSE(mr_Plugin->IsActive());
    // The constructor asks for the path service and uses only its base path.
    EXPECT_EQ(1, mr_Host->PathQueries());
    EXPECT_EQ(0, mr_Host->ForeignQueries());
    EXPECT_EQ(0, mr_Host->mr_DataPathCalls);
}

TEST_F(ModuleContractTest, PublishesShowAOOnly) {
    std::vector<IParameter*> lr_Parameters = mr_Plugin->GetParameters();
    ASSERT_EQ(1u, lr_Parameters.size());
    IParameter* lr_Parameter = mr_Plugin->FindParameter(IID_ShowAOOnlyParameter);
    ASSERT_EQ(lr_Parameters[0], lr_Parameter);
    EXPECT_EQ(lr_Parameter, mr_Plugin->GetParameter(IID_ShowAOOnlyParameter));
    EXPECT_EQ(L"ShowAOOnly", lr_Parameter->GetName());
    EXPECT_EQ(L"Renders the ambient occlusion value.", lr_Parameter->GetDescription());
    EXPECT_EQ(L"Show AO only: true", lr_Parameter->GetCaption());
    EXPECT_EQ(1, lr_Parameter->GetType());
    EXPECT_EQ(L"true", lr_Parameter->GetValueAsString());
    const GUID lr_Id = lr_Parameter->GetGUID();
    EXPECT_TRUE(GuidBytesEqual(IID_ShowAOOnlyParameter, lr_Id));
    EXPECT_EQ(mr_Plugin, lr_Parameter->GetPlugin());
    EXPECT_EQ(lr_Parameter, lr_Parameter->GetInterface(IID_IParameter));
    EXPECT_EQ(nullptr, lr_Parameter->GetInterface(IID_IHostPaths));
}

TEST_F(ModuleContractTest, UnknownGuidIsNullOrThrows) {
    GUID lr_Other = IID_ShowAOOnlyParameter;
    lr_Other.Data4[7] ^= 0xFF;
    EXPECT_EQ(nullptr, mr_Plugin->FindParameter(lr_Other));
    EXPECT_THROW(mr_Plugin->GetParameter(lr_Other), std::exception);
}

TEST_F(ModuleContractTest, ShowAOOnlyFlipsAsTextAndAsBoolean) {
    IParameter* lr_Parameter = mr_Plugin->FindParameter(IID_ShowAOOnlyParameter);
    ASSERT_NE(nullptr, lr_Parameter);
    auto* lr_CheckBox = static_cast<ICheckBoxParameter*>(lr_Parameter->GetInterface(IID_ICheckBoxParameter));
    ASSERT_NE(nullptr, lr_CheckBox);
    EXPECT_NE(static_cast<void*>(lr_Parameter), static_cast<void*>(lr_CheckBox));
    EXPECT_TRUE(lr_CheckBox->GetValue());
    EXPECT_TRUE(lr_CheckBox->GetDefaultValue());

    lr_Parameter->SetValueFromString(L"false");
    EXPECT_FALSE(lr_CheckBox->GetValue());
    EXPECT_EQ(L"false", lr_Parameter->GetValueAsString());
    EXPECT_EQ(L"Show AO only: true", lr_Parameter->GetCaption()) << "text sets leave the caption";

    lr_CheckBox->SetValue(true);
    EXPECT_TRUE(lr_CheckBox->GetValue());
    lr_CheckBox->SetValue(false);
    EXPECT_EQ(L"Show AO only: false", lr_Parameter->GetCaption());

    lr_Parameter->SetValueFromString(L"TRUE");
    EXPECT_FALSE(lr_CheckBox->GetValue());
    lr_Parameter->SetValueFromString(L"true");
    EXPECT_TRUE(lr_CheckBox->GetValue());

    lr_CheckBox->SetDefaultValue(false);
    lr_Parameter->ResetToDefault();
    EXPECT_FALSE(lr_CheckBox->GetValue());
    EXPECT_EQ(L"Show AO only: false", lr_Parameter->GetCaption());
}

TEST_F(ModuleContractTest, ActiveFlagWithoutDeviceWorkIsNotNeeded) {
    // A host may toggle before handing a device over; nothing may crash.
    mr_Plugin->Initialise(nullptr);
    EXPECT_FALSE(mr_Plugin->IsInitialised());
    mr_Plugin->OnLostDevice();
    mr_Plugin->OnResetDevice();
    EXPECT_FALSE(mr_Plugin->IsActive());
    mr_Plugin->Deinitialise();
    EXPECT_FALSE(mr_Plugin->IsInitialised());
}

TEST(ModuleEntry, EachCallMakesANewPlugin) {
    std::string ls_Error;
    CreatePluginFunction lr_Create = LoadCreatePlugin(ls_Error);
    ASSERT_NE(nullptr, lr_Create) << ls_Error;
    TestHost lr_Host(L"/nonexistent/", L"/nonexistent/");
    IDirect3D9BasePlugin* lr_A = lr_Create(&lr_Host);
    IDirect3D9BasePlugin* lr_B = lr_Create(&lr_Host);
    EXPECT_NE(lr_A, lr_B);
    EXPECT_NE(lr_A->FindParameter(IID_ShowAOOnlyParameter), lr_B->FindParameter(IID_ShowAOOnlyParameter));
    delete lr_A;
    delete lr_B;
}

}  // namespace
