// libFuzzer entry: arbitrary box byte streams through the download task.
#include "tests/fuzz/task_on_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RunTaskOnScript(data, size);
  return 0;
}
