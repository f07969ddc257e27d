#pragma warning(disable: 3571)
#line 20 "generated.fx"
/* block { comment } */
struct VSOut { float4 Pos : POSITION; float2 Uv : TEXCOORD0; };
typedef float4 colour;
colour tint = colour(1, 0.5, 0.25, 1);
static const float kHalf = 0.5;
float derived = kHalf * 4 + 1;
float helper(float x) { return x > 0 ? x * 2 : -x; }
VSOut VS(float4 p : POSITION, float2 uv : TEXCOORD0) { VSOut o; o.Pos = p; o.Uv = uv; return o; }
float4 PS(VSOut i) : COLOR0 { return tint * helper(derived); }
PixelShader shared_ps = compile ps_2_0 PS();
technique T { pass { VertexShader = compile vs_1_1 VS(); PixelShader = (shared_ps); } }
