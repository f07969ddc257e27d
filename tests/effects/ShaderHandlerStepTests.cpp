// The handler steps a shader runs around the effect: semantic and annotation
// handlers at Begin, callback handlers at BeginPass, and what a reload resets.
#include "EffectsDeviceTest.h"

#include "Shader.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const char* const s_Effect = R"(
float4 Tint : TintColour < bool Marker = true; int Weight = 3; > = {1, 1, 1, 1};
texture Scene : SceneTexture;
float4 Main() : COLOR { return Tint; }

technique Draw < bool Primary = true; >
{
    pass P0 < bool Blur = true; bool Late = false; bool Both = true; >
    {
        PixelShader = compile ps_2_0 Main();
        FillMode = Wireframe;
    }
    pass P1 < bool Late = true; bool Both = true; >
    {
        PixelShader = compile ps_2_0 Main();
    }
}
)";

class ShaderHandlerStepTest : public EffectsDeviceTest {
protected:
    std::unique_ptr<Shader> Make() { return std::make_unique<Shader>(mr_Device_, "steps", s_Effect, ""); }
    // Runs one whole frame of the protocol and returns BeginPass's results.
    std::vector<PassResult> Frame(Shader& shader) {
        std::vector<PassResult> lr_Results;
        unsigned lr_Passes = shader.Begin();
        for (unsigned lr_Pass = 0; lr_Pass < lr_Passes; ++lr_Pass) {
            lr_Results.push_back(shader.BeginPass(lr_Pass));
            shader.EndPass();
        }
        shader.End();
        return lr_Results;
    }
};

}  // namespace

TEST_F(ShaderHandlerStepTest, SemanticEntryResolvesOnceAndAppliesAtEveryBegin) {
    auto lr_Shader = Make();
    auto* lr_Handler = new CountingSemanticHandler("TintColour");
    ASSERT_TRUE(lr_Shader->AddSemanticHandler(lr_Handler));
    EXPECT_TRUE(lr_Handler->mr_Parameters.empty());

    Frame(*lr_Shader);
    Frame(*lr_Shader);
    ASSERT_EQ(lr_Handler->mr_Parameters.size(), 2u);
    EXPECT_EQ(lr_Handler->mr_Parameters[0], lr_Handler->mr_Parameters[1]);
    ASSERT_EQ(lr_Shader->GetParameters().size(), 1u);
    // Found with Any: the handler sees the parameter's own type.
    EXPECT_EQ(lr_Handler->mr_Parameters[0]->GetType(), ShaderParameterType::Float4);
    EXPECT_EQ(lr_Handler->mr_Parameters[0]->GetHandle(), lr_Shader->GetEffect()->GetParameterByName(nullptr, "Tint"));
}

TEST_F(ShaderHandlerStepTest, UnresolvableSemanticIsErasedAtTheFirstBegin) {
    auto lr_Shader = Make();
    auto* lr_Owned = new CountingSemanticHandler("NoSuchSemantic");
    auto* lr_System = new CountingSemanticHandler("AnotherMissingSemantic");
    ASSERT_TRUE(lr_Shader->AddSemanticHandler(lr_Owned));
    ASSERT_TRUE(lr_Shader->AddSystemSemanticHandler(lr_System));
    Frame(*lr_Shader);
    EXPECT_EQ(lr_Shader->GetSemanticHandler("NoSuchSemantic"), nullptr);
    EXPECT_EQ(lr_Shader->GetSemanticHandler("AnotherMissingSemantic"), nullptr);
    EXPECT_FALSE(HandlerRegistry::IsLive(lr_Owned));
    EXPECT_TRUE(HandlerRegistry::IsLive(lr_System));
    EXPECT_TRUE(HandlerRegistry::Calls().empty());
    delete lr_System;
}

TEST_F(ShaderHandlerStepTest, HandlersRunInKeyOrderSemanticsFirst) {
    auto lr_Shader = Make();
    lr_Shader->AddAnnotationHandler(new CountingAnnotationHandler("Tint", "Weight"));
    lr_Shader->AddAnnotationHandler(new CountingAnnotationHandler("Tint", "Marker"));
    lr_Shader->AddSemanticHandler(new CountingSemanticHandler("TintColour"));
    lr_Shader->AddSemanticHandler(new CountingSemanticHandler("SceneTexture"));
    lr_Shader->Begin();
    lr_Shader->End();
    EXPECT_EQ(HandlerRegistry::Calls(),
              std::vector<std::string>({"semantic:SceneTexture:apply", "semantic:TintColour:apply",
                                        "annotation:Marker:apply", "annotation:Weight:apply"}));
}

TEST_F(ShaderHandlerStepTest, AnnotationHandlersFindTheirAnnotationByObjectName) {
    auto lr_Shader = Make();
    auto* lr_OnParameter = new CountingAnnotationHandler("Tint", "Weight");
    auto* lr_OnTechnique = new CountingAnnotationHandler("Draw", "Primary");
    auto* lr_Missing = new CountingAnnotationHandler("Tint", "Absent");
    lr_Shader->AddAnnotationHandler(lr_OnParameter);
    lr_Shader->AddAnnotationHandler(lr_OnTechnique);
    lr_Shader->AddAnnotationHandler(lr_Missing);

    Frame(*lr_Shader);
    Frame(*lr_Shader);
    EXPECT_FALSE(HandlerRegistry::IsLive(lr_Missing));
    EXPECT_EQ(lr_Shader->GetAnnotationHandler("Absent"), nullptr);

    ASSERT_EQ(lr_OnParameter->mr_Annotations.size(), 2u);
    EXPECT_EQ(lr_OnParameter->mr_Annotations[0], lr_OnParameter->mr_Annotations[1]);
    INT lr_Weight = 0;
    ASSERT_EQ(lr_Shader->GetEffect()->GetInt(lr_OnParameter->mr_Annotations[0], &lr_Weight), D3D_OK);
    EXPECT_EQ(lr_Weight, 3);

    ASSERT_EQ(lr_OnTechnique->mr_Annotations.size(), 2u);
    BOOL lr_Primary = FALSE;
    ASSERT_EQ(lr_Shader->GetEffect()->GetBool(lr_OnTechnique->mr_Annotations[0], &lr_Primary), D3D_OK);
    EXPECT_TRUE(lr_Primary);
}

TEST_F(ShaderHandlerStepTest, CallbackRunsOnThePassesWhoseAnnotationIsTrue) {
    auto lr_Shader = Make();
    auto* lr_Both = new CountingCallbackHandler("Both", PassResult::Repeat);
    lr_Shader->AddCallbackHandler(lr_Both);
    ASSERT_EQ(lr_Shader->Begin(), 2u);
    EXPECT_EQ(lr_Shader->BeginPass(0), PassResult::Repeat);
    EXPECT_EQ(lr_Shader->BeginPass(0), PassResult::Repeat);  // begun again, as the caller does after Repeat
    lr_Shader->EndPass();
    EXPECT_EQ(lr_Shader->BeginPass(1), PassResult::Repeat);
    lr_Shader->EndPass();
    lr_Shader->End();
    EXPECT_TRUE(lr_Shader->IsValid()) << lr_Shader->GetErrorMessage();
    ASSERT_EQ(lr_Both->mr_Passes.size(), 3u);
    D3DXHANDLE lr_Technique = lr_Shader->GetEffect()->GetTechnique(0);
    EXPECT_EQ(lr_Both->mr_Passes[0], lr_Shader->GetEffect()->GetPass(lr_Technique, 0));
    EXPECT_EQ(lr_Both->mr_Passes[2], lr_Shader->GetEffect()->GetPass(lr_Technique, 1));
}

TEST_F(ShaderHandlerStepTest, CallbackNotCoveringAPassIsRemovedWhenThatPassBegins) {
    auto lr_Shader = Make();
    auto* lr_Late = new CountingCallbackHandler("Late", PassResult::Done);        // true on P1 only
    auto* lr_Unknown = new CountingCallbackHandler("Unknown", PassResult::Done);  // on no pass
    lr_Shader->AddCallbackHandler(lr_Late);
    lr_Shader->AddCallbackHandler(lr_Unknown);
    EXPECT_EQ(Frame(*lr_Shader), std::vector<PassResult>({PassResult::None, PassResult::None}));
    EXPECT_FALSE(HandlerRegistry::IsLive(lr_Late));
    EXPECT_FALSE(HandlerRegistry::IsLive(lr_Unknown));
    EXPECT_EQ(lr_Shader->GetCallbackHandler("Late"), nullptr);
    EXPECT_TRUE(HandlerRegistry::Calls().empty());
}

// Whichever handler's key comes first: Blur is called before Both, and the
// strongest of the two results wins, not the first that is not None.
TEST_F(ShaderHandlerStepTest, HighestCallbackResultWins) {
    struct Case {
        PassResult Blur, Both, Wins;
    };
    const Case lr_Cases[] = {{PassResult::Done, PassResult::Repeat, PassResult::Done},
                             {PassResult::Repeat, PassResult::Done, PassResult::Done},
                             {PassResult::Repeat, PassResult::Skip, PassResult::Skip},
                             {PassResult::None, PassResult::Repeat, PassResult::Repeat}};
    for (const Case& lr_Case : lr_Cases) {
        HandlerRegistry::Calls().clear();
        auto lr_Shader = Make();
        lr_Shader->AddCallbackHandler(new CountingCallbackHandler("Both", lr_Case.Both));
        lr_Shader->AddCallbackHandler(new CountingCallbackHandler("Blur", lr_Case.Blur));
        lr_Shader->Begin();
        EXPECT_EQ(lr_Shader->BeginPass(0), lr_Case.Wins)
            << static_cast<int>(lr_Case.Blur) << " then " << static_cast<int>(lr_Case.Both);
        lr_Shader->EndPass();
        lr_Shader->End();
        EXPECT_EQ(HandlerRegistry::Calls(), std::vector<std::string>({"callback:Blur:apply", "callback:Both:apply"}));
    }
}

TEST_F(ShaderHandlerStepTest, ResultOutsideTheKnownCodesChangesNothing) {
    auto lr_Shader = Make();
    lr_Shader->AddCallbackHandler(new CountingCallbackHandler("Both", static_cast<PassResult>(7)));
    lr_Shader->AddCallbackHandler(new CountingCallbackHandler("Blur", static_cast<PassResult>(-1)));
    lr_Shader->Begin();
    EXPECT_EQ(lr_Shader->BeginPass(0), PassResult::None);
    lr_Shader->EndPass();
    lr_Shader->End();
    EXPECT_EQ(HandlerRegistry::Calls().size(), 2u);
}

TEST_F(ShaderHandlerStepTest, SkipLeavesTheEffectsPassUnbegun) {
    auto lr_Shader = Make();
    lr_Shader->AddCallbackHandler(new CountingCallbackHandler("Both", PassResult::Repeat));
    auto* lr_Skipper = new CountingCallbackHandler("Blur", PassResult::Skip);
    lr_Shader->AddCallbackHandler(lr_Skipper);
    lr_Shader->Begin();
    EXPECT_EQ(lr_Shader->BeginPass(0), PassResult::Skip);
    EXPECT_EQ(RenderState(D3DRS_FILLMODE), static_cast<DWORD>(D3DFILL_SOLID));
    lr_Shader->EndPass();
    // The skipping callback does not cover P1 and is gone after it.
    EXPECT_EQ(lr_Shader->BeginPass(1), PassResult::Repeat);
    lr_Shader->EndPass();
    lr_Shader->End();
    EXPECT_TRUE(lr_Shader->IsValid()) << lr_Shader->GetErrorMessage();
    EXPECT_FALSE(HandlerRegistry::IsLive(lr_Skipper));
}

TEST_F(ShaderHandlerStepTest, ReloadResetsAndResolvesAgain) {
    std::string ls_Path = WriteFile("Steps.hlsl", s_Effect);
    auto lr_Shader = std::make_unique<Shader>(mr_Device_, "steps", "", ls_Path);
    auto* lr_Semantic = new CountingSemanticHandler("TintColour");
    auto* lr_Annotation = new CountingAnnotationHandler("Tint", "Marker");
    auto* lr_Callback = new CountingCallbackHandler("Both", PassResult::None);
    lr_Shader->AddSemanticHandler(lr_Semantic);
    lr_Shader->AddAnnotationHandler(lr_Annotation);
    lr_Shader->AddCallbackHandler(lr_Callback);
    Frame(*lr_Shader);

    HandlerRegistry::Calls().clear();
    lr_Shader->Reload();
    ASSERT_TRUE(lr_Shader->IsValid()) << lr_Shader->GetErrorMessage();
    EXPECT_EQ(HandlerRegistry::Calls(),
              std::vector<std::string>({"annotation:Marker:reset", "semantic:TintColour:reset"}));

    Frame(*lr_Shader);
    ID3DXEffect* lr_Effect = lr_Shader->GetEffect();
    // A new parameter object for the semantic; the old one stays in the list.
    ASSERT_EQ(lr_Semantic->mr_Parameters.size(), 2u);
    EXPECT_NE(lr_Semantic->mr_Parameters[0], lr_Semantic->mr_Parameters[1]);
    EXPECT_EQ(lr_Shader->GetParameters().size(), 2u);
    EXPECT_EQ(lr_Semantic->mr_Parameters[1]->GetHandle(), lr_Effect->GetParameterByName(nullptr, "Tint"));
    ASSERT_EQ(lr_Annotation->mr_Annotations.size(), 2u);
    EXPECT_EQ(lr_Annotation->mr_Annotations[1], lr_Effect->GetAnnotationByName("Tint", "Marker"));
    // Pass handles are those of the new effect.
    ASSERT_EQ(lr_Callback->mr_Passes.size(), 4u);
    EXPECT_EQ(lr_Callback->mr_Passes[2], lr_Effect->GetPass(lr_Effect->GetTechnique(0), 0));
    EXPECT_EQ(lr_Callback->mr_Passes[3], lr_Effect->GetPass(lr_Effect->GetTechnique(0), 1));
}
