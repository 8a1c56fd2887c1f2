// Names the calling thread for debuggers and `top -H`/`ps -L`.
#pragma once

// At most 15 characters are kept; where the platform has no names, nothing.
void NameThisThread(const char* Name);
