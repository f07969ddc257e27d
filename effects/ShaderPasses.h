// The pass loop every shader is drawn with: begun, each pass begun and
// drawn as its callbacks decide, ended.
#pragma once

#include "IShader.h"

// Calls draw() for each drawing of each pass: never for a pass a callback
// skips, again after every Repeat (the pass is begun again first), once
// otherwise.
template <class Draw>
void DrawPasses(IShader& shader, Draw&& draw) {
    const unsigned lr_Passes = shader.GetPassCount();
    shader.Begin();
    for (unsigned lr_Pass = 0; lr_Pass < lr_Passes; ++lr_Pass) {
        PassResult lr_Result = shader.BeginPass(lr_Pass);
        for (;;) {
            if (lr_Result != PassResult::Skip) {
                draw();
            }
            if (lr_Result != PassResult::Repeat) {
                break;
            }
            lr_Result = shader.BeginPass(lr_Pass);
        }
        shader.EndPass();
    }
    shader.End();
}
