texture a : BackBuffer; texture b : NoiseTexture;
sampler2D sa : register(s3) = sampler_state { Texture = <a>; MinFilter = Linear; MagFilter = Point; AddressU = Clamp; };
sampler2D sb = sampler_state { Texture = (b); AddressU = Wrap; AddressV = Mirror; MipMapLodBias = -0.5; };
float4 PS(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(sa, uv) + tex2D(sb, uv); }
technique { pass { MinFilter[5] = Anisotropic; Texture[6] = <b>; Sampler[7] = (sa); PixelShader = compile ps_2_0 PS(); } }
