// The host calls through the interface tables, so their order is the
// contract. Under the Itanium C++ ABI a pointer to a virtual member holds
// 1 + the byte offset of its table entry; a virtual destructor takes two
// entries (complete and deleting), so operation slot n >= 1 of an interface
// with a destructor is entry n + 1.
#include "ICheckBoxParameter.h"
#include "IDirect3D9BasePlugin.h"
#include "IHost.h"
#include "IObject.h"
#include "IParameter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#if defined(__GNUC__)

namespace {

template <typename Member>
long EntryOf(Member member) {
    static_assert(sizeof(Member) == 2 * sizeof(uintptr_t), "Itanium member pointer layout");
    uintptr_t lr_Raw[2];
    std::memcpy(lr_Raw, &member, sizeof(lr_Raw));
    if ((lr_Raw[0] & 1) == 0) return -1;  // not virtual
    return static_cast<long>((lr_Raw[0] - 1) / sizeof(void*));
}

// Slot as the host counts it: the destructor is slot 0.
template <typename Member>
long SlotOf(Member member) {
    const long lr_Entry = EntryOf(member);
    return lr_Entry < 2 ? -1 : lr_Entry - 1;
}

TEST(SlotOrder, PluginInterface) {
    EXPECT_EQ(1, SlotOf(&IDirect3D9BasePlugin::Initialise));
    EXPECT_EQ(2, SlotOf(&IDirect3D9BasePlugin::IsInitialised));
    EXPECT_EQ(3, SlotOf(&IDirect3D9BasePlugin::Deinitialise));
    EXPECT_EQ(4, SlotOf(&IDirect3D9BasePlugin::Render));
    EXPECT_EQ(5, SlotOf(&IDirect3D9BasePlugin::OnLostDevice));
    EXPECT_EQ(6, SlotOf(&IDirect3D9BasePlugin::OnResetDevice));
    EXPECT_EQ(7, SlotOf(&IDirect3D9BasePlugin::GetParameters));
    EXPECT_EQ(8, SlotOf(&IDirect3D9BasePlugin::FindParameter));
    EXPECT_EQ(9, SlotOf(&IDirect3D9BasePlugin::GetParameter));
    EXPECT_EQ(10, SlotOf(&IDirect3D9BasePlugin::OnParameterChanged));
    EXPECT_EQ(11, SlotOf(&IDirect3D9BasePlugin::SetActive));
    EXPECT_EQ(12, SlotOf(&IDirect3D9BasePlugin::IsActive));
    EXPECT_EQ(13, SlotOf(&IDirect3D9BasePlugin::GetName));
    EXPECT_EQ(14, SlotOf(&IDirect3D9BasePlugin::GetDescription));
    EXPECT_EQ(15, SlotOf(&IDirect3D9BasePlugin::GetHost));
}

TEST(SlotOrder, ParameterInterfaces) {
    EXPECT_EQ(1, SlotOf(&IObject::GetInterface));
    EXPECT_EQ(1, SlotOf(&IParameter::GetInterface));
    EXPECT_EQ(2, SlotOf(&IParameter::GetType));
    EXPECT_EQ(3, SlotOf(&IParameter::GetName));
    EXPECT_EQ(4, SlotOf(&IParameter::GetDescription));
    EXPECT_EQ(5, SlotOf(&IParameter::SetCaption));
    EXPECT_EQ(6, SlotOf(&IParameter::GetCaption));
    EXPECT_EQ(7, SlotOf(&IParameter::ResetToDefault));
    EXPECT_EQ(8, SlotOf(&IParameter::GetGUID));
    EXPECT_EQ(9, SlotOf(&IParameter::GetValueAsString));
    EXPECT_EQ(10, SlotOf(&IParameter::SetValueFromString));
    EXPECT_EQ(11, SlotOf(&IParameter::GetPlugin));

    // No destructor entry: slot n is entry n.
    EXPECT_EQ(0, EntryOf(&ICheckBoxParameter::SetDefaultValue));
    EXPECT_EQ(1, EntryOf(&ICheckBoxParameter::GetDefaultValue));
    EXPECT_EQ(2, EntryOf(&ICheckBoxParameter::SetValue));
    EXPECT_EQ(3, EntryOf(&ICheckBoxParameter::GetValue));
}

TEST(SlotOrder, HostInterfaces) {
    EXPECT_EQ(1, SlotOf(&IHost::GetInterface));
    EXPECT_EQ(1, SlotOf(&IHostPaths::GetInterface));
    // The ninth and eleventh entries.
    EXPECT_EQ(8, SlotOf(&IHostPaths::GetBasePath));
    EXPECT_EQ(10, SlotOf(&IHostPaths::GetDataPath));
}

}  // namespace

#endif
