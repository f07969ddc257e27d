technique { pass { PixelShader = compile ps_2_0 Missing(); } }
