// Error numbers the device layer reports when an open or a device call fails.
// They are the classic port numbering (the Win32 error numbers) that the
// component maps to its own codes; InitPort returns them negated.
#pragma once

#include <cstdint>

inline constexpr int32_t oeFileNotFound = 2;   // no such device
inline constexpr int32_t oePathNotFound = 3;   // no such device (bad path)
inline constexpr int32_t oeAccessDenied = 5;   // held by another program
inline constexpr int32_t oeInvalidHandle = 6;  // the device was closed underneath
inline constexpr int32_t oeNotEnoughMemory = 8;
inline constexpr int32_t oePermissionDenied = 13;  // no permission on the device node
inline constexpr int32_t oeInvalidParameter = 87;
inline constexpr int32_t oeOperationAborted = 995;
