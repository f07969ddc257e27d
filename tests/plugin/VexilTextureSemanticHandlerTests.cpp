// The plug-in's texture semantic handler on single parameters: it binds the
// record's current texture to 2-D texture parameters and to nothing else.
#include "ParameterEffectTest.h"

#include "ShaderParameter.h"
#include "VexilTextureSemanticHandler.h"

#include <gtest/gtest.h>

namespace {

class VexilTextureSemanticHandlerTest : public ParameterEffectTest {
protected:
    void SetUp() override {
        ParameterEffectTest::SetUp();
        mr_Effect_ = NewEffect("texture p;");
        ASSERT_NE(mr_Effect_, nullptr);
    }

    ShaderParameter Make(ShaderParameterType type) {
        return ShaderParameter("p", mr_Effect_, mr_Effect_->GetParameterByName(nullptr, "p"), type, 0);
    }

    ID3DXEffect* mr_Effect_ = nullptr;
    TextureRecord mr_Record;
};

}  // namespace

TEST_F(VexilTextureSemanticHandlerTest, BindsTheRecordsCurrentTextureToA2DParameterAndNullWithout) {
    VexilTextureSemanticHandler lr_Handler("BackBuffer", &mr_Record);
    ShaderParameter lr_Parameter = Make(ShaderParameterType::Texture2D);
    mr_Record.Texture = mr_Textures[0];
    lr_Handler.Apply(nullptr, &lr_Parameter);
    EXPECT_EQ(Bound(mr_Effect_, "p"), mr_Textures[0]);

    // The record is read at every Apply, so a re-created texture is picked up
    // and the effect lets go of the old one.
    const ULONG lr_Refs = RefCount(mr_Textures[0]);
    mr_Record.Texture = mr_Textures[1];
    lr_Handler.Apply(nullptr, &lr_Parameter);
    EXPECT_EQ(Bound(mr_Effect_, "p"), mr_Textures[1]);
    EXPECT_EQ(RefCount(mr_Textures[0]), lr_Refs - 1);
    EXPECT_TRUE(lr_Parameter.IsValid());

    mr_Record.Texture = nullptr;
    lr_Handler.Apply(nullptr, &lr_Parameter);
    EXPECT_EQ(Bound(mr_Effect_, "p"), nullptr);
    EXPECT_EQ(lr_Parameter.GetTexture2D(), nullptr);
}

// The effect parameter is a texture, so a bind that slipped through would show.
TEST_F(VexilTextureSemanticHandlerTest, LeavesEveryOtherTypeAlone) {
    VexilTextureSemanticHandler lr_Handler("BackBuffer", &mr_Record);
    mr_Record.Texture = mr_Textures[0];
    using Type = ShaderParameterType;
    for (Type lr_Type : {Type::Float4, Type::TextureCube, Type::Texture1D, Type::Texture3D, Type::Matrix, Type::Any}) {
        ShaderParameter lr_Parameter = Make(lr_Type);
        bool lr_WasValid = lr_Parameter.IsValid();
        lr_Handler.Apply(nullptr, &lr_Parameter);
        EXPECT_EQ(Bound(mr_Effect_, "p"), nullptr) << static_cast<int>(lr_Type);
        // A refused set would have cleared the flag; an Any would have been typed.
        EXPECT_EQ(lr_Parameter.IsValid(), lr_WasValid) << static_cast<int>(lr_Type);
        EXPECT_EQ(lr_Parameter.GetType(), lr_Type);
    }
}
