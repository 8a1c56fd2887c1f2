// The Win32 API, without the macro that would rename the download view's
// MessageBox in every file that sees it (the calls here name MessageBoxW).
#pragma once

#include <windows.h>

#undef MessageBox
