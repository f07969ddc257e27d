// Substitute <d3dx9math.h>: the D3DX vector and matrix types and the math
// functions the module uses, with the documented formulas.
#pragma once

#include <d3d9.h>

#define D3DX_PI ((FLOAT)3.141592654f)
#define D3DX_1BYPI ((FLOAT)0.318309886f)
#define D3DXToRadian(degree) ((degree) * (D3DX_PI / 180.0f))
#define D3DXToDegree(radian) ((radian) * (180.0f / D3DX_PI))

struct D3DXVECTOR2 {
    D3DXVECTOR2() {}
    D3DXVECTOR2(FLOAT fx, FLOAT fy) : x(fx), y(fy) {}
    bool operator==(const D3DXVECTOR2& v) const { return x == v.x && y == v.y; }
    bool operator!=(const D3DXVECTOR2& v) const { return !(*this == v); }
    FLOAT x, y;
};

struct D3DXVECTOR3 : public D3DVECTOR {
    D3DXVECTOR3() {}
    D3DXVECTOR3(FLOAT fx, FLOAT fy, FLOAT fz) { x = fx; y = fy; z = fz; }
    bool operator==(const D3DXVECTOR3& v) const { return x == v.x && y == v.y && z == v.z; }
    bool operator!=(const D3DXVECTOR3& v) const { return !(*this == v); }
};

struct D3DXVECTOR4 {
    D3DXVECTOR4() {}
    D3DXVECTOR4(FLOAT fx, FLOAT fy, FLOAT fz, FLOAT fw) : x(fx), y(fy), z(fz), w(fw) {}
    bool operator==(const D3DXVECTOR4& v) const { return x == v.x && y == v.y && z == v.z && w == v.w; }
    bool operator!=(const D3DXVECTOR4& v) const { return !(*this == v); }
    FLOAT x, y, z, w;
};

struct D3DXMATRIX : public D3DMATRIX {
    D3DXMATRIX() {}
    D3DXMATRIX(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14, FLOAT f21, FLOAT f22, FLOAT f23, FLOAT f24,
               FLOAT f31, FLOAT f32, FLOAT f33, FLOAT f34, FLOAT f41, FLOAT f42, FLOAT f43, FLOAT f44) {
        _11 = f11; _12 = f12; _13 = f13; _14 = f14;
        _21 = f21; _22 = f22; _23 = f23; _24 = f24;
        _31 = f31; _32 = f32; _33 = f33; _34 = f34;
        _41 = f41; _42 = f42; _43 = f43; _44 = f44;
    }
    FLOAT& operator()(UINT row, UINT col) { return m[row][col]; }
    FLOAT operator()(UINT row, UINT col) const { return m[row][col]; }
    bool operator==(const D3DXMATRIX& o) const { return std::memcmp(m, o.m, sizeof(m)) == 0; }
    bool operator!=(const D3DXMATRIX& o) const { return !(*this == o); }
};
typedef D3DXMATRIX* LPD3DXMATRIX;

struct D3DXQUATERNION {
    D3DXQUATERNION() {}
    D3DXQUATERNION(FLOAT fx, FLOAT fy, FLOAT fz, FLOAT fw) : x(fx), y(fy), z(fz), w(fw) {}
    FLOAT x, y, z, w;
};

struct D3DXPLANE {
    D3DXPLANE() {}
    D3DXPLANE(FLOAT fa, FLOAT fb, FLOAT fc, FLOAT fd) : a(fa), b(fb), c(fc), d(fd) {}
    FLOAT a, b, c, d;
};

inline D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* pOut) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) pOut->m[r][c] = (r == c) ? 1.0f : 0.0f;
    return pOut;
}

inline BOOL D3DXMatrixIsIdentity(const D3DXMATRIX* pM) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (pM->m[r][c] != ((r == c) ? 1.0f : 0.0f)) return FALSE;
    return TRUE;
}

extern "C" {
DECLSPEC_EXPORT D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1,
                                                      const D3DXMATRIX* pM2);
DECLSPEC_EXPORT D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM);
DECLSPEC_EXPORT D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye,
                                                      const D3DXVECTOR3* pAt, const D3DXVECTOR3* pUp);
DECLSPEC_EXPORT D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT Aspect,
                                                              FLOAT zn, FLOAT zf);
DECLSPEC_EXPORT D3DXVECTOR4* WINAPI D3DXVec3Transform(D3DXVECTOR4* pOut, const D3DXVECTOR3* pV,
                                                      const D3DXMATRIX* pM);
DECLSPEC_EXPORT D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV,
                                                           const D3DXMATRIX* pM);
DECLSPEC_EXPORT D3DXVECTOR3* WINAPI D3DXVec3Project(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV,
                                                    const D3DVIEWPORT9* pViewport,
                                                    const D3DXMATRIX* pProjection, const D3DXMATRIX* pView,
                                                    const D3DXMATRIX* pWorld);
}
