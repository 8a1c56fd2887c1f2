#include "serial/posix/thread_name.h"

#include <pthread.h>

void NameThisThread(const char* Name) {
  pthread_setname_np(pthread_self(), Name);
}
