// Texts describing the build and the running system, for log file headers.
#pragma once

#include <ctime>
#include <string>

// The compiler that built the program with its version, e.g. "GCC 12.2.0".
std::string CompilerText();

// The kernel's name, its major and minor version joined by a point, a blank
// and the rest of its release and version texts (at most 80 characters),
// e.g. "Linux 6.1 0-18-amd64 #1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1"; on
// Windows the system's version and build, e.g. "Windows 10.0 build 19045".
std::string OperatingSystemText();

// Local time as "dd/mm/yy, hh:mm:ss".
std::string LocalTimeText(std::time_t when);
