#include "cli/NumberText.h"

#include <charconv>
#include <cmath>

namespace {

template <typename Number> std::optional<Number> parseWhole(const std::string& text) {
    Number value{};
    const char* const last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value);
    if (text.empty() || error != std::errc() || end != last) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<int> parseInt(const std::string& text) {
    return parseWhole<int>(text);
}

std::optional<double> parseNumber(const std::string& text) {
    const std::optional<double> value = parseWhole<double>(text);
    if (value && !std::isfinite(*value)) {
        return std::nullopt;
    }
    return value;
}
