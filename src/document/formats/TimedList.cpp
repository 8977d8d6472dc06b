#include "document/formats/TimedList.h"

#include <algorithm>
#include <cmath>

double writableSeconds(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0.0) {
        return std::isinf(seconds) && seconds > 0.0 ? kMaxListSeconds : 0.0;
    }
    return std::min(seconds, kMaxListSeconds);
}
