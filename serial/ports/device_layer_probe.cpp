// The port dialog's trial open through the device layer.
#include "serial/dispatcher/device_layer.h"
#include "serial/ports/port_avail.h"

namespace {

TProbeResult DeviceLayerProbe(const std::string& Path) {
  const auto dispatcher = MakeDeviceDispatcher(nullptr);
  if (dispatcher->OpenCom(Path, 64, 64) >= 0) {
    dispatcher->CloseCom();
    return TProbeResult::prOpened;
  }
  return ClassifyPortError(dispatcher->LastDeviceError());
}

}  // namespace

TPortProbe DispatcherPortProbe = DeviceLayerProbe;
