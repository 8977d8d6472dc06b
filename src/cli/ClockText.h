#pragma once

#include <cstdint>
#include <string>

// "1:02:03.500" for a time in milliseconds.
std::string clockText(std::int64_t ms);
