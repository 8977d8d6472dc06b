#include "cli/ErrorOutput.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <mutex>

namespace {

// The same fault comes back within a few lines (log, box, the command's failure); a list with
// millions of faulty lines must not be kept whole.
constexpr std::size_t kRecentTexts = 16;

// Workers report too, so the lines seen are guarded.
std::mutex mutex;
std::deque<std::string> recent;
std::size_t printedCount = 0;

} // namespace

std::size_t printedErrorCount() {
    const std::lock_guard<std::mutex> lock(mutex);
    return printedCount;
}

void printError(const std::string& text) {
    const std::lock_guard<std::mutex> lock(mutex);
    if (std::find(recent.begin(), recent.end(), text) != recent.end()) {
        return;
    }
    recent.push_back(text);
    if (recent.size() > kRecentTexts) {
        recent.pop_front();
    }
    ++printedCount;
    std::fflush(stdout);
    std::fprintf(stderr, "kerfline-cli: %s\n", text.c_str());
}
