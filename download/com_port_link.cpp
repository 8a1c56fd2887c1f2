#include "download/com_port_link.h"

TPortWait TComPortLink::WaitForData(uint32_t Count, std::chrono::steady_clock::time_point Deadline,
                                    std::stop_token Stop) {
  switch (port_.WaitForData(Count, Deadline, Stop)) {
    case TDataWait::Ready:
      return TPortWait::Ready;
    case TDataWait::Stopped:
      return TPortWait::Stopped;
    case TDataWait::TimedOut:
      return TPortWait::TimedOut;
    case TDataWait::Closed:
    case TDataWait::TooLarge:  // more than the buffer holds can never arrive
      break;
  }
  return TPortWait::Closed;
}
