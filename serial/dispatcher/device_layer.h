// The device layer of the platform the program is built for: each platform's
// folder defines this one function, and the build links exactly one of them.
#pragma once

#include <memory>

#include "serial/dispatcher/dispatcher.h"

std::unique_ptr<TRivuBaseDispatcher> MakeDeviceDispatcher(TDispatcherOwner* Owner,
                                                          TSerialPlatform* Platform = nullptr);
