// Runs one whole download task against a scripted box (see scripted_port.h)
// and checks what it reported; aborts on anything unexpected.
#pragma once

#include <cstddef>
#include <cstdint>

void RunTaskOnScript(const uint8_t* data, std::size_t size);
