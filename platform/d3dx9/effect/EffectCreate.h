// Effect text or a compiled effect to a definition, shared by the effect
// and the effect compiler.
#pragma once

#include "effect/EffectDefinition.h"
#include "compiler/EffectPreprocessor.h"

namespace softfx {

// A compiled effect is read as it is; text is preprocessed and compiled.
// On failure `*ppErrors` (when given) gets the compiler's or the reader's
// text. May throw std::bad_alloc.
HRESULT DefinitionFromData(PreprocessRequest request, EffectDefinition& definition, ID3DXBuffer** ppErrors);

}  // namespace softfx
