// ShaderSystem: registries of handlers and shaders, what new shaders receive,
// and who deletes what.
#include "EffectsDeviceTest.h"

#include "ShaderPasses.h"
#include "ShaderSystem.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const char* const s_Effect = R"(
float4 Tint : TintColour < bool Marker = true; > = {1, 1, 1, 1};
float4 Main() : COLOR { return Tint; }
technique Draw
{
    pass P0 < bool Blur = true; > { PixelShader = compile ps_2_0 Main(); }
}
)";

class ShaderSystemTest : public EffectsDeviceTest {
protected:
    void TearDown() override {
        mr_System_.reset();
        EffectsDeviceTest::TearDown();
    }

    std::unique_ptr<ShaderSystem> mr_System_;

    void SetUp() override {
        EffectsDeviceTest::SetUp();
        mr_System_ = std::make_unique<ShaderSystem>(mr_Device_);
    }
};

}  // namespace

TEST_F(ShaderSystemTest, HandlerKeyTakenRefusesTheSecondWhichStaysTheCallers) {
    auto* lr_First = new CountingSemanticHandler("TintColour");
    auto* lr_Second = new CountingSemanticHandler("TintColour");
    EXPECT_TRUE(mr_System_->AddSemanticHandler(lr_First));
    EXPECT_FALSE(mr_System_->AddSemanticHandler(lr_Second));
    EXPECT_FALSE(mr_System_->AddSemanticHandler(nullptr));
    EXPECT_EQ(mr_System_->GetSemanticHandler("TintColour"), lr_First);
    EXPECT_EQ(mr_System_->GetSemanticHandler("tintcolour"), nullptr);
    mr_System_.reset();
    EXPECT_FALSE(HandlerRegistry::IsLive(lr_First));
    EXPECT_TRUE(HandlerRegistry::IsLive(lr_Second));
    delete lr_Second;
}

TEST_F(ShaderSystemTest, EachKindIsKeyedByItsOwnName) {
    auto* lr_Annotation = new CountingAnnotationHandler("Tint", "Marker");
    auto* lr_Callback = new CountingCallbackHandler("Blur");
    EXPECT_TRUE(mr_System_->AddAnnotationHandler(lr_Annotation));
    EXPECT_TRUE(mr_System_->AddCallbackHandler(lr_Callback));
    EXPECT_EQ(mr_System_->GetAnnotationHandler("Marker"), lr_Annotation);
    EXPECT_EQ(mr_System_->GetAnnotationHandler("Tint"), nullptr);
    EXPECT_EQ(mr_System_->GetCallbackHandler("Blur"), lr_Callback);
    EXPECT_FALSE(mr_System_->AddAnnotationHandler(nullptr));
    EXPECT_FALSE(mr_System_->AddCallbackHandler(nullptr));
}

TEST_F(ShaderSystemTest, RemovalDeletesTheRegisteredHandler) {
    auto* lr_Registered = new CountingCallbackHandler("Blur");
    auto* lr_SameKey = new CountingCallbackHandler("Blur");
    auto* lr_Annotation = new CountingAnnotationHandler("Tint", "Marker");
    auto* lr_Semantic = new CountingSemanticHandler("TintColour");
    mr_System_->AddCallbackHandler(lr_Registered);
    mr_System_->AddAnnotationHandler(lr_Annotation);
    mr_System_->AddSemanticHandler(lr_Semantic);

    EXPECT_FALSE(mr_System_->RemoveSemanticHandler("Unknown"));
    EXPECT_FALSE(mr_System_->RemoveCallbackHandler(static_cast<ICallbackHandler*>(nullptr)));
    EXPECT_EQ(HandlerRegistry::Destroyed(), 0);

    // Another object under the registered key removes the registered one.
    EXPECT_TRUE(mr_System_->RemoveCallbackHandler(lr_SameKey));
    EXPECT_FALSE(HandlerRegistry::IsLive(lr_Registered));
    EXPECT_TRUE(HandlerRegistry::IsLive(lr_SameKey));
    EXPECT_EQ(mr_System_->GetCallbackHandler("Blur"), nullptr);

    EXPECT_TRUE(mr_System_->RemoveAnnotationHandler("Marker"));
    EXPECT_TRUE(mr_System_->RemoveSemanticHandler(lr_Semantic));
    EXPECT_FALSE(HandlerRegistry::IsLive(lr_Annotation));
    EXPECT_FALSE(HandlerRegistry::IsLive(lr_Semantic));
    EXPECT_FALSE(mr_System_->RemoveSemanticHandler("TintColour"));
    delete lr_SameKey;
}

TEST_F(ShaderSystemTest, ShadersReceiveOnlyHandlersRegisteredBeforeThem) {
    auto* lr_Early = new CountingSemanticHandler("TintColour");
    mr_System_->AddSemanticHandler(lr_Early);
    IShader* lr_Before = mr_System_->CreateShaderFromCode("Before", s_Effect);
    auto* lr_Late = new CountingCallbackHandler("Blur", PassResult::Done);
    mr_System_->AddCallbackHandler(lr_Late);
    IShader* lr_After = mr_System_->CreateShaderFromCode("After", s_Effect);

    EXPECT_EQ(lr_Before->GetSemanticHandler("TintColour"), lr_Early);
    EXPECT_EQ(lr_Before->GetCallbackHandler("Blur"), nullptr);
    EXPECT_EQ(lr_After->GetCallbackHandler("Blur"), lr_Late);

    lr_Before->Begin();
    EXPECT_EQ(lr_Before->BeginPass(0), PassResult::None);
    lr_Before->EndPass();
    lr_Before->End();
    lr_After->Begin();
    EXPECT_EQ(lr_After->BeginPass(0), PassResult::Done);
    lr_After->EndPass();
    lr_After->End();
    EXPECT_EQ(lr_Early->mr_Parameters.size(), 2u);
    EXPECT_EQ(lr_Late->mr_Passes.size(), 1u);
}

TEST_F(ShaderSystemTest, HandedOverHandlersAreNotDeletedByTheirShaders) {
    auto* lr_Handler = new CountingSemanticHandler("NotInTheEffect");
    mr_System_->AddSemanticHandler(lr_Handler);
    IShader* lr_Shader = mr_System_->CreateShaderFromCode("S", s_Effect);
    // Unresolvable: erased from the shader at Begin, kept by the system.
    lr_Shader->Begin();
    lr_Shader->End();
    EXPECT_EQ(lr_Shader->GetSemanticHandler("NotInTheEffect"), nullptr);
    EXPECT_TRUE(mr_System_->RemoveShader("S"));
    EXPECT_TRUE(HandlerRegistry::IsLive(lr_Handler));
    EXPECT_EQ(mr_System_->GetSemanticHandler("NotInTheEffect"), lr_Handler);
}

TEST_F(ShaderSystemTest, HandlerOfTheSystemIsRefusedByAShaderMadeBeforeIt) {
    IShader* lr_Shader = mr_System_->CreateShaderFromCode("S", s_Effect);
    auto* lr_Handler = new CountingSemanticHandler("TintColour");
    ASSERT_TRUE(mr_System_->AddSemanticHandler(lr_Handler));
    // The system owns it: the shader taking it too would delete it a second time.
    EXPECT_FALSE(lr_Shader->AddSemanticHandler(lr_Handler));
    EXPECT_EQ(lr_Shader->GetSemanticHandler("TintColour"), nullptr);
    // Nor does the system take one that a shader of its own already owns.
    auto* lr_Owned = new CountingSemanticHandler("Other");
    ASSERT_TRUE(lr_Shader->AddSemanticHandler(lr_Owned));
    EXPECT_FALSE(mr_System_->AddSemanticHandler(lr_Owned));
}

TEST_F(ShaderSystemTest, RemovedHandlerIsNeverCalledByShadersMadeBefore) {
    auto* lr_Semantic = new CountingSemanticHandler("TintColour");
    auto* lr_Annotation = new CountingAnnotationHandler("Tint", "Marker");
    auto* lr_Callback = new CountingCallbackHandler("Blur", PassResult::Done);
    mr_System_->AddSemanticHandler(lr_Semantic);
    mr_System_->AddAnnotationHandler(lr_Annotation);
    mr_System_->AddCallbackHandler(lr_Callback);
    IShader* lr_Shader = mr_System_->CreateShaderFromCode("S", s_Effect);
    lr_Shader->Begin();
    lr_Shader->BeginPass(0);
    lr_Shader->EndPass();
    lr_Shader->End();
    ASSERT_EQ(HandlerRegistry::Calls().size(), 3u);

    EXPECT_TRUE(mr_System_->RemoveSemanticHandler("TintColour"));
    EXPECT_TRUE(mr_System_->RemoveAnnotationHandler("Marker"));
    EXPECT_TRUE(mr_System_->RemoveCallbackHandler("Blur"));
    EXPECT_EQ(lr_Shader->GetSemanticHandler("TintColour"), nullptr);
    EXPECT_EQ(lr_Shader->GetAnnotationHandler("Marker"), nullptr);
    EXPECT_EQ(lr_Shader->GetCallbackHandler("Blur"), nullptr);

    lr_Shader->Begin();
    EXPECT_EQ(lr_Shader->BeginPass(0), PassResult::None);
    lr_Shader->EndPass();
    lr_Shader->End();
    lr_Shader->Reload();
    EXPECT_EQ(HandlerRegistry::Calls().size(), 3u);
}

TEST_F(ShaderSystemTest, ShaderHandlerOfTheCallerSurvivesRemovalFromTheSystem) {
    auto* lr_System = new CountingSemanticHandler("TintColour");
    mr_System_->AddSemanticHandler(lr_System);
    IShader* lr_Shader = mr_System_->CreateShaderFromCode("S", s_Effect);
    auto* lr_Own = new CountingSemanticHandler("TintColour");
    ASSERT_TRUE(lr_Shader->AddSemanticHandler(lr_Own));
    EXPECT_TRUE(mr_System_->RemoveSemanticHandler("TintColour"));
    EXPECT_EQ(lr_Shader->GetSemanticHandler("TintColour"), lr_Own);
    lr_Shader->Begin();
    lr_Shader->End();
    EXPECT_EQ(lr_Own->mr_Parameters.size(), 1u);
}

TEST_F(ShaderSystemTest, SecondShaderUnderATakenNameBelongsToTheCaller) {
    auto* lr_Handler = new CountingSemanticHandler("TintColour");
    mr_System_->AddSemanticHandler(lr_Handler);
    IShader* lr_First = mr_System_->CreateShaderFromCode("Same", s_Effect);
    IShader* lr_Second = mr_System_->CreateShaderFromCode("Same", s_Effect);
    ASSERT_NE(lr_First, nullptr);
    ASSERT_NE(lr_Second, nullptr);
    EXPECT_NE(lr_First, lr_Second);
    EXPECT_EQ(mr_System_->GetShader("Same"), lr_First);
    // Handed the handlers all the same.
    EXPECT_EQ(lr_Second->GetSemanticHandler("TintColour"), lr_Handler);

    mr_System_.reset();
    EXPECT_FALSE(HandlerRegistry::IsLive(lr_Handler));
    // The survivor holds nothing of the system any more and still works.
    EXPECT_EQ(lr_Second->GetSemanticHandler("TintColour"), nullptr);
    EXPECT_EQ(lr_Second->Begin(), 1u);
    lr_Second->End();
    EXPECT_TRUE(HandlerRegistry::Calls().empty());
    delete lr_Second;
}

TEST_F(ShaderSystemTest, CallerDeletingItsShaderBeforeTheSystem) {
    IShader* lr_First = mr_System_->CreateShaderFromCode("Same", s_Effect);
    IShader* lr_Second = mr_System_->CreateShaderFromCode("Same", s_Effect);
    delete lr_Second;
    auto* lr_Handler = new CountingSemanticHandler("TintColour");
    mr_System_->AddSemanticHandler(lr_Handler);
    // Removing a handler walks the shaders the system made: the deleted one is not among them.
    EXPECT_TRUE(mr_System_->RemoveSemanticHandler("TintColour"));
    EXPECT_EQ(mr_System_->GetShader("Same"), lr_First);
}

TEST_F(ShaderSystemTest, ShaderRemoval) {
    IShader* lr_Shader = mr_System_->CreateShaderFromCode("S", s_Effect);
    mr_System_->CreateShaderFromCode("T", s_Effect);
    EXPECT_FALSE(mr_System_->RemoveShader(static_cast<IShader*>(nullptr)));
    EXPECT_FALSE(mr_System_->RemoveShader("Unknown"));
    EXPECT_TRUE(mr_System_->RemoveShader(lr_Shader));
    EXPECT_EQ(mr_System_->GetShader("S"), nullptr);
    EXPECT_FALSE(mr_System_->RemoveShader("S"));
    EXPECT_TRUE(mr_System_->RemoveShader("T"));
    EXPECT_EQ(mr_System_->GetShader("T"), nullptr);
}

TEST_F(ShaderSystemTest, RegisteredShaderDeletedByTheCallerIsForgotten) {
    IShader* lr_Shader = mr_System_->CreateShaderFromCode("S", s_Effect);
    delete lr_Shader;
    EXPECT_EQ(mr_System_->GetShader("S"), nullptr);
    mr_System_->ReloadShaders();
    // Destroying the system must not delete it a second time.
}

TEST_F(ShaderSystemTest, ShaderFromAMissingFileIsRegisteredInvalid) {
    IShader* lr_Shader = mr_System_->CreateShaderFromFile("SSAO.hlsl", (mr_TempDirectory / "SSAO.hlsl").string());
    ASSERT_NE(lr_Shader, nullptr);
    EXPECT_FALSE(lr_Shader->IsValid());
    EXPECT_EQ(lr_Shader->GetErrorMessage(), "Unable to load shader.");
    EXPECT_EQ(mr_System_->GetShader("SSAO.hlsl"), lr_Shader);
    EXPECT_EQ(lr_Shader->GetName(), "SSAO.hlsl");
}

TEST_F(ShaderSystemTest, ShaderFromAFile) {
    std::string ls_Path = WriteFile("Tint.hlsl", s_Effect);
    IShader* lr_Shader = mr_System_->CreateShaderFromFile("Tint.hlsl", ls_Path);
    EXPECT_TRUE(lr_Shader->IsValid()) << lr_Shader->GetErrorMessage();
    EXPECT_EQ(lr_Shader->GetPassCount(), 1u);
}

TEST_F(ShaderSystemTest, ReloadShadersReloadsEachRegisteredShaderOnceInNameOrder) {
    mr_System_->ReloadShaders();  // nothing registered: nothing happens
    for (const char* ls_Name : {"b", "c", "a"}) {
        IShader* lr_Shader = mr_System_->CreateShaderFromCode(ls_Name, s_Effect);
        lr_Shader->AddSemanticHandler(new CountingSemanticHandler(std::string("Key") + ls_Name));
    }
    mr_System_->ReloadShaders();
    EXPECT_EQ(HandlerRegistry::Calls(),
              std::vector<std::string>({"semantic:Keya:reset", "semantic:Keyb:reset", "semantic:Keyc:reset"}));
}

TEST_F(ShaderSystemTest, DestructionDeletesEverythingOnceInItsOrder) {
    mr_System_->AddSemanticHandler(new CountingSemanticHandler("TintColour"));
    mr_System_->AddSemanticHandler(new CountingSemanticHandler("Other"));
    mr_System_->AddAnnotationHandler(new CountingAnnotationHandler("Tint", "Marker"));
    mr_System_->AddCallbackHandler(new CountingCallbackHandler("Blur"));
    for (const char* ls_Name : {"two", "one"}) {
        IShader* lr_Shader = mr_System_->CreateShaderFromCode(ls_Name, s_Effect);
        lr_Shader->AddSemanticHandler(new CountingSemanticHandler(std::string("TintColour") + ls_Name));
    }
    EXPECT_EQ(HandlerRegistry::Constructed(), 6);
    mr_System_.reset();
    // Annotation, semantic and callback handlers, then the shaders (by name)
    // with the handlers they own.
    EXPECT_EQ(HandlerRegistry::Deaths(),
              std::vector<std::string>({"annotation:Marker", "semantic:Other", "semantic:TintColour", "callback:Blur",
                                        "semantic:TintColourone", "semantic:TintColourtwo"}));
    EXPECT_TRUE(HandlerRegistry::Live().empty());
}

TEST_F(ShaderSystemTest, EachPassIsDrawnAsItsCallbackDecides) {
    // A callback on every pass: P0 repeated twice, P1 skipped, P2 left to the effect.
    auto* lr_Decide = new CountingCallbackHandler("Decide", PassResult::None);
    lr_Decide->mr_First = {PassResult::Repeat, PassResult::Repeat, PassResult::Done, PassResult::Skip};
    ASSERT_TRUE(mr_System_->AddCallbackHandler(lr_Decide));
    IShader* lr_Shader_ = mr_System_->CreateShaderFromCode("passes", R"(
        float4 Main() : COLOR { return 1; }
        technique Draw
        {
            pass P0 < bool Decide = true; > { PixelShader = compile ps_2_0 Main(); FillMode = Wireframe; }
            pass P1 < bool Decide = true; > { PixelShader = compile ps_2_0 Main(); FillMode = Point; }
            pass P2 < bool Decide = true; > { PixelShader = compile ps_2_0 Main(); FillMode = Solid; CullMode = None; }
        }
    )");
    ASSERT_NE(lr_Shader_, nullptr);
    ASSERT_TRUE(lr_Shader_->IsValid()) << lr_Shader_->GetErrorMessage();

    // Each drawing sees the states of the pass it draws.
    std::vector<DWORD> lr_Drawn;
    DrawPasses(*lr_Shader_, [&]() { lr_Drawn.push_back(RenderState(D3DRS_FILLMODE)); });
    EXPECT_EQ(lr_Drawn, (std::vector<DWORD>{D3DFILL_WIREFRAME, D3DFILL_WIREFRAME, D3DFILL_WIREFRAME, D3DFILL_SOLID}));
    EXPECT_EQ(HandlerRegistry::Calls(), std::vector<std::string>(5, "callback:Decide:apply"));
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW)) << "the effect ended";
    EXPECT_TRUE(lr_Shader_->IsValid()) << lr_Shader_->GetErrorMessage();
}
