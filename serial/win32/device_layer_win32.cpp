#include "serial/dispatcher/device_layer.h"
#include "serial/win32/win32_dispatcher.h"

std::unique_ptr<TRivuBaseDispatcher> MakeDeviceDispatcher(TDispatcherOwner* Owner,
                                                          TSerialPlatform* Platform) {
  return std::make_unique<TRivuWin32Dispatcher>(Owner, Platform);
}
