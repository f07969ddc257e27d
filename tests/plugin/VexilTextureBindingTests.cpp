// The texture semantic handler registered with a shader system, on effects
// that declare the semantic with different types.
#include "EffectsDeviceTest.h"

#include "ShaderSystem.h"
#include "VexilTextureSemanticHandler.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::string EffectWith(const std::string& declaration) {
    return declaration + R"(
float4 Main() : COLOR { return 0; }
technique T { pass P0 { PixelShader = compile ps_2_0 Main(); } }
)";
}

class VexilTextureBindingTest : public EffectsDeviceTest {
protected:
    void SetUp() override {
        EffectsDeviceTest::SetUp();
        mr_System_ = std::make_unique<ShaderSystem>(mr_Device_);
        mr_System_->AddSemanticHandler(new VexilTextureSemanticHandler("BackBuffer", &mr_Record));
    }
    void TearDown() override {
        mr_System_.reset();
        for (IDirect3DTexture9* lr_Texture : mr_Textures) {
            lr_Texture->Release();
        }
        EffectsDeviceTest::TearDown();
    }

    IDirect3DTexture9* NewTexture(UINT width, UINT height) {
        IDirect3DTexture9* lr_Texture = nullptr;
        EXPECT_EQ(mr_Device_->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                            &lr_Texture, nullptr),
                  D3D_OK);
        mr_Textures.push_back(lr_Texture);
        return lr_Texture;
    }

    // What the effect holds for the parameter, without keeping a reference.
    IDirect3DBaseTexture9* Bound(IShader* shader, const char* parameter) {
        IDirect3DBaseTexture9* lr_Texture = nullptr;
        shader->GetEffect()->GetTexture(parameter, &lr_Texture);
        if (lr_Texture != nullptr) {
            lr_Texture->Release();
        }
        return lr_Texture;
    }

    void BeginAndEnd(IShader* shader) {
        shader->Begin();
        shader->End();
    }

    TextureRecord mr_Record;
    std::vector<IDirect3DTexture9*> mr_Textures;
    std::unique_ptr<ShaderSystem> mr_System_;
};

}  // namespace

TEST_F(VexilTextureBindingTest, PlainAndTwoDimensionalTexturesAreBound) {
    IShader* lr_Plain = mr_System_->CreateShaderFromCode("plain", EffectWith("texture Scene : BackBuffer;"));
    IShader* lr_Flat = mr_System_->CreateShaderFromCode("flat", EffectWith("texture2D Scene : BACKBUFFER;"));
    ASSERT_TRUE(lr_Plain->IsValid()) << lr_Plain->GetErrorMessage();
    ASSERT_TRUE(lr_Flat->IsValid()) << lr_Flat->GetErrorMessage();
    mr_Record.Texture = NewTexture(64, 32);
    BeginAndEnd(lr_Plain);
    BeginAndEnd(lr_Flat);
    EXPECT_EQ(Bound(lr_Plain, "Scene"), mr_Record.Texture);
    EXPECT_EQ(Bound(lr_Flat, "Scene"), mr_Record.Texture);
    // Ours plus one held by each effect: the handler adds none of its own.
    EXPECT_EQ(RefCount(mr_Record.Texture), 3u);
}

TEST_F(VexilTextureBindingTest, ReCreatedTextureIsBoundAtTheNextBegin) {
    IShader* lr_Shader = mr_System_->CreateShaderFromCode("s", EffectWith("texture Scene : BackBuffer;"));
    BeginAndEnd(lr_Shader);
    EXPECT_EQ(Bound(lr_Shader, "Scene"), nullptr);

    IDirect3DTexture9* lr_Old = NewTexture(64, 32);
    mr_Record.Texture = lr_Old;
    BeginAndEnd(lr_Shader);
    EXPECT_EQ(Bound(lr_Shader, "Scene"), lr_Old);

    mr_Record.Texture = NewTexture(128, 64);
    BeginAndEnd(lr_Shader);
    EXPECT_EQ(Bound(lr_Shader, "Scene"), mr_Record.Texture);
    // The effect let go of the old texture when it was replaced.
    EXPECT_EQ(RefCount(lr_Old), 1u);

    mr_Record.Texture = nullptr;
    BeginAndEnd(lr_Shader);
    EXPECT_EQ(Bound(lr_Shader, "Scene"), nullptr);
}

TEST_F(VexilTextureBindingTest, CubeTexturesAndVectorsWithTheSemanticAreLeftAlone) {
    IShader* lr_Cube = mr_System_->CreateShaderFromCode("cube", EffectWith("textureCUBE Scene : BackBuffer;"));
    IShader* lr_Vector = mr_System_->CreateShaderFromCode("vector", EffectWith("float4 Scene : BackBuffer;"));
    ASSERT_TRUE(lr_Cube->IsValid()) << lr_Cube->GetErrorMessage();
    ASSERT_TRUE(lr_Vector->IsValid()) << lr_Vector->GetErrorMessage();
    mr_Record.Texture = NewTexture(64, 32);
    BeginAndEnd(lr_Cube);
    BeginAndEnd(lr_Vector);
    EXPECT_EQ(Bound(lr_Cube, "Scene"), nullptr);
    EXPECT_EQ(RefCount(mr_Record.Texture), 1u);
    // Each effect's parameter was found and handed over, and no set of the
    // wrong type was attempted on it (that would have cleared IsValid).
    ASSERT_EQ(lr_Cube->GetParameters().size(), 1u);
    EXPECT_EQ(lr_Cube->GetParameters()[0]->GetType(), ShaderParameterType::TextureCube);
    EXPECT_TRUE(lr_Cube->GetParameters()[0]->IsValid());
    ASSERT_EQ(lr_Vector->GetParameters().size(), 1u);
    EXPECT_EQ(lr_Vector->GetParameters()[0]->GetType(), ShaderParameterType::Float4);
    EXPECT_TRUE(lr_Vector->GetParameters()[0]->IsValid());
}

TEST_F(VexilTextureBindingTest, EachHandlerServesItsOwnSemantic) {
    TextureRecord lr_Noise;
    mr_System_->AddSemanticHandler(new VexilTextureSemanticHandler("NoiseTexture", &lr_Noise));
    IShader* lr_Shader = mr_System_->CreateShaderFromCode(
        "both", EffectWith("texture Scene : BackBuffer;\ntexture2D Noise : NoiseTexture;"));
    mr_Record.Texture = NewTexture(64, 32);
    lr_Noise.Texture = NewTexture(16, 16);
    BeginAndEnd(lr_Shader);
    EXPECT_EQ(Bound(lr_Shader, "Scene"), mr_Record.Texture);
    EXPECT_EQ(Bound(lr_Shader, "Noise"), lr_Noise.Texture);
    // The system is deleted before lr_Noise goes out of scope.
    mr_System_.reset();
}
