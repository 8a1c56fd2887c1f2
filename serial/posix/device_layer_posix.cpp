#include "serial/dispatcher/device_layer.h"
#include "serial/posix/posix_dispatcher.h"

std::unique_ptr<TRivuBaseDispatcher> MakeDeviceDispatcher(TDispatcherOwner* Owner,
                                                          TSerialPlatform* Platform) {
  return std::make_unique<TRivuPosixDispatcher>(Owner, Platform);
}
