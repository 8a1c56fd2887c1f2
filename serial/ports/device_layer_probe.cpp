// The port dialog's trial open through the device layer.
#include "serial/port_avail.h"
#include "serial/port_errors.h"
#include "serial/posix_dispatcher.h"

namespace {

TProbeResult DeviceLayerProbe(const std::string& Path) {
  TRivuPosixDispatcher dispatcher(nullptr);
  if (dispatcher.OpenCom(Path, 64, 64) >= 0) {
    dispatcher.CloseCom();
    return TProbeResult::prOpened;
  }
  switch (dispatcher.LastDeviceError()) {
    case oeAccessDenied:
      return TProbeResult::prInUse;
    case oePermissionDenied:
      return TProbeResult::prAccessDenied;
    case oeFileNotFound:
    case oePathNotFound:
      return TProbeResult::prNoDevice;
    default:
      return TProbeResult::prFailed;
  }
}

}  // namespace

TPortProbe DispatcherPortProbe = DeviceLayerProbe;
