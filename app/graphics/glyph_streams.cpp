#include "app/graphics/glyph_streams.h"

// Static objects: they exist before main runs and live until the process ends.
TMemoryStream ConnectedGlyphStream;
TMemoryStream SavedGlyphStream;
