// Names the calling thread for debuggers and Process Explorer.
#pragma once

// Where the system has no thread descriptions (before Windows 10), nothing.
void NameThisThread(const char* Name);
