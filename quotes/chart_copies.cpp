#include "quotes/chart_copies.h"

#include <algorithm>
#include <cstring>

namespace {

int Clamp(int value, int room) { return std::clamp(value, 0, room); }

}  // namespace

void CopyMinuteAreaUsed(MinuteArea* to, const MinuteArea* from) {
  if (!to || !from || to == from) return;
  to->key = from->key;
  to->previousClose = from->previousClose;
  to->headA = from->headA;
  to->headB = from->headB;
  to->startIndex = from->startIndex;
  to->pointCount = from->pointCount;
  to->fieldCount = from->fieldCount;
  std::memcpy(to->fieldIds, from->fieldIds, sizeof to->fieldIds);
  const int points = Clamp(from->pointsHeld, kMinutePoints);
  std::memcpy(to->points, from->points, sizeof(MinutePoint) * static_cast<size_t>(points));
  if (points < kMinutePoints)
    std::memset(&to->points[points], 0, sizeof(MinutePoint) * static_cast<size_t>(kMinutePoints - points));
  to->pointsHeld = points;
  const int flows = Clamp(from->flowsHeld, kMinutePoints);
  std::memcpy(to->flows, from->flows, sizeof(MinuteFlowRecord) * static_cast<size_t>(flows));
  to->flowsHeld = flows;
  to->flowHead = from->flowHead;
}

void CopyKLineAreaUsed(KLineArea* to, const KLineArea* from) {
  if (!to || !from || to == from) return;
  to->key = from->key;
  to->period = from->period;
  to->barCount = from->barCount;
  to->replyBarCount = from->replyBarCount;
  const int end = Clamp(from->end, kKLineBarRoom);
  std::memcpy(to->bars, from->bars, sizeof(DayBar) * static_cast<size_t>(end));
  to->fieldCount = from->fieldCount;
  std::memcpy(to->fieldIds, from->fieldIds, sizeof to->fieldIds);
  to->groupCount = from->groupCount;
  std::memcpy(to->groups, from->groups, sizeof to->groups);
  to->end = end;
  to->lookBackCount = from->lookBackCount;
  to->first = Clamp(from->first, end);
  const int records = std::min(end, kSupplementRoom);
  std::memcpy(to->level2Records, from->level2Records, sizeof(Level2BarRecord) * static_cast<size_t>(records));
  std::memcpy(to->level2Values, from->level2Values, sizeof to->level2Values);
  to->level2Count = Clamp(from->level2Count, kSupplementRoom);
  std::memcpy(to->supplementRecords, from->supplementRecords,
              sizeof(BarSupplementRecord) * static_cast<size_t>(records));
  std::memcpy(to->supplementValues, from->supplementValues, sizeof to->supplementValues);
  to->supplementCount = Clamp(from->supplementCount, kSupplementRoom);
  to->rangeFlag = from->rangeFlag;
  to->backwardStart = from->backwardStart;
}
