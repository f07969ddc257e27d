// Construction and destruction of the plug-in, and the copy of its one
// setting.
#include "Plugin.h"

#include "Guids.h"
#include "HostContract.h"
#include "k_CheckBoxParameter.h"

#include <cstring>
#include <memory>

k_Plugin::k_Plugin(IHost* host)
    : k_Direct3D9BasePlugin(host, L"SSAO", L"Blurs scene elements who are out of focus."),
      mr_NoiseTexture(),
      mr_BackBufferTexture(),
      mr_AOBackBufferTexture(),
      mr_ZBackBufferTexture(),
      mr_ScreenMask_(nullptr),
      mr_ClearMask_(nullptr),
      mr_ZScreenMasks(),
      mr_ZScreenMask_(nullptr),
      mr_ShaderSystem_(nullptr),
      mr_ShowTextureShader_(nullptr),
      // Assigned by activation; null until then so nothing reads garbage.
      mr_ZBlurShader_(nullptr),
      mr_RenderDepthShader_(nullptr),
      mr_RenderBlackShader_(nullptr),
      mr_SSAOShader_(nullptr),
      // Tuning values proper are set by Initialise.
      mr_SliceStart(1.0f),
      mr_SliceRange(0.01f),
      mr_BlurPasses(0),
      mr_ShowAOOnly(false),
      mr_SliceCount(10),
      mr_SlicesDirty(false),
      mr_WasActive(false),
      mr_DeviceLost(false),
      mr_Failures(0) {
    std::memset(&mr_Caps, 0, sizeof(mr_Caps));
    std::memset(&mr_Viewport, 0, sizeof(mr_Viewport));

    // A host without the path service gets no log (an empty path opens nothing)
    // rather than a crash.
    IHostPaths* lr_Paths_ = mr_Host_ ? static_cast<IHostPaths*>(mr_Host_->GetInterface(IID_IHostPaths)) : nullptr;
    if (lr_Paths_) mr_LogPath = lr_Paths_->GetBasePath() + L"Vexil.log";

    const D3DXVECTOR3 lr_Eye(0.0f, 0.0f, 0.0f);
    const D3DXVECTOR3 lr_At(0.0f, 0.0f, 1.0f);
    const D3DXVECTOR3 lr_Up(0.0f, 1.0f, 0.0f);
    D3DXMatrixLookAtLH(&mr_View, &lr_Eye, &lr_At, &lr_Up);
    D3DXMatrixPerspectiveFovLH(&mr_Projection, 1.5707964f, 1.0f, 1.0f, 2.0f);

    // Held until the list has taken it: a failed append must not lose it.
    std::unique_ptr<k_CheckBoxParameter> lr_ShowAOOnly(new k_CheckBoxParameter(
        this, IID_ShowAOOnlyParameter, L"ShowAOOnly", L"Show AO only", L"Renders the ambient occlusion value.", true));
    mr_Parameters.push_back(lr_ShowAOOnly.get());
    lr_ShowAOOnly.release();
}

// Deinitialise has normally released every device object already; a host
// that deletes an active plug-in still gets them back. The base deletes the
// check box.
k_Plugin::~k_Plugin() {
    if (IsActive()) Deactivate();
}

void k_Plugin::UpdateParameters() {
    IParameter* lr_Parameter_ = GetParameter(IID_ShowAOOnlyParameter);
    ICheckBoxParameter* lr_CheckBox_ =
        static_cast<ICheckBoxParameter*>(lr_Parameter_->GetInterface(IID_ICheckBoxParameter));
    mr_ShowAOOnly = lr_CheckBox_->GetValue();
}
