// Turning the component's error codes into exceptions, and back.
#pragma once

#include <cstdint>
#include <exception>

#include "serial/errors/load_state.h"

// Returns `code` when it is 0 or above, or when `component` is being loaded
// (null counts as not loading); otherwise raises the exception for the code:
// -2..-162 EInOutError (-8 EOutOfMemory), a mapped code its ERivuException
// descendant, anything else ERivuException("Rivu exception") with ErrorCode 0.
int32_t CheckException(const TRivuLoadState* component, int32_t code);

// The code an exception stands for; -9999 for exceptions of other kinds.
int32_t XlatException(const std::exception& e);
