// k_Plugin with its protected steps and members in reach of the tests.
// Header only: for test programs that link the plug-in library.
#pragma once

#include "Plugin.h"

class ExposedPlugin : public k_Plugin {
public:
    using k_Plugin::k_Plugin;

    using k_Plugin::ComputeSliceDepth;
    using k_Plugin::CopyBackBufferToTexture;
    using k_Plugin::CreateTexture;
    using k_Plugin::HasViewportDepthRangeChanged;
    using k_Plugin::IsRenderingToBackBuffer;
    using k_Plugin::LoadEffectFile;
    using k_Plugin::LoadTextureFile;
    using k_Plugin::RenderBlurPasses;
    using k_Plugin::RenderDepthPass;
    using k_Plugin::RenderOcclusionPass;
    using k_Plugin::RenderWithShader;
    using k_Plugin::UpdateRenderTargets;

    using k_Plugin::mr_AOBackBufferTexture;
    using k_Plugin::mr_BackBufferTexture;
    using k_Plugin::mr_BlurPasses;
    using k_Plugin::mr_Caps;
    using k_Plugin::mr_ClearMask_;
    using k_Plugin::mr_CurrentStateBlock;
    using k_Plugin::mr_DefaultStateBlock;
    using k_Plugin::mr_Device_;
    using k_Plugin::mr_LogPath;
    using k_Plugin::mr_NoiseTexture;
    using k_Plugin::mr_Projection;
    using k_Plugin::mr_RenderBlackShader_;
    using k_Plugin::mr_RenderDepthShader_;
    using k_Plugin::mr_ScreenMask_;
    using k_Plugin::mr_ShaderSystem_;
    using k_Plugin::mr_ShowAOOnly;
    using k_Plugin::mr_ShowTextureShader_;
    using k_Plugin::mr_SliceCount;
    using k_Plugin::mr_SliceRange;
    using k_Plugin::mr_SlicesDirty;
    using k_Plugin::mr_SliceStart;
    using k_Plugin::mr_SSAOShader_;
    using k_Plugin::mr_View;
    using k_Plugin::mr_Viewport;
    using k_Plugin::mr_WasActive;
    using k_Plugin::mr_ZBackBufferTexture;
    using k_Plugin::mr_ZBlurShader_;
    using k_Plugin::mr_ZScreenMask_;
    using k_Plugin::mr_ZScreenMasks;
};
