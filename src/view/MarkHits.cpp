#include "view/MarkHits.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <utility>

QRect markButtonRect(int x, int v, const MarkButtonPlace& place) {
    return {x + place.offset, v + kMarkButtonTop, kMarkButtonSize, kMarkButtonSize};
}

MarkHit topmostMarkHit(const std::vector<DrawnMark>& marks, int v, int bottom, QPoint point) {
    for (auto it = marks.rbegin(); it != marks.rend(); ++it) {
        const int index = static_cast<int>(std::distance(it, marks.rend())) - 1;
        if (it->head) {
            for (const MarkButtonPlace& place : kMarkButtons) {
                const QRect area = markButtonRect(it->x, v, place);
                if (area.contains(point)) {
                    return {
                        MarkHit::Kind::Button, index, it->value, place.letter, area, 1, it->value, it->value};
                }
            }
        }
        if (std::abs(point.x() - it->x) <= kMarkLinesReach && point.y() >= v && point.y() < bottom) {
            return {MarkHit::Kind::Mark, index, it->value, 0, {}, 1, it->value, it->value};
        }
    }
    return {};
}

std::vector<DrawnMark> markColumns(const std::vector<int>& list, const FrameScale& scale, int width) {
    std::vector<std::pair<int, int>> placed; // column, value, in list order
    for (const int value : list) {
        const int x = scale.columnOf(value);
        if (x >= 0 && x < width) {
            placed.emplace_back(x, value);
        }
    }
    std::stable_sort(placed.begin(), placed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<DrawnMark> marks;
    for (const auto& [x, value] : placed) {
        if (marks.empty() || marks.back().x != x) {
            marks.push_back({value, x, false, 0, value, value});
        }
        DrawnMark& mark = marks.back();
        ++mark.count;
        mark.lowValue = std::min(mark.lowValue, value);
        mark.highValue = std::max(mark.highValue, value);
    }
    return marks;
}

MarkHit columnMarkHit(const std::vector<DrawnMark>& marks, int v, int bottom, QPoint point) {
    for (std::size_t index = 0; index < marks.size(); ++index) {
        const DrawnMark& mark = marks[index];
        if (!mark.head) {
            continue;
        }
        for (const MarkButtonPlace& place : kMarkButtons) {
            const QRect area = markButtonRect(mark.x, v, place);
            if (area.contains(point)) {
                return {MarkHit::Kind::Button,
                        static_cast<int>(index),
                        mark.value,
                        place.letter,
                        area,
                        1,
                        mark.value,
                        mark.value};
            }
        }
    }
    if (point.y() < v || point.y() >= bottom) {
        return {};
    }
    int found = -1;
    for (const int dx : {0, -1, 1}) {
        const auto it = std::find_if(marks.begin(), marks.end(),
                                     [&](const DrawnMark& m) { return m.x == point.x() + dx; });
        if (it == marks.end()) {
            continue;
        }
        const int index = static_cast<int>(std::distance(marks.begin(), it));
        if (dx == 0) {
            found = index;
            break;
        }
        if (found >= 0) {
            return {}; // a line on either side: neither is meant more than the other
        }
        found = index;
    }
    if (found < 0) {
        return {};
    }
    const DrawnMark& mark = marks[static_cast<std::size_t>(found)];
    const MarkHit::Kind kind = mark.count > 1 ? MarkHit::Kind::Crowded : MarkHit::Kind::Mark;
    return {kind, found, mark.value, 0, {}, mark.count, mark.lowValue, mark.highValue};
}
