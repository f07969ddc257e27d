// Expected figures were worked out independently (double precision) from the
// documented D3DX formulas; the perspective and look-at vectors are the
// published ones.
#include <d3dx9math.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

const float kTolerance = 1e-5f;

D3DXMATRIX Sample() { return D3DXMATRIX(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16); }
D3DXMATRIX Other() { return D3DXMATRIX(2, 0, -1, 1, 0.5f, 3, 0, -2, 1, 1, 1, 1, -1, 0, 2, 0.25f); }

void ExpectNear(const float (&expected)[4][4], const D3DXMATRIX& actual, float tolerance) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(expected[r][c], actual.m[r][c], tolerance) << "m" << r << c;
}

TEST(MatrixMultiply, RowTimesColumn) {
    const float lr_Expected[4][4] = {{2, 9, 10, 1}, {12, 25, 18, 2}, {22, 41, 26, 3}, {32, 57, 34, 4}};
    D3DXMATRIX lr_A = Sample(), lr_B = Other(), lr_Out;
    EXPECT_EQ(&lr_Out, D3DXMatrixMultiply(&lr_Out, &lr_A, &lr_B));
    ExpectNear(lr_Expected, lr_Out, 1e-6f);
}

TEST(MatrixMultiply, OutputMayAliasEitherInput) {
    const float lr_Expected[4][4] = {{2, 9, 10, 1}, {12, 25, 18, 2}, {22, 41, 26, 3}, {32, 57, 34, 4}};
    D3DXMATRIX lr_A = Sample(), lr_B = Other();
    D3DXMatrixMultiply(&lr_A, &lr_A, &lr_B);
    ExpectNear(lr_Expected, lr_A, 1e-6f);
    lr_A = Sample();
    D3DXMatrixMultiply(&lr_B, &lr_A, &lr_B);
    ExpectNear(lr_Expected, lr_B, 1e-6f);
}

TEST(MatrixMultiply, IdentityLeavesAMatrixUnchanged) {
    D3DXMATRIX lr_I, lr_A = Other(), lr_Out;
    D3DXMatrixIdentity(&lr_I);
    D3DXMatrixMultiply(&lr_Out, &lr_I, &lr_A);
    EXPECT_EQ(lr_A, lr_Out);
    D3DXMatrixMultiply(&lr_Out, &lr_A, &lr_I);
    EXPECT_EQ(lr_A, lr_Out);
}

TEST(MatrixTranspose, SwapsRowsAndColumnsInPlaceToo) {
    D3DXMATRIX lr_A = Sample(), lr_Out;
    D3DXMatrixTranspose(&lr_Out, &lr_A);
    EXPECT_EQ(5.0f, lr_Out.m[0][1]);
    EXPECT_EQ(2.0f, lr_Out.m[1][0]);
    EXPECT_EQ(13.0f, lr_Out.m[0][3]);
    EXPECT_EQ(4.0f, lr_Out.m[3][0]);
    EXPECT_EQ(16.0f, lr_Out.m[3][3]);
    D3DXMatrixTranspose(&lr_A, &lr_A);
    EXPECT_EQ(lr_Out, lr_A);
}

TEST(MatrixPerspectiveFovLH, PublishedVector) {
    D3DXMATRIX lr_Out;
    EXPECT_EQ(&lr_Out, D3DXMatrixPerspectiveFovLH(&lr_Out, 0.2f, 0.75f, -2.4f, 8.7f));
    const float lr_Expected[4][4] = {
        {13.288858f, 0, 0, 0}, {0, 9.9666444f, 0, 0}, {0, 0, 0.78378378f, 1}, {0, 0, 1.8810811f, 0}};
    ExpectNear(lr_Expected, lr_Out, 1e-4f);
}

TEST(MatrixPerspectiveFovLH, QuarterTurnUnitAspect) {
    D3DXMATRIX lr_Out;
    D3DXMatrixPerspectiveFovLH(&lr_Out, 1.5707964f, 1.0f, 1.0f, 2.0f);
    const float lr_Expected[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 2, 1}, {0, 0, -2, 0}};
    ExpectNear(lr_Expected, lr_Out, kTolerance);
}

TEST(MatrixLookAtLH, PublishedVectors) {
    const D3DXVECTOR3 lr_Eye(8.0f, -5.0f, 5.75f), lr_At(-2.0f, 13.0f, -9.0f), lr_Up(1.0f, -3.0f, 7.0f);
    D3DXMATRIX lr_Out;
    EXPECT_EQ(&lr_Out, D3DXMatrixLookAtLH(&lr_Out, &lr_Eye, &lr_At, &lr_Up));
    const float lr_Expected[4][4] = {{-0.82246518f, -0.40948939f, -0.39480308f, 0},
                                     {-0.55585569f, 0.43128576f, 0.71064552f, 0},
                                     {-0.12072884f, 0.80393473f, -0.58233452f, 0},
                                     {4.4946337f, 0.80971903f, 10.060076f, 1}};
    ExpectNear(lr_Expected, lr_Out, 1e-4f);
}

TEST(MatrixLookAtLH, LookingDownZFromTheOriginIsIdentity) {
    const D3DXVECTOR3 lr_Eye(0, 0, 0), lr_At(0, 0, 1), lr_Up(0, 1, 0);
    D3DXMATRIX lr_Out;
    D3DXMatrixLookAtLH(&lr_Out, &lr_Eye, &lr_At, &lr_Up);
    const float lr_Expected[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    ExpectNear(lr_Expected, lr_Out, 0.0f);  // the translation row holds -0: equal in value
}

TEST(Vec3Transform, KeepsW) {
    const D3DXVECTOR3 lr_V(2, -3, 4);
    const D3DXMATRIX lr_M = Other();
    D3DXVECTOR4 lr_Out;
    EXPECT_EQ(&lr_Out, D3DXVec3Transform(&lr_Out, &lr_V, &lr_M));
    EXPECT_NEAR(5.5f, lr_Out.x, 1e-6f);
    EXPECT_NEAR(-5.0f, lr_Out.y, 1e-6f);
    EXPECT_NEAR(4.0f, lr_Out.z, 1e-6f);
    EXPECT_NEAR(12.25f, lr_Out.w, 1e-6f);
}

TEST(Vec3TransformCoord, DividesByWAndMayAlias) {
    D3DXVECTOR3 lr_V(2, -3, 4);
    const D3DXMATRIX lr_M = Other();
    D3DXVECTOR3 lr_Out;
    EXPECT_EQ(&lr_Out, D3DXVec3TransformCoord(&lr_Out, &lr_V, &lr_M));
    EXPECT_NEAR(5.5f / 12.25f, lr_Out.x, 1e-6f);
    EXPECT_NEAR(-5.0f / 12.25f, lr_Out.y, 1e-6f);
    EXPECT_NEAR(4.0f / 12.25f, lr_Out.z, 1e-6f);
    D3DXVec3TransformCoord(&lr_V, &lr_V, &lr_M);
    EXPECT_EQ(lr_Out, lr_V);
}

class Vec3ProjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        mr_Viewport = {10, 20, 640, 480, 0.2f, 0.9f};
        D3DXMatrixIdentity(&mr_World);
        mr_World.m[3][0] = 1.0f;
        mr_World.m[3][1] = 0.5f;
        mr_World.m[3][2] = -0.25f;
        const D3DXVECTOR3 lr_Eye(1, 2, -5), lr_At(0, 0, 0), lr_Up(0, 1, 0);
        D3DXMatrixLookAtLH(&mr_View, &lr_Eye, &lr_At, &lr_Up);
        D3DXMatrixPerspectiveFovLH(&mr_Projection, D3DX_PI / 4.0f, 4.0f / 3.0f, 1.0f, 100.0f);
    }

    void Expect(float x, float y, float z, const D3DXVECTOR3& actual) {
        EXPECT_NEAR(x, actual.x, 2e-3f);
        EXPECT_NEAR(y, actual.y, 2e-3f);
        EXPECT_NEAR(z, actual.z, 1e-5f);
    }

    D3DVIEWPORT9 mr_Viewport;
    D3DXMATRIX mr_World, mr_View, mr_Projection;
    const D3DXVECTOR3 mr_Point{2, -3, 4};
};

TEST_F(Vec3ProjectTest, WholeChain) {
    D3DXVECTOR3 lr_Out;
    EXPECT_EQ(&lr_Out, D3DXVec3Project(&lr_Out, &mr_Point, &mr_Viewport, &mr_Projection, &mr_View, &mr_World));
    Expect(559.94613f, 335.00825f, 0.83075966f, lr_Out);
}

TEST_F(Vec3ProjectTest, NullMatricesAreSkipped) {
    D3DXVECTOR3 lr_Out;
    D3DXVec3Project(&lr_Out, &mr_Point, &mr_Viewport, &mr_Projection, &mr_View, nullptr);
    Expect(491.35973f, 348.38036f, 0.83535245f, lr_Out);
    D3DXVec3Project(&lr_Out, &mr_Point, &mr_Viewport, &mr_Projection, nullptr, nullptr);
    Expect(619.70563f, 694.55844f, 0.73030303f, lr_Out);
    D3DXVec3Project(&lr_Out, &mr_Point, &mr_Viewport, nullptr, nullptr, nullptr);
    Expect(970.0f, 980.0f, 3.0f, lr_Out);
}

TEST_F(Vec3ProjectTest, SliceDepthsUnderTheFixedCamera) {
    // The plug-in's camera: view identity, fov pi/2, aspect 1, near 1, far 2.
    D3DXMATRIX lr_View, lr_Projection, lr_World;
    const D3DXVECTOR3 lr_Eye(0, 0, 0), lr_At(0, 0, 1), lr_Up(0, 1, 0);
    D3DXMatrixLookAtLH(&lr_View, &lr_Eye, &lr_At, &lr_Up);
    D3DXMatrixPerspectiveFovLH(&lr_Projection, 1.5707964f, 1.0f, 1.0f, 2.0f);
    D3DXMatrixIdentity(&lr_World);
    const D3DVIEWPORT9 lr_Viewport = {0, 0, 1280, 720, 0.0f, 1.0f};
    const float lr_Distances[] = {1.0f, 0.99999f, 0.99995f, 0.99991f};
    const float lr_Depths[] = {1.0f, 0.999995f, 0.999975f, 0.999955f};
    for (int i = 0; i < 4; ++i) {
        const D3DXVECTOR3 lr_Point(0, 0, 1.0f + lr_Distances[i]);
        D3DXVECTOR3 lr_Out;
        D3DXVec3Project(&lr_Out, &lr_Point, &lr_Viewport, &lr_Projection, &lr_View, &lr_World);
        EXPECT_NEAR(lr_Depths[i], lr_Out.z, 2e-6f) << i;
        EXPECT_NEAR(640.0f, lr_Out.x, 1e-3f);
        EXPECT_NEAR(360.0f, lr_Out.y, 1e-3f);
    }
}

}  // namespace
