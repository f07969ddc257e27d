// Draw calls: checked against what is bound, recorded, and rasterised.
#include "objects/SoftBuffer.h"
#include "objects/SoftDevice.h"
#include "objects/SoftNoThrow.h"
#include "pipeline/SoftDrawPipeline.h"
#include "objects/SoftShader.h"
#include "objects/SoftSurface.h"

#include <algorithm>
#include <cstring>

namespace {

// Vertices (or indices) a draw of `count` primitives reads; 0 for an unknown type.
UINT ElementCount(D3DPRIMITIVETYPE type, UINT count) {
    switch (type) {
    case D3DPT_POINTLIST: return count;
    case D3DPT_LINELIST: return count * 2;
    case D3DPT_LINESTRIP: return count + 1;
    case D3DPT_TRIANGLELIST: return count * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return count + 2;
    default: return 0;
    }
}

DWORD ShaderMajor(DWORD version) { return (version >> 8) & 0xFF; }

}  // namespace

HRESULT SoftDevice::CheckVertexInput(UINT stride) const {
    if (mr_State.FVF == 0 && !mr_State.Declaration) return D3DERR_INVALIDCALL;
    if (stride == 0) return D3DERR_INVALIDCALL;
    if (mr_State.Declaration) {
        // Every stream the declaration reads must be bound.
        auto* lr_Decl_ = static_cast<SoftVertexDeclaration*>(mr_State.Declaration.Object());
        for (const D3DVERTEXELEMENT9& lr_Element : lr_Decl_->Elements()) {
            if (lr_Element.Stream == 0xFF || lr_Element.Stream == 0) continue;
            const SoftStreamSource& lr_Stream = mr_State.Streams[lr_Element.Stream];
            if (!lr_Stream.Buffer || lr_Stream.Stride == 0) return D3DERR_INVALIDCALL;
        }
    }
    return D3D_OK;
}

HRESULT SoftDevice::CheckShaderPairing() const {
    DWORD lr_PixelMajor = 0, lr_VertexMajor = 0;
    if (mr_State.PixelShader)
        lr_PixelMajor = ShaderMajor(static_cast<SoftPixelShader*>(mr_State.PixelShader.Object())->Version());
    if (mr_State.VertexShader)
        lr_VertexMajor = ShaderMajor(static_cast<SoftVertexShader*>(mr_State.VertexShader.Object())->Version());
    // Fixed-function vertex processing and pre-transformed vertices count as "not 3".
    if ((lr_PixelMajor == 3) != (lr_VertexMajor == 3)) return D3DERR_INVALIDCALL;
    return D3D_OK;
}

HRESULT SoftDevice::DrawCommon(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex, UINT numVertices, UINT start,
                               UINT primitiveCount, bool indexed, const BYTE* userVertices, UINT userStride,
                               const void* userIndices, D3DFORMAT userIndexFormat, SoftCall call) {
    HRESULT hr;
    if (TakeFault(call, &hr)) return hr;
    UINT lr_Count = ElementCount(type, primitiveCount);
    // The runtime draws nothing for zero primitives; refusing makes the mistake show.
    if (primitiveCount == 0 || lr_Count == 0) return D3DERR_INVALIDCALL;
    hr = CheckShaderPairing();
    if (FAILED(hr)) return hr;

    // Where the vertices come from: stream 0, or the caller's memory.
    const BYTE* lr_Vertices = nullptr;
    size_t lr_VertexBytes = 0;
    UINT lr_Stride = 0;
    if (userVertices) {
        lr_Stride = userStride;
        lr_Vertices = userVertices;
        // The caller's array holds the vertices up to MinVertexIndex + NumVertices
        // (indexed) or exactly those read (not indexed).
        UINT lr_Available = indexed ? minIndex + numVertices : lr_Count;
        lr_VertexBytes = static_cast<size_t>(lr_Available) * lr_Stride;
    } else {
        const SoftStreamSource& lr_Stream = mr_State.Streams[0];
        if (!lr_Stream.Buffer) return D3DERR_INVALIDCALL;
        lr_Stride = lr_Stream.Stride;
        auto* lr_Buffer_ = static_cast<SoftVertexBuffer*>(lr_Stream.Buffer.Object());
        UINT lr_Length = lr_Buffer_->Memory().Length();
        if (lr_Stream.Offset > lr_Length) return D3DERR_INVALIDCALL;
        lr_Vertices = lr_Buffer_->Memory().Bytes() + lr_Stream.Offset;
        lr_VertexBytes = lr_Length - lr_Stream.Offset;
    }
    hr = CheckVertexInput(lr_Stride);
    if (FAILED(hr)) return hr;

    const BYTE* lr_Indices = nullptr;
    UINT lr_IndexSize = 0;
    UINT lr_MaxVertex = 0;
    if (indexed) {
        if (userIndices) {
            if (userIndexFormat != D3DFMT_INDEX16 && userIndexFormat != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
            lr_IndexSize = userIndexFormat == D3DFMT_INDEX16 ? 2 : 4;
            lr_Indices = static_cast<const BYTE*>(userIndices);
        } else {
            if (!mr_State.Indices) return D3DERR_INVALIDCALL;
            auto* lr_Buffer_ = static_cast<SoftIndexBuffer*>(mr_State.Indices.Object());
            lr_IndexSize = lr_Buffer_->Format() == D3DFMT_INDEX16 ? 2 : 4;
            if ((static_cast<uint64_t>(start) + lr_Count) * lr_IndexSize > lr_Buffer_->Memory().Length())
                return D3DERR_INVALIDCALL;
            lr_Indices = lr_Buffer_->Memory().Bytes() + static_cast<size_t>(start) * lr_IndexSize;
        }
        for (UINT i = 0; i < lr_Count; ++i) {
            int64_t lr_Vertex = static_cast<int64_t>(baseVertex) + SoftReadIndex(lr_Indices, lr_IndexSize, i);
            if (lr_Vertex < 0 || static_cast<uint64_t>(lr_Vertex + 1) * lr_Stride > lr_VertexBytes)
                return D3DERR_INVALIDCALL;
            lr_MaxVertex = std::max(lr_MaxVertex, static_cast<UINT>(lr_Vertex));
        }
    } else {
        if ((static_cast<uint64_t>(start) + lr_Count) * lr_Stride > lr_VertexBytes) return D3DERR_INVALIDCALL;
        lr_MaxVertex = start + lr_Count - 1;
    }

    if (mr_RecordCalls) {
        MakeRoomFor(mr_Draws);
        mr_Draws.emplace_back();
        SoftDrawRecord& lr_Record = mr_Draws.back();
        lr_Record.PrimitiveType = type;
        lr_Record.BaseVertexIndex = baseVertex;
        lr_Record.MinVertexIndex = minIndex;
        lr_Record.NumVertices = numVertices;
        lr_Record.StartIndex = start;
        lr_Record.PrimitiveCount = primitiveCount;
        lr_Record.Indexed = indexed;
        lr_Record.FVF = mr_State.FVF;
        lr_Record.Stride = lr_Stride;
        lr_Record.Vertices.reserve(static_cast<size_t>(lr_Count) * lr_Stride);
        for (UINT i = 0; i < lr_Count; ++i) {
            size_t lr_Vertex;
            if (indexed) {
                UINT lr_Index = SoftReadIndex(lr_Indices, lr_IndexSize, i);
                lr_Record.Indices.push_back(lr_Index);
                lr_Vertex = static_cast<size_t>(static_cast<int64_t>(baseVertex) + lr_Index);
            } else {
                lr_Vertex = static_cast<size_t>(start) + i;
            }
            const BYTE* lr_Bytes = lr_Vertices + lr_Vertex * lr_Stride;
            lr_Record.Vertices.insert(lr_Record.Vertices.end(), lr_Bytes, lr_Bytes + lr_Stride);
        }
        lr_Record.RenderTarget = mr_RenderTargets[0].Get();
        lr_Record.DepthStencil = mr_DepthStencil.Get();
        lr_Record.Viewport = mr_State.Viewport;
        std::memcpy(lr_Record.RenderStates, mr_State.RenderStates, sizeof(lr_Record.RenderStates));
        for (UINT s = 0; s < SOFT_PIXEL_SAMPLERS; ++s) {
            lr_Record.Textures[s] = mr_State.Textures[s].Get();
            std::memcpy(lr_Record.SamplerStates[s], mr_State.SamplerStates[s], sizeof(lr_Record.SamplerStates[s]));
        }
        lr_Record.PixelShader = mr_State.PixelShader.Get();
        lr_Record.VertexShader = mr_State.VertexShader.Get();
        if (mr_State.PixelShader) {
            auto* lr_Shader_ = static_cast<SoftPixelShader*>(mr_State.PixelShader.Object());
            lr_Record.PixelShaderName = lr_Shader_->Name();
            lr_Record.PixelShaderVersion = lr_Shader_->Version();
        } else {
            lr_Record.PixelShaderVersion = 0;
        }
    }

    SoftDrawInput lr_Input;
    lr_Input.Type = type;
    lr_Input.ElementCount = lr_Count;
    lr_Input.Indices_ = lr_Indices;
    lr_Input.IndexSize = lr_IndexSize;
    lr_Input.BaseVertex = baseVertex;
    lr_Input.StartVertex = start;
    lr_Input.MaxVertex = lr_MaxVertex;
    lr_Input.Streams[0] = SoftStreamView{lr_Vertices, lr_VertexBytes, lr_Stride};
    for (UINT s = 1; s < SOFT_VERTEX_STREAMS; ++s) {
        const SoftStreamSource& lr_Stream = mr_State.Streams[s];
        if (!lr_Stream.Buffer) continue;
        const SoftBufferMemory& lr_Memory = static_cast<SoftVertexBuffer*>(lr_Stream.Buffer.Object())->Memory();
        if (lr_Stream.Offset > lr_Memory.Length()) continue;
        lr_Input.Streams[s] = SoftStreamView{lr_Memory.Bytes() + lr_Stream.Offset,
                                             lr_Memory.Length() - lr_Stream.Offset, lr_Stream.Stride};
    }
    SoftSurface* lr_Targets[SOFT_RENDER_TARGETS];
    for (UINT i = 0; i < SOFT_RENDER_TARGETS; ++i)
        lr_Targets[i] = static_cast<SoftSurface*>(mr_RenderTargets[i].Object());
    if (!mr_Pipeline) mr_Pipeline.reset(new SoftDrawPipeline());
    mr_Pipeline->SetFixedPointFiltering(mr_FixedPointFiltering);
    mr_Pipeline->SetWorkerClockAdvance(mr_WorkerClockAdvance);
    SoftDrawOutcome lr_Outcome =
        mr_Pipeline->Draw(mr_State, lr_Targets, static_cast<SoftSurface*>(mr_DepthStencil.Object()), lr_Input);
    // Occlusion queries count from this total; a draw not rasterised adds nothing.
    mr_SamplesPassed += lr_Outcome.PixelsWritten;
    if (mr_RecordCalls) {
        SoftDrawRecord& lr_Record = mr_Draws.back();
        lr_Record.Rasterised = lr_Outcome.Rasterised;
        if (lr_Outcome.Reason) lr_Record.NotRasterisedReason = lr_Outcome.Reason;
        lr_Record.PixelsShaded = lr_Outcome.PixelsShaded;
        lr_Record.PixelsWritten = lr_Outcome.PixelsWritten;
        lr_Record.StencilIgnored = lr_Outcome.StencilIgnored;
    }
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex,
                                                    UINT PrimitiveCount) {
    NoteCall();
    return SoftNoThrow(E_OUTOFMEMORY, [&] {
        return DrawCommon(PrimitiveType, 0, 0, 0, StartVertex, PrimitiveCount, false, nullptr, 0, nullptr,
                          D3DFMT_UNKNOWN, SoftCall::DrawPrimitive);
    });
}

HRESULT STDMETHODCALLTYPE SoftDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex,
                                                           UINT MinVertexIndex, UINT NumVertices, UINT startIndex,
                                                           UINT primCount) {
    NoteCall();
    return SoftNoThrow(E_OUTOFMEMORY, [&] {
        return DrawCommon(PrimitiveType, BaseVertexIndex, MinVertexIndex, NumVertices, startIndex, primCount, true,
                          nullptr, 0, nullptr, D3DFMT_UNKNOWN, SoftCall::DrawIndexedPrimitive);
    });
}

HRESULT STDMETHODCALLTYPE SoftDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                                      const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) {
    NoteCall();
    if (!pVertexStreamZeroData) return D3DERR_INVALIDCALL;
    HRESULT hr = SoftNoThrow(E_OUTOFMEMORY, [&] {
        return DrawCommon(PrimitiveType, 0, 0, 0, 0, PrimitiveCount, false,
                          static_cast<const BYTE*>(pVertexStreamZeroData), VertexStreamZeroStride, nullptr,
                          D3DFMT_UNKNOWN, SoftCall::DrawPrimitive);
    });
    // The runtime unbinds stream 0 after a draw from user memory.
    if (SUCCEEDED(hr)) mr_State.Streams[0] = SoftStreamSource();
    return hr;
}

HRESULT STDMETHODCALLTYPE SoftDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex,
                                                             UINT NumVertices, UINT PrimitiveCount,
                                                             const void* pIndexData, D3DFORMAT IndexDataFormat,
                                                             const void* pVertexStreamZeroData,
                                                             UINT VertexStreamZeroStride) {
    NoteCall();
    if (!pVertexStreamZeroData || !pIndexData) return D3DERR_INVALIDCALL;
    HRESULT hr = SoftNoThrow(E_OUTOFMEMORY, [&] {
        return DrawCommon(PrimitiveType, 0, MinVertexIndex, NumVertices, 0, PrimitiveCount, true,
                          static_cast<const BYTE*>(pVertexStreamZeroData), VertexStreamZeroStride, pIndexData,
                          IndexDataFormat, SoftCall::DrawIndexedPrimitive);
    });
    // ...and the index buffer after an indexed one.
    if (SUCCEEDED(hr)) {
        mr_State.Streams[0] = SoftStreamSource();
        mr_State.Indices.Reset();
    }
    return hr;
}
