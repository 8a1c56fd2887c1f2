#include "download/task_state.h"

std::atomic<bool> TaskRunning{false};
std::array<uint8_t, kWordBufferSize> WordBuffer{};
TOutFile OutFile;
