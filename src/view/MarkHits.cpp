#include "view/MarkHits.h"

#include <cstdlib>
#include <iterator>

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
                    return {MarkHit::Kind::Button, index, it->value, place.letter, area};
                }
            }
        }
        if (std::abs(point.x() - it->x) <= kMarkLinesReach && point.y() >= v && point.y() < bottom) {
            return {MarkHit::Kind::Mark, index, it->value, 0, {}};
        }
    }
    return {};
}
