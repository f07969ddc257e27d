uniform float f = 1.5; float2 v2 = float2(1, 2); const float3 v3 = {1, 2, 3};
extern float4 v4 : Semantic; float4x4 m; column_major float3x2 m32; matrix mx; vector vc;
half h; int i = -3; int2 i2 = int2(1, 2); bool b = true; bool4 b4; double d = 2.0;
float fa[4] = {1, 2, 3, 4}; float4 va[2]; string s = "text";
texture t; texture1D t1; texture2D t2; texture3D t3; textureCUBE tc;
sampler s0; sampler1D s1; sampler2D s2; sampler3D s3; samplerCUBE sc;
static float hidden = 3; shared volatile float sh; matrix<float, 2, 3> g; vector<int, 3> gv;
