#pragma once

#include <cstddef>

class QSettings;

// The settings group "Memory": how many bytes of decoded PCM the program keeps ("PcmBudgetBytes").
std::size_t pcmBudgetSetting();
std::size_t pcmBudgetSetting(QSettings& settings);
void savePcmBudgetSetting(QSettings& settings, std::size_t bytes);

// The range the Preferences offer, in MiB: below the lower end playback would decode nearly every
// frame twice; the upper end is far beyond any machine the program runs on.
namespace memory_limits {
constexpr int kMinMiB = 16;
constexpr int kMaxMiB = 1 << 20;
} // namespace memory_limits
