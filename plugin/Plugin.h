// The ambient-occlusion plug-in. Its work is split by concern over
// PluginObject.cpp (construction), PluginActivation.cpp (initialise, switch
// on and off, device loss), PluginLoading.cpp (effects and the noise image),
// PluginRenderTargets.cpp (frame textures and masks) and PluginFrame.cpp
// (the per-frame passes).
#pragma once

#include "BatchScreenMask.h"
#include "ComPtr.h"
#include "DepthLayout.h"
#include "DepthRangeEstimator.h"
#include "IHost.h"
#include "IRenderable.h"
#include "IShader.h"
#include "IShaderSystem.h"
#include "LogFile.h"
#include "ScreenMask.h"
#include "TextureRecord.h"
#include "k_Direct3D9BasePlugin.h"

#include <d3d9.h>
#include <d3dx9.h>

#include <array>
#include <exception>
#include <string>
#include <vector>

class DepthTestSelector;

class k_Plugin : public k_Direct3D9BasePlugin {
public:
    explicit k_Plugin(IHost* host);
    ~k_Plugin() override;

    void Initialise(IDirect3DDevice9* device) override;
    void Deinitialise() override;
    void Render() override;
    void OnLostDevice() override;
    void OnResetDevice() override;
    void SetActive(bool on) override;

    // Copies the ShowAOOnly check box into mr_ShowAOOnly.
    void UpdateParameters();

    // Initialise sets no blur; hosts are offered no parameter for it, so a
    // caller that wants the blur (a measurement, an embedder) sets it here
    // after Initialise. A negative count draws none.
    void SetBlurPasses(int passes) noexcept { mr_BlurPasses = passes; }

    // Where the slices lie now, and what it was found from (for measurements
    // and the demo; hosts read it in the log).
    const DepthLayout& DepthLayoutInUse() const noexcept { return mr_DepthLayout; }

private:
    // Activation and deactivation, run by SetActive on a change of state.
    void Activate();
    void Deactivate() noexcept;
    void SwitchOffAfterFailure() noexcept;
    // Makes whichever of the two state blocks is missing; false while one is.
    bool CreateStateBlocks();

    // Loading.
    IShader* LoadEffectFile(const std::string& file, const std::string& directory);
    TextureRecord LoadTextureFile(const std::wstring& file, const std::wstring& directory);

    // Render targets.
    // A render-target texture, or nullptr. A retry is not logged: its failure was.
    enum class TextureLogging { Logged, Silent };
    IDirect3DTexture9* CreateTexture(unsigned width, unsigned height, D3DFORMAT format,
                                     TextureLogging logging = TextureLogging::Logged);
    void UpdateRenderTargets();
    void ReplaceRenderTargets(const TextureRecord& target);
    // Makes again, without a log line, what a failure left out at the last frame.
    void CompleteRenderTargets();
    void ReplaceScreenMask(ScreenMask*& mask);
    void ReplaceSliceMasks();
    bool SlicesComplete() const noexcept;
    void NoteRenderTargetFailures() noexcept;

    // Where the host's depth lies: Settings.fxh, the host's projection, or
    // occlusion queries of probes against its depth buffer.
    void ReadDepthSettings();
    void CreateDepthProbes();
    void ReleaseDepthProbes() noexcept;
    // While the host's state is current: its projection and depth test.
    void ReadHostDepthState();
    // Takes the counts that arrived and sets the layout; after the passes,
    // issues the next probes.
    void MeasureDepth();
    void ProbeDepth();
    bool CollectProbeCounts();
    void IssueProbes(unsigned long samples);
    bool ProbeGridFits(UINT width, UINT height);
    void ChooseDepthLayout();
    void ApplyDepthLayout();
    void ReportDepthLayout();

    // Frame.
    void RenderFrame(bool& hostStateSaved);
    void RestoreHostState() noexcept;
    void CopyInto(const TextureRecord& record, unsigned missingFailure, const RECT& rect);
    bool IsRenderingToBackBuffer();
    void RenderDepthPass();
    void RenderOcclusionPass();
    void RenderBlurPasses(int passes);
    void RenderWithShader(IRenderable* renderable, IShader* shader);
    void CopyBackBufferToTexture(IDirect3DTexture9* texture, const RECT& rect);
    // A pass's copy of the back buffer into the texture of `semantic`.
    void CopyForPass(const char* semantic);
    // The textures the effects reach by semantic, with the failure bit of a
    // copy into each (0: loaded from a file, never a copy's target).
    struct FrameTexture {
        const char* Semantic;
        TextureRecord* Record;
        unsigned MissingFailure;
    };
    std::array<FrameTexture, 4> FrameTextures();
    bool HasViewportDepthRangeChanged();
    float ComputeSliceDepth(double d);

    // Writes one log entry made of the given items (wide literals, narrow
    // strings, integers) with one open-append-close of the log file.
    template <typename... Items>
    void Log(const Items&... items) noexcept {
        WriteLog(mr_LogPath, items...);
    }

    // Failures that go on from frame to frame are logged when they begin,
    // not at every frame: one bit each, cleared when the failure ends.
    enum Failure : unsigned {
        k_StateBlocksFailed = 1u << 0,
        k_MaskBuffersFailed = 1u << 1,
        k_SceneTextureMissing = 1u << 2,
        k_DepthTextureMissing = 1u << 3,
        k_OcclusionTextureMissing = 1u << 4,
        k_CaptureFailed = 1u << 5,
        k_ApplyFailed = 1u << 6,
        k_RestoreFailed = 1u << 7,
        k_RenderThrew = 1u << 8,
        k_NoDepthBuffer = 1u << 9,
        k_QueryFailed = 1u << 10,
        k_NoSceneDepth = 1u << 11,
        k_UnknownCopyTarget = 1u << 12,
    };
    void LogOnce(unsigned failure, const wchar_t* line) noexcept {
        if (mr_Failures & failure) return;
        mr_Failures |= failure;
        Log(line);
    }
    void Recovered(unsigned failure) noexcept { mr_Failures &= ~failure; }

    // Runs one of the host's calls: what it throws ends here, with a log
    // line. With a failure bit (a call made every frame), the line is written
    // once until a call succeeds.
    template <typename Step>
    bool Guarded(const wchar_t* slot, Step step, unsigned failure = 0) noexcept {
        try {
            step();
            Recovered(failure);
            return true;
        } catch (const std::exception& lr_Error) {
            if (!(mr_Failures & failure)) Log(L"SSAO: ", slot, L" failed: ", lr_Error.what(), L"\n");
        } catch (...) {
            if (!(mr_Failures & failure)) Log(L"SSAO: ", slot, L" failed.\n");
        }
        mr_Failures |= failure;
        return false;
    }

    TextureRecord mr_NoiseTexture;
    TextureRecord mr_BackBufferTexture;
    TextureRecord mr_AOBackBufferTexture;
    TextureRecord mr_ZBackBufferTexture;
    ScreenMask* mr_ScreenMask_;
    ScreenMask* mr_ClearMask_;
    std::vector<ScreenMask*> mr_ZScreenMasks;
    BatchScreenMask* mr_ZScreenMask_;
    IShaderSystem* mr_ShaderSystem_;
    IShader* mr_ShowTextureShader_;
    IShader* mr_ZBlurShader_;
    IShader* mr_RenderDepthShader_;
    IShader* mr_RenderBlackShader_;
    IShader* mr_SSAOShader_;
    float mr_SliceStart;
    float mr_SliceRange;
    int mr_BlurPasses;
    bool mr_ShowAOOnly;
    int mr_SliceCount;
    bool mr_SlicesDirty;
    ComPtr<IDirect3DStateBlock9> mr_DefaultStateBlock;
    ComPtr<IDirect3DStateBlock9> mr_CurrentStateBlock;
    D3DCAPS9 mr_Caps;
    D3DVIEWPORT9 mr_Viewport;
    D3DXMATRIX mr_View;
    D3DXMATRIX mr_Projection;
    std::wstring mr_LogPath;
    // While the device is lost: whether the host wants the plug-in on once it is back.
    bool mr_WasActive;
    // Between OnLostDevice and OnResetDevice.
    bool mr_DeviceLost;
    // The Failure bits already logged.
    unsigned mr_Failures;

    // The depth layout (DepthLayout.h), what it was worked out from, and the
    // probes that measure the host's depth buffer.
    DepthSettings mr_DepthSettings;
    DepthLayout mr_DepthLayout;
    DepthLayout mr_ReportedLayout;
    bool mr_LayoutReported = false;
    DepthTestSelector* mr_DepthTestSelector_ = nullptr;  // owned by the shader system
    std::vector<ComPtr<IDirect3DQuery9>> mr_Queries;
    DepthProbe mr_PendingProbes[DepthRangeEstimator::k_MaxProbes];  // issued, counts not yet read
    unsigned mr_PendingCount = 0;
    BatchScreenMask* mr_ProbeGrid_ = nullptr;
    UINT mr_ProbeGridWidth = 0, mr_ProbeGridHeight = 0;
    unsigned long mr_ProbeSamples = 0;  // of the pending probes, per probe
    DepthRangeEstimator mr_DepthEstimator;
    double mr_LeastDepthU = 0.0;
    bool mr_HostProjectionRead = false;
    HostProjection mr_HostProjection;
    int mr_HostDepthHint = -1;    // from D3DRS_ZFUNC: 0 as usual, 1 reversed, -1 not known
    unsigned mr_DepthFrames = 0;  // frames since activation
    bool mr_ProbesDue = false;
    bool mr_FloatDepth = false;  // the host's depth buffer holds floats
};
