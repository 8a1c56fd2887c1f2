// The two process-wide streams through which the Connect button swaps its glyph:
// SavedGlyphStream keeps the button's own glyph while the connected one is shown,
// ConnectedGlyphStream carries ConnectedGlyph into the button.
#pragma once

#include "app/graphics/memory_stream.h"

extern TMemoryStream ConnectedGlyphStream;
extern TMemoryStream SavedGlyphStream;
