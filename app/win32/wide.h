// Text between the system's UTF-16 and the program's UTF-8.
#pragma once

#include <string>
#include <string_view>

std::wstring Wide(std::string_view Utf8);
std::string Utf8(std::wstring_view Wide);
