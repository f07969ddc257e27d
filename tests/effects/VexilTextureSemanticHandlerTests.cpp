// The plug-in's texture semantic handler on single parameters: it binds the
// record's current texture to 2-D texture parameters and to nothing else.
#include "RecordingEffect.h"

#include "ShaderParameter.h"
#include "VexilTextureSemanticHandler.h"

#include <gtest/gtest.h>

namespace {

IDirect3DTexture9* FakeTexture(uintptr_t address) {
    // Never dereferenced: neither the parameter nor the recording effect touch it.
    return reinterpret_cast<IDirect3DTexture9*>(address);
}

class VexilTextureSemanticHandlerTest : public ::testing::Test {
protected:
    VexilTextureSemanticHandlerTest() { mr_Effect.AddParameter("p"); }

    ShaderParameter Make(ShaderParameterType type) {
        return ShaderParameter("p", &mr_Effect, mr_Effect.GetParameterByName(nullptr, "p"), type, 0);
    }

    RecordingEffect mr_Effect;
    TextureRecord mr_Record;
};

}  // namespace

TEST_F(VexilTextureSemanticHandlerTest, BindsTheRecordsCurrentTextureToA2DParameter) {
    VexilTextureSemanticHandler lr_Handler("BackBuffer", &mr_Record);
    ShaderParameter lr_Parameter = Make(ShaderParameterType::Texture2D);
    mr_Effect.mr_Writes.clear();

    mr_Record.Texture = FakeTexture(0x1000);
    lr_Handler.Apply(nullptr, &lr_Parameter);
    EXPECT_EQ(lr_Parameter.GetTexture2D(), static_cast<IDirect3DBaseTexture9*>(FakeTexture(0x1000)));

    // The record is read at every Apply, so a re-created texture is picked up.
    mr_Record.Texture = FakeTexture(0x2000);
    lr_Handler.Apply(nullptr, &lr_Parameter);
    ASSERT_EQ(mr_Effect.mr_Writes.size(), 2u);
    EXPECT_EQ(mr_Effect.mr_Writes[1].Texture, static_cast<IDirect3DBaseTexture9*>(FakeTexture(0x2000)));
    EXPECT_TRUE(lr_Parameter.IsValid());
}

TEST_F(VexilTextureSemanticHandlerTest, AbsentTextureIsBoundAsNull) {
    VexilTextureSemanticHandler lr_Handler("NoiseTexture", &mr_Record);
    ShaderParameter lr_Parameter = Make(ShaderParameterType::Texture2D);
    lr_Parameter.SetTexture2D(FakeTexture(0x3000));
    mr_Effect.mr_Writes.clear();

    lr_Handler.Apply(nullptr, &lr_Parameter);
    ASSERT_EQ(mr_Effect.mr_Writes.size(), 1u);
    EXPECT_EQ(mr_Effect.mr_Writes[0].Operation, "SetTexture");
    EXPECT_EQ(mr_Effect.mr_Writes[0].Texture, nullptr);
}

TEST_F(VexilTextureSemanticHandlerTest, LeavesEveryOtherTypeAlone) {
    VexilTextureSemanticHandler lr_Handler("BackBuffer", &mr_Record);
    mr_Record.Texture = FakeTexture(0x1000);
    using Type = ShaderParameterType;
    for (Type lr_Type : {Type::Float4, Type::TextureCube, Type::Texture1D, Type::Texture3D, Type::Matrix, Type::Any}) {
        ShaderParameter lr_Parameter = Make(lr_Type);
        bool lr_WasValid = lr_Parameter.IsValid();
        mr_Effect.mr_Writes.clear();
        lr_Handler.Apply(nullptr, &lr_Parameter);
        EXPECT_TRUE(mr_Effect.mr_Writes.empty()) << static_cast<int>(lr_Type);
        // A refused set would have cleared the flag; an Any would have been typed.
        EXPECT_EQ(lr_Parameter.IsValid(), lr_WasValid) << static_cast<int>(lr_Type);
        EXPECT_EQ(lr_Parameter.GetType(), lr_Type);
    }
}
