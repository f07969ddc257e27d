#include "FrameFixture.h"

#include "PluginExpectations.h"
#include "TestFiles.h"

#include "ICheckBoxParameter.h"
#include "IParameter.h"

#include <cstring>

void FrameFixture::SetUp() {
    SoftDeviceFixture::SetUp();
    if (HasFatalFailure()) {
        return;
    }
    WriteFrameTestData(EffectDirectory());
    const std::wstring ls_Base = mr_TempDirectory.wstring() + L"/";
    mr_Host.reset(new TestHost(ls_Base, ls_Base));
}

void FrameFixture::TearDown() {
    StopPlugin();
    SoftDeviceFixture::TearDown();
}

std::filesystem::path FrameFixture::EffectDirectory() const { return mr_TempDirectory / "Plugins" / "SSAO"; }

void FrameFixture::WriteEffectFile(const std::string& file, const std::string& code) {
    WriteFrameEffectFile(EffectDirectory(), file, code);
}

void FrameFixture::WriteShippedDepthEffect(const std::filesystem::path& shipped, const std::string& define,
                                           const std::string& value) {
    for (const char* ls_File : {"RenderDepth.hlsl", "Settings.fxh", "DepthSlices.fxh", "FullScreenPass.fxh"}) {
        std::string ls_Text = ReadFile(shipped / ls_File);
        ASSERT_FALSE(ls_Text.empty()) << ls_File;
        const std::string ls_Key = "#define " + define + " ";
        const size_t lr_At = define.empty() ? std::string::npos : ls_Text.find(ls_Key);
        if (lr_At != std::string::npos)
            ls_Text.replace(lr_At + ls_Key.size(), ls_Text.find('\n', lr_At) - lr_At - ls_Key.size(), value);
        WriteEffectFile(ls_File, ls_Text);
    }
}

void FrameFixture::StartPlugin() {
    ASSERT_EQ(mr_Plugin_, nullptr);
    mr_Plugin_ = new k_Plugin(mr_Host.get());
    mr_Plugin_->Initialise(mr_Device_);
    mr_Plugin_->SetActive(true);
    ASSERT_TRUE(mr_Plugin_->IsActive());
}

void FrameFixture::StopPlugin() {
    if (!mr_Plugin_) {
        return;
    }
    mr_Plugin_->Deinitialise();
    delete mr_Plugin_;
    mr_Plugin_ = nullptr;
}

void FrameFixture::SetShowAOOnly(bool on) {
    IParameter* lr_Parameter_ = mr_Plugin_->FindParameter(IID_ShowAOOnlyParameter);
    ASSERT_NE(lr_Parameter_, nullptr);
    ICheckBoxParameter* lr_CheckBox_ =
        static_cast<ICheckBoxParameter*>(lr_Parameter_->GetInterface(IID_ICheckBoxParameter));
    ASSERT_NE(lr_CheckBox_, nullptr);
    lr_CheckBox_->SetValue(on);
}

std::string FrameFixture::ReadLog() const { return ReadText(mr_TempDirectory / "Vexil.log"); }

void FrameFixture::MarkLog() { mr_LogMark = ReadLog(); }

std::string FrameFixture::LogSinceMark() const {
    const std::string ls_Log = ReadLog();
    if (ls_Log.compare(0, mr_LogMark.size(), mr_LogMark) != 0) {
        ADD_FAILURE() << "the log was rewritten, not appended to";
        return ls_Log;
    }
    return ls_Log.substr(mr_LogMark.size());
}

std::vector<std::string> FrameFixture::DrawNames() const {
    std::vector<std::string> lr_Names;
    for (const SoftDrawRecord& lr_Draw : mr_Control_->GetDraws()) {
        lr_Names.push_back(lr_Draw.PixelShaderName);
    }
    return lr_Names;
}

std::vector<SoftDrawRecord> FrameFixture::DrawsOf(const char* pass) const {
    std::vector<SoftDrawRecord> lr_Draws;
    for (const SoftDrawRecord& lr_Draw : mr_Control_->GetDraws()) {
        if (lr_Draw.PixelShaderName == pass) {
            lr_Draws.push_back(lr_Draw);
        }
    }
    return lr_Draws;
}

std::vector<FrameFixture::Vertex> FrameFixture::SliceVertices() const {
    const std::vector<SoftDrawRecord> lr_Depth = DrawsOf(FramePass::Depth);
    EXPECT_EQ(lr_Depth.size(), 1u);
    if (lr_Depth.size() != 1) return {};
    const SoftDrawRecord& lr_Draw = lr_Depth.front();
    EXPECT_EQ(lr_Draw.Stride, sizeof(Vertex));
    if (lr_Draw.Stride != sizeof(Vertex)) return {};
    std::vector<Vertex> lr_Vertices(lr_Draw.NumVertices);
    for (size_t lr_At = 0; lr_At < lr_Draw.Indices.size(); ++lr_At) {
        const UINT lr_Index = lr_Draw.Indices[lr_At] - lr_Draw.MinVertexIndex;
        if (lr_Index >= lr_Vertices.size()) {
            ADD_FAILURE() << "index " << lr_Draw.Indices[lr_At] << " outside the vertices drawn";
            return {};
        }
        std::memcpy(&lr_Vertices[lr_Index], &lr_Draw.Vertices[lr_At * sizeof(Vertex)], sizeof(Vertex));
    }
    return lr_Vertices;
}

bool FrameFixture::ReadsSurface(const SoftDrawRecord& draw, IDirect3DSurface9* surface) {
    for (IDirect3DBaseTexture9* lr_Texture_ : draw.Textures) {
        if (!lr_Texture_ || lr_Texture_->GetType() != D3DRTYPE_TEXTURE) continue;
        IDirect3DSurface9* lr_Level_ = nullptr;
        if (static_cast<IDirect3DTexture9*>(lr_Texture_)->GetSurfaceLevel(0, &lr_Level_) != D3D_OK) continue;
        lr_Level_->Release();
        if (lr_Level_ == surface) return true;
    }
    return false;
}

size_t CountOf(const std::string& text, const std::string& needle) {
    size_t lr_Count = 0;
    for (size_t lr_At = text.find(needle); lr_At != std::string::npos; lr_At = text.find(needle, lr_At + 1)) {
        ++lr_Count;
    }
    return lr_Count;
}
