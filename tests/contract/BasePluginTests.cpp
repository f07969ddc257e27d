#include "TestPlugins.h"

#include "Guids.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// A host that answers nothing: the base class must not call it.
class SilentHost : public IHost {
public:
    void* GetInterface(const GUID&) override {
        ++mr_Calls;
        return nullptr;
    }
    int mr_Calls = 0;
};

// FindParameter overridden: GetParameter must go through the table.
class RedirectingPlugin : public RecordingPlugin {
public:
    IParameter* FindParameter(const GUID&) override { return mr_Answer_; }
    IParameter* mr_Answer_ = nullptr;
};

TEST(BasePlugin, NewPluginHasOnlyWhatItWasGiven) {
    SilentHost lr_Host;
    RecordingPlugin lr_Plugin(&lr_Host);
    EXPECT_FALSE(lr_Plugin.IsInitialised());
    EXPECT_FALSE(lr_Plugin.IsActive());
    EXPECT_EQ(&lr_Host, lr_Plugin.GetHost());
    EXPECT_EQ(L"Test", lr_Plugin.GetName());
    EXPECT_EQ(L"A test plug-in.", lr_Plugin.GetDescription());
    EXPECT_TRUE(lr_Plugin.GetParameters().empty());
    EXPECT_EQ(nullptr, lr_Plugin.Device());
    EXPECT_EQ(0, lr_Host.mr_Calls);
}

TEST(BasePlugin, InitialiseFollowsTheDeviceAndDeinitialiseKeepsIt) {
    SilentHost lr_Host;
    RecordingPlugin lr_Plugin(&lr_Host);
    // The base only stores the pointer, so any address stands in for a device.
    int lr_Storage = 0;
    IDirect3DDevice9* lr_Device = reinterpret_cast<IDirect3DDevice9*>(&lr_Storage);

    lr_Plugin.Initialise(nullptr);
    EXPECT_FALSE(lr_Plugin.IsInitialised());

    lr_Plugin.Initialise(lr_Device);
    EXPECT_TRUE(lr_Plugin.IsInitialised());
    EXPECT_EQ(lr_Device, lr_Plugin.Device());

    lr_Plugin.Deinitialise();
    EXPECT_FALSE(lr_Plugin.IsInitialised());
    EXPECT_EQ(lr_Device, lr_Plugin.Device());
    EXPECT_EQ(&lr_Host, lr_Plugin.GetHost());

    lr_Plugin.Initialise(nullptr);
    EXPECT_FALSE(lr_Plugin.IsInitialised()) << "a null device un-initialises again";
}

TEST(BasePlugin, ActiveFlagFollowsEveryCall) {
    RecordingPlugin lr_Plugin;
    lr_Plugin.SetActive(true);
    EXPECT_TRUE(lr_Plugin.IsActive());
    lr_Plugin.SetActive(true);
    EXPECT_TRUE(lr_Plugin.IsActive());
    lr_Plugin.SetActive(false);
    EXPECT_FALSE(lr_Plugin.IsActive());
}

TEST(BasePlugin, LookupByGuidReturnsTheFirstMatch) {
    RecordingPlugin lr_Plugin;
    auto* lr_First = new k_CheckBoxParameter(&lr_Plugin, MakeGuid(1), L"A", L"A", L"", false);
    auto* lr_Second = new k_CheckBoxParameter(&lr_Plugin, MakeGuid(2), L"B", L"B", L"", false);
    auto* lr_Duplicate = new k_CheckBoxParameter(&lr_Plugin, MakeGuid(1), L"C", L"C", L"", false);
    lr_Plugin.AddParameter(lr_First);
    lr_Plugin.AddParameter(lr_Second);
    lr_Plugin.AddParameter(lr_Duplicate);

    EXPECT_EQ(lr_First, lr_Plugin.FindParameter(MakeGuid(1)));
    EXPECT_EQ(lr_Second, lr_Plugin.FindParameter(MakeGuid(2)));
    EXPECT_EQ(lr_First, lr_Plugin.GetParameter(MakeGuid(1)));
    EXPECT_EQ(nullptr, lr_Plugin.FindParameter(MakeGuid(3)));

    // Identical leading fields, one differing trailing byte.
    GUID lr_Near = MakeGuid(2);
    lr_Near.Data4[0] = 0x99;
    EXPECT_EQ(nullptr, lr_Plugin.FindParameter(lr_Near));
}

TEST(BasePlugin, GetParameterThrowsForAnUnknownGuid) {
    RecordingPlugin lr_Plugin;
    EXPECT_THROW(lr_Plugin.GetParameter(MakeGuid(9)), std::out_of_range);
    lr_Plugin.AddParameter(new k_CheckBoxParameter(&lr_Plugin, MakeGuid(1), L"A", L"A", L"", false));
    EXPECT_THROW(lr_Plugin.GetParameter(MakeGuid(9)), std::out_of_range);
    EXPECT_NO_THROW(lr_Plugin.GetParameter(MakeGuid(1)));
}

TEST(BasePlugin, GetParameterUsesAnOverriddenFind) {
    RedirectingPlugin lr_Plugin;
    k_CheckBoxParameter lr_Outside(nullptr, MakeGuid(5), L"X", L"X", L"", false);
    lr_Plugin.mr_Answer_ = &lr_Outside;
    EXPECT_EQ(&lr_Outside, lr_Plugin.GetParameter(MakeGuid(1)));
    lr_Plugin.mr_Answer_ = nullptr;
    EXPECT_THROW(lr_Plugin.GetParameter(MakeGuid(5)), std::out_of_range);
}

TEST(BasePlugin, GetParametersReturnsACopy) {
    RecordingPlugin lr_Plugin;
    auto* lr_Box = new k_CheckBoxParameter(&lr_Plugin, MakeGuid(1), L"A", L"A", L"", false);
    lr_Plugin.AddParameter(lr_Box);
    std::vector<IParameter*> lr_List = lr_Plugin.GetParameters();
    ASSERT_EQ(1u, lr_List.size());
    EXPECT_EQ(lr_Box, lr_List[0]);
    lr_List.clear();
    lr_List.push_back(nullptr);
    lr_List.push_back(nullptr);
    EXPECT_EQ(1u, lr_Plugin.GetParameters().size());
    EXPECT_EQ(lr_Box, lr_Plugin.GetParameters()[0]);
}

TEST(BasePlugin, DestructorDeletesEveryOwnedParameterAndSkipsNull) {
    int lr_Destroyed = 0;
    {
        RecordingPlugin lr_Plugin;
        lr_Plugin.AddParameter(new CountedCheckBox(&lr_Plugin, MakeGuid(1), &lr_Destroyed));
        lr_Plugin.AddParameter(nullptr);
        auto* lr_Behind = new CountedCheckBox(&lr_Plugin, MakeGuid(2), &lr_Destroyed);
        lr_Plugin.AddParameter(lr_Behind);
        // The lookup passes over the null entry to the parameter behind it.
        EXPECT_EQ(lr_Behind, lr_Plugin.FindParameter(MakeGuid(2))) << "a null entry is passed over";
    }
    // Both deleted: the null entry neither stops the destructor nor is deleted.
    EXPECT_EQ(2, lr_Destroyed);
}

TEST(BasePlugin, DeletedThroughThePluginInterface) {
    int lr_Destroyed = 0;
    auto* lr_Plugin = new RecordingPlugin;
    lr_Plugin->AddParameter(new CountedCheckBox(lr_Plugin, MakeGuid(1), &lr_Destroyed));
    IDirect3D9BasePlugin* lr_Interface = lr_Plugin;
    delete lr_Interface;
    EXPECT_EQ(1, lr_Destroyed);
}

TEST(BasePlugin, ParameterChangeReachesTheOwner) {
    RecordingPlugin lr_Plugin;
    auto* lr_Box = new k_CheckBoxParameter(&lr_Plugin, MakeGuid(1), L"A", L"A", L"", false);
    lr_Plugin.AddParameter(lr_Box);
    auto* lr_View =
        static_cast<ICheckBoxParameter*>(lr_Plugin.GetParameter(MakeGuid(1))->GetInterface(IID_ICheckBoxParameter));
    ASSERT_NE(nullptr, lr_View);
    lr_View->SetValue(true);
    ASSERT_EQ(1u, lr_Plugin.mr_Changed.size());
    EXPECT_EQ(lr_Box, lr_Plugin.mr_Changed[0]);
}

}  // namespace
