#pragma once

#include <cstddef>

// The settings group "Memory": how many bytes of decoded PCM the program keeps ("PcmBudgetBytes").
std::size_t pcmBudgetSetting();
