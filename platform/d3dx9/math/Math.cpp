// D3DX matrix and vector functions. Row vectors times matrices, as D3DX:
// v' = v * M, and M1 * M2 applies M1 first.
#include <d3dx9math.h>

#include <cmath>

namespace {

D3DXVECTOR3 Subtract(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return D3DXVECTOR3(a.x - b.x, a.y - b.y, a.z - b.z);
}

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return D3DXVECTOR3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// A zero vector stays zero, as in D3DX (no division by zero).
D3DXVECTOR3 Normalize(const D3DXVECTOR3& v) {
    const float lr_Length = std::sqrt(Dot(v, v));
    if (lr_Length == 0.0f) return D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    return D3DXVECTOR3(v.x / lr_Length, v.y / lr_Length, v.z / lr_Length);
}

}  // namespace

extern "C" {

// pOut may be one of the inputs.
DECLSPEC_EXPORT D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2) {
    D3DXMATRIX lr_Result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            lr_Result.m[r][c] = pM1->m[r][0] * pM2->m[0][c] + pM1->m[r][1] * pM2->m[1][c] +
                                pM1->m[r][2] * pM2->m[2][c] + pM1->m[r][3] * pM2->m[3][c];
    *pOut = lr_Result;
    return pOut;
}

DECLSPEC_EXPORT D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM) {
    D3DXMATRIX lr_Result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) lr_Result.m[r][c] = pM->m[c][r];
    *pOut = lr_Result;
    return pOut;
}

DECLSPEC_EXPORT D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                                                      const D3DXVECTOR3* pUp) {
    const D3DXVECTOR3 lr_Z = Normalize(Subtract(*pAt, *pEye));
    const D3DXVECTOR3 lr_X = Normalize(Cross(*pUp, lr_Z));
    const D3DXVECTOR3 lr_Y = Cross(lr_Z, lr_X);
    pOut->m[0][0] = lr_X.x;
    pOut->m[0][1] = lr_Y.x;
    pOut->m[0][2] = lr_Z.x;
    pOut->m[0][3] = 0.0f;
    pOut->m[1][0] = lr_X.y;
    pOut->m[1][1] = lr_Y.y;
    pOut->m[1][2] = lr_Z.y;
    pOut->m[1][3] = 0.0f;
    pOut->m[2][0] = lr_X.z;
    pOut->m[2][1] = lr_Y.z;
    pOut->m[2][2] = lr_Z.z;
    pOut->m[2][3] = 0.0f;
    pOut->m[3][0] = -Dot(lr_X, *pEye);
    pOut->m[3][1] = -Dot(lr_Y, *pEye);
    pOut->m[3][2] = -Dot(lr_Z, *pEye);
    pOut->m[3][3] = 1.0f;
    return pOut;
}

DECLSPEC_EXPORT D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT Aspect, FLOAT zn,
                                                              FLOAT zf) {
    D3DXMatrixIdentity(pOut);
    const float lr_Tan = std::tan(fovy / 2.0f);
    pOut->m[0][0] = 1.0f / (Aspect * lr_Tan);
    pOut->m[1][1] = 1.0f / lr_Tan;
    pOut->m[2][2] = zf / (zf - zn);
    pOut->m[2][3] = 1.0f;
    pOut->m[3][2] = (zf * zn) / (zn - zf);
    pOut->m[3][3] = 0.0f;
    return pOut;
}

DECLSPEC_EXPORT D3DXVECTOR4* WINAPI D3DXVec3Transform(D3DXVECTOR4* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
    const D3DXVECTOR3 v = *pV;
    D3DXVECTOR4 lr_Result;
    lr_Result.x = v.x * pM->m[0][0] + v.y * pM->m[1][0] + v.z * pM->m[2][0] + pM->m[3][0];
    lr_Result.y = v.x * pM->m[0][1] + v.y * pM->m[1][1] + v.z * pM->m[2][1] + pM->m[3][1];
    lr_Result.z = v.x * pM->m[0][2] + v.y * pM->m[1][2] + v.z * pM->m[2][2] + pM->m[3][2];
    lr_Result.w = v.x * pM->m[0][3] + v.y * pM->m[1][3] + v.z * pM->m[2][3] + pM->m[3][3];
    *pOut = lr_Result;
    return pOut;
}

// Divides by w like D3DX, also when w is zero (the result is then infinite
// or NaN, as there).
DECLSPEC_EXPORT D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV,
                                                           const D3DXMATRIX* pM) {
    D3DXVECTOR4 lr_Result;
    D3DXVec3Transform(&lr_Result, pV, pM);
    pOut->x = lr_Result.x / lr_Result.w;
    pOut->y = lr_Result.y / lr_Result.w;
    pOut->z = lr_Result.z / lr_Result.w;
    return pOut;
}

// A null matrix (or viewport) is left out of the chain.
DECLSPEC_EXPORT D3DXVECTOR3* WINAPI D3DXVec3Project(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV,
                                                    const D3DVIEWPORT9* pViewport, const D3DXMATRIX* pProjection,
                                                    const D3DXMATRIX* pView, const D3DXMATRIX* pWorld) {
    D3DXMATRIX lr_Matrix;
    D3DXMatrixIdentity(&lr_Matrix);
    if (pWorld) D3DXMatrixMultiply(&lr_Matrix, &lr_Matrix, pWorld);
    if (pView) D3DXMatrixMultiply(&lr_Matrix, &lr_Matrix, pView);
    if (pProjection) D3DXMatrixMultiply(&lr_Matrix, &lr_Matrix, pProjection);
    D3DXVECTOR3 lr_Result;
    D3DXVec3TransformCoord(&lr_Result, pV, &lr_Matrix);
    if (pViewport) {
        lr_Result.x = pViewport->X + (1.0f + lr_Result.x) * pViewport->Width / 2.0f;
        lr_Result.y = pViewport->Y + (1.0f - lr_Result.y) * pViewport->Height / 2.0f;
        lr_Result.z = pViewport->MinZ + lr_Result.z * (pViewport->MaxZ - pViewport->MinZ);
    }
    *pOut = lr_Result;
    return pOut;
}
}
