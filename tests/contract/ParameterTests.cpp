#include "TestPlugins.h"

#include "Guids.h"
#include "HostContract.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class CheckBoxTest : public ::testing::Test {
protected:
    CheckBoxTest()
        : mr_CheckBox(&mr_Owner, IID_ShowAOOnlyParameter, L"ShowAOOnly", L"Show AO only",
                      L"Renders the ambient occlusion value.", true) {}

    ICheckBoxParameter* View() {
        return static_cast<ICheckBoxParameter*>(mr_CheckBox.GetInterface(IID_ICheckBoxParameter));
    }

    RecordingPlugin mr_Owner;
    k_CheckBoxParameter mr_CheckBox;
};

TEST_F(CheckBoxTest, NewCheckBoxShowsItsPropertiesAndValueInTheCaption) {
    EXPECT_EQ(1, mr_CheckBox.GetType());
    EXPECT_EQ(L"ShowAOOnly", mr_CheckBox.GetName());
    EXPECT_EQ(L"Renders the ambient occlusion value.", mr_CheckBox.GetDescription());
    EXPECT_EQ(L"Show AO only: true", mr_CheckBox.GetCaption());
    EXPECT_EQ(L"true", mr_CheckBox.GetValueAsString());
    const GUID lr_Id = mr_CheckBox.GetGUID();
    EXPECT_EQ(0, std::memcmp(&lr_Id, &IID_ShowAOOnlyParameter, sizeof(GUID)));
    EXPECT_EQ(&mr_Owner, mr_CheckBox.GetPlugin());
    EXPECT_TRUE(View()->GetValue());
    EXPECT_TRUE(View()->GetDefaultValue());
    EXPECT_TRUE(mr_Owner.mr_Changed.empty()) << "construction notifies nobody";
}

TEST_F(CheckBoxTest, FalseInitialValueGivesFalseCaption) {
    k_CheckBoxParameter lr_Off(&mr_Owner, IID_ShowAOOnlyParameter, L"N", L"Caption", L"D", false);
    EXPECT_EQ(L"Caption: false", lr_Off.GetCaption());
    EXPECT_FALSE(lr_Off.GetValue());
    EXPECT_FALSE(lr_Off.GetDefaultValue());
}

TEST_F(CheckBoxTest, InterfacesByGuid) {
    void* lr_CheckBoxView = mr_CheckBox.GetInterface(IID_ICheckBoxParameter);
    void* lr_ParameterView = mr_CheckBox.GetInterface(IID_IParameter);
    ASSERT_NE(nullptr, lr_CheckBoxView);
    EXPECT_NE(static_cast<void*>(static_cast<IParameter*>(&mr_CheckBox)), lr_CheckBoxView);
    EXPECT_EQ(static_cast<void*>(static_cast<IParameter*>(&mr_CheckBox)), lr_ParameterView);
    EXPECT_EQ(static_cast<ICheckBoxParameter*>(&mr_CheckBox), lr_CheckBoxView);
    EXPECT_EQ(nullptr, mr_CheckBox.GetInterface(IID_IHostPaths));
    EXPECT_EQ(nullptr, mr_CheckBox.GetInterface(IID_ShowAOOnlyParameter));
    // One byte off is another identifier.
    GUID lr_Near = IID_ICheckBoxParameter;
    lr_Near.Data4[7] ^= 1;
    EXPECT_EQ(nullptr, mr_CheckBox.GetInterface(lr_Near));
}

TEST_F(CheckBoxTest, SetValueFromStringAcceptsOnlyExactTrue) {
    const wchar_t* lr_FalseTexts[] = {L"True", L"TRUE", L"1", L"", L" true", L"true ", L"yes", L"false"};
    for (const wchar_t* ls_Text : lr_FalseTexts) {
        View()->SetValue(true);
        mr_CheckBox.SetValueFromString(ls_Text);
        EXPECT_FALSE(View()->GetValue()) << ls_Text;
    }
    mr_CheckBox.SetValueFromString(L"true");
    EXPECT_TRUE(View()->GetValue());
    EXPECT_EQ(L"true", mr_CheckBox.GetValueAsString());
}

TEST_F(CheckBoxTest, SetValueFromStringNeitherRefreshesCaptionNorNotifies) {
    View()->SetValue(true);
    const size_t lr_Before = mr_Owner.mr_Changed.size();
    mr_CheckBox.SetValueFromString(L"false");
    EXPECT_FALSE(View()->GetValue());
    EXPECT_EQ(L"false", mr_CheckBox.GetValueAsString());
    EXPECT_EQ(L"Show AO only: true", mr_CheckBox.GetCaption());
    EXPECT_EQ(lr_Before, mr_Owner.mr_Changed.size());
}

TEST_F(CheckBoxTest, SetValueNotifiesOnceEvenWithoutChangeAfterCaptionRefresh) {
    View()->SetValue(true);
    ASSERT_EQ(1u, mr_Owner.mr_Changed.size());
    EXPECT_EQ(static_cast<IParameter*>(&mr_CheckBox), mr_Owner.mr_Changed[0]);
    View()->SetValue(false);
    ASSERT_EQ(2u, mr_Owner.mr_Changed.size());
    EXPECT_EQ(L"Show AO only: false", mr_Owner.mr_CaptionsSeen[1]) << "caption refreshed before notifying";
    EXPECT_EQ(L"Show AO only: false", mr_CheckBox.GetCaption());
}

TEST_F(CheckBoxTest, SetCaptionHoldsUntilNextSetValueOrReset) {
    mr_CheckBox.SetCaption(L"Something else");
    EXPECT_EQ(L"Something else", mr_CheckBox.GetCaption());
    mr_CheckBox.SetValueFromString(L"false");
    EXPECT_EQ(L"Something else", mr_CheckBox.GetCaption());
    View()->SetValue(false);
    EXPECT_EQ(L"Show AO only: false", mr_CheckBox.GetCaption()) << "rebuilt from the constructor's caption";
    mr_CheckBox.SetCaption(L"Again");
    mr_CheckBox.ResetToDefault();
    EXPECT_EQ(L"Show AO only: true", mr_CheckBox.GetCaption());
}

TEST_F(CheckBoxTest, SetDefaultValueChangesNothingElseUntilReset) {
    View()->SetDefaultValue(false);
    EXPECT_FALSE(View()->GetDefaultValue());
    EXPECT_TRUE(View()->GetValue());
    EXPECT_EQ(L"Show AO only: true", mr_CheckBox.GetCaption());
    EXPECT_TRUE(mr_Owner.mr_Changed.empty());

    mr_CheckBox.ResetToDefault();
    EXPECT_FALSE(View()->GetValue());
    EXPECT_EQ(L"Show AO only: false", mr_CheckBox.GetCaption());
    ASSERT_EQ(1u, mr_Owner.mr_Changed.size());
    EXPECT_EQ(static_cast<IParameter*>(&mr_CheckBox), mr_Owner.mr_Changed[0]);
    EXPECT_EQ(L"Show AO only: false", mr_Owner.mr_CaptionsSeen[0]);
}

TEST(CheckBoxWithoutOwner, ChangesWithoutNotifyingAnyone) {
    k_CheckBoxParameter lr_Box(nullptr, MakeGuid(7), L"N", L"C", L"D", false);
    lr_Box.SetValue(true);
    lr_Box.ResetToDefault();
    EXPECT_FALSE(lr_Box.GetValue());
    EXPECT_EQ(nullptr, lr_Box.GetPlugin());
}

TEST(CheckBoxLifetime, DeletedThroughTheRootInterface) {
    int lr_Destroyed = 0;
    IObject* lr_Object = new CountedCheckBox(nullptr, MakeGuid(1), &lr_Destroyed);
    delete lr_Object;
    EXPECT_EQ(1, lr_Destroyed);
}

}  // namespace
