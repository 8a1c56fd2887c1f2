#include "serial/recording/system_info.h"

namespace {

#define ZEDAZI_STR2(x) #x
#define ZEDAZI_STR(x) ZEDAZI_STR2(x)

}  // namespace

std::string CompilerText() {
#if defined(__clang__)
  return "Clang " ZEDAZI_STR(__clang_major__) "." ZEDAZI_STR(__clang_minor__) "." ZEDAZI_STR(
      __clang_patchlevel__);
#elif defined(__GNUC__)
  return "GCC " ZEDAZI_STR(__GNUC__) "." ZEDAZI_STR(__GNUC_MINOR__) "." ZEDAZI_STR(
      __GNUC_PATCHLEVEL__);
#else
  return "Unknown compiler";
#endif
}

std::string LocalTimeText(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[32];
  std::strftime(text, sizeof text, "%d/%m/%y, %H:%M:%S", &local);
  return text;
}
