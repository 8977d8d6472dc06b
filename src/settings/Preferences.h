#pragma once

#include <array>
#include <cstdint>
#include <string>

// The user's settings, kept between runs in "preferences.dat".
struct Preferences {
    static constexpr std::size_t kDrawParametersSize = 168;

    bool UseDefaultFolder = false;
    std::u16string DefaultOutputFolder;
    bool IsSaveLog = false;
    std::u16string LogFileName;
    std::int32_t OverlapSecs = 0;
    // Stored and carried through the dialog byte for byte; the painters build their own.
    std::array<std::uint8_t, kDrawParametersSize> DrawParameters{};
    bool Overlap = false;
    // Milliseconds of overlap beyond OverlapSecs, for fractions of a second given on the command line;
    // not stored.
    std::int32_t OverlapExtraMs = 0;

    bool operator==(const Preferences&) const = default;
};
