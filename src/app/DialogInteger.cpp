#include "app/DialogInteger.h"

#include <limits>

std::optional<int> parseDialogInteger(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    const auto isBlank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    bool negative = false;
    if (begin < end && (text[begin] == QLatin1Char('+') || text[begin] == QLatin1Char('-'))) {
        negative = text[begin] == QLatin1Char('-');
        ++begin;
    }
    if (begin == end) {
        return std::nullopt;
    }
    long long value = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + (c - u'0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1) {
            return std::nullopt;
        }
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}
