#define SCALE(a, b) ((a) * (b))
#if defined(FAST) && FAST > 1
float mode = 2;
#elif 1
float mode = SCALE(2, 3);
#else
#error never
#endif
#line 40 "other.fx"
/* spans
   lines */
float4 PS() : COLOR { return mode; }
technique T { pass P { PixelShader = compile ps_2_0 PS(); } }
