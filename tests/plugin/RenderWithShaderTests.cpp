#include "FrameFixture.h"

#include <deque>
#include <string>
#include <vector>

namespace {

// A shader that answers BeginPass from a script and writes down every call.
class ScriptedShader : public IShader {
public:
    ScriptedShader(unsigned passes, std::deque<PassResult> results, std::vector<std::string>* calls)
        : mr_Passes(passes), mr_Results(std::move(results)), mr_Calls(calls) {}

    PassResult BeginPass(unsigned pass) override {
        mr_Calls->push_back("BeginPass " + std::to_string(pass));
        if (mr_Results.empty()) return PassResult::None;
        const PassResult lr_Result = mr_Results.front();
        mr_Results.pop_front();
        return lr_Result;
    }
    void EndPass() override { mr_Calls->push_back("EndPass"); }
    unsigned GetPassCount() override {
        mr_Calls->push_back("GetPassCount");
        return mr_Passes;
    }
    unsigned Begin() override {
        mr_Calls->push_back("Begin");
        return mr_Passes;
    }
    void End() override { mr_Calls->push_back("End"); }
    const std::string& GetName() override { return mr_Name; }
    bool AddAnnotationHandler(IAnnotationHandler*) override { return false; }
    bool RemoveAnnotationHandler(const std::string&) override { return false; }
    bool RemoveAnnotationHandler(IAnnotationHandler*) override { return false; }
    IAnnotationHandler* GetAnnotationHandler(const std::string&) override { return nullptr; }
    bool AddCallbackHandler(ICallbackHandler*) override { return false; }
    bool RemoveCallbackHandler(const std::string&) override { return false; }
    bool RemoveCallbackHandler(ICallbackHandler*) override { return false; }
    ICallbackHandler* GetCallbackHandler(const std::string&) override { return nullptr; }
    bool AddSemanticHandler(ISemanticHandler*) override { return false; }
    bool RemoveSemanticHandler(const std::string&) override { return false; }
    bool RemoveSemanticHandler(ISemanticHandler*) override { return false; }
    ISemanticHandler* GetSemanticHandler(const std::string&) override { return nullptr; }
    IShaderParameter* GetParameter(const std::string&, ShaderParameterType) override { return nullptr; }
    IShaderParameter* GetParameterBySemantic(const std::string&, ShaderParameterType) override { return nullptr; }
    std::vector<IShaderParameter*>& GetParameters() override { return mr_Parameters; }
    bool IsValid() override { return mr_Effect_ != nullptr; }
    const std::string& GetErrorMessage() override { return mr_Name; }
    void Reload() override {}
    // Only compared with null by the frame.
    ID3DXEffect* GetEffect() override { return mr_Effect_; }
    bool AddSystemAnnotationHandler(IAnnotationHandler*) override { return false; }
    bool AddSystemCallbackHandler(ICallbackHandler*) override { return false; }
    bool AddSystemSemanticHandler(ISemanticHandler*) override { return false; }

    ID3DXEffect* mr_Effect_ = reinterpret_cast<ID3DXEffect*>(this);

private:
    unsigned mr_Passes;
    std::deque<PassResult> mr_Results;
    std::vector<std::string>* mr_Calls;
    std::string mr_Name = "scripted";
    std::vector<IShaderParameter*> mr_Parameters;
};

class CountingRenderable : public IRenderable {
public:
    explicit CountingRenderable(std::vector<std::string>* calls) : mr_Calls(calls) {}
    void Draw(IDirect3DDevice9*) override { mr_Calls->push_back("Draw"); }
    void Bind(IDirect3DDevice9*) override { mr_Calls->push_back("Bind"); }

private:
    std::vector<std::string>* mr_Calls;
};

class RenderWithShaderTest : public FrameFixture {
protected:
    void SetUp() override {
        FrameFixture::SetUp();
        mr_Plugin_ = new ExposedPlugin(mr_Host.get());
        mr_Plugin_->Initialise(mr_Device_);
    }

    std::vector<std::string> Run(unsigned passes, std::deque<PassResult> results) {
        std::vector<std::string> lr_Calls;
        ScriptedShader lr_Shader(passes, std::move(results), &lr_Calls);
        CountingRenderable lr_Renderable(&lr_Calls);
        mr_Plugin_->RenderWithShader(&lr_Renderable, &lr_Shader);
        return lr_Calls;
    }
};

using Calls = std::vector<std::string>;

TEST_F(RenderWithShaderTest, EachPassIsBegunDrawnAndEnded) {
    EXPECT_EQ(Run(2, {PassResult::None, PassResult::Done}),
              (Calls{"Bind", "GetPassCount", "Begin", "BeginPass 0", "Draw", "EndPass", "BeginPass 1", "Draw",
                     "EndPass", "End"}));
}

TEST_F(RenderWithShaderTest, RepeatDrawsTheSamePassAgainUntilItStops) {
    EXPECT_EQ(Run(2, {PassResult::Repeat, PassResult::Repeat, PassResult::Done, PassResult::None}),
              (Calls{"Bind", "GetPassCount", "Begin", "BeginPass 0", "Draw", "BeginPass 0", "Draw", "BeginPass 0",
                     "Draw", "EndPass", "BeginPass 1", "Draw", "EndPass", "End"}));
}

TEST_F(RenderWithShaderTest, SkipDrawsNothingForThatPass) {
    EXPECT_EQ(
        Run(2, {PassResult::Skip, PassResult::None}),
        (Calls{"Bind", "GetPassCount", "Begin", "BeginPass 0", "EndPass", "BeginPass 1", "Draw", "EndPass", "End"}));
    // A repeated pass that is then skipped ends without another draw.
    EXPECT_EQ(Run(1, {PassResult::Repeat, PassResult::Skip}),
              (Calls{"Bind", "GetPassCount", "Begin", "BeginPass 0", "Draw", "BeginPass 0", "EndPass", "End"}));
}

TEST_F(RenderWithShaderTest, NoPassesStillBeginsAndEnds) {
    EXPECT_EQ(Run(0, {}), (Calls{"Bind", "GetPassCount", "Begin", "End"}));
}

TEST_F(RenderWithShaderTest, MissingShaderEffectOrGeometryIsLeftAlone) {
    Calls lr_Calls;
    CountingRenderable lr_Renderable(&lr_Calls);
    mr_Plugin_->RenderWithShader(&lr_Renderable, nullptr);
    EXPECT_TRUE(lr_Calls.empty());

    ScriptedShader lr_NoEffect(1, {}, &lr_Calls);
    lr_NoEffect.mr_Effect_ = nullptr;
    mr_Plugin_->RenderWithShader(&lr_Renderable, &lr_NoEffect);
    EXPECT_TRUE(lr_Calls.empty());

    ScriptedShader lr_Shader(1, {}, &lr_Calls);
    mr_Plugin_->RenderWithShader(nullptr, &lr_Shader);
    EXPECT_TRUE(lr_Calls.empty());
}

}  // namespace
