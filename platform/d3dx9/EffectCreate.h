// Effect text or a compiled effect to a definition, shared by the effect
// and the effect compiler.
#pragma once

#include "EffectDefinition.h"

#include <string>

namespace softfx {

// `path` names the data in messages. On failure `*ppErrors` (when given)
// gets the compiler's or the reader's text.
HRESULT DefinitionFromData(const char* data, size_t size, const std::string& path, EffectDefinition& definition,
                           ID3DXBuffer** ppErrors);

}  // namespace softfx
