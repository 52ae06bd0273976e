#include "addin/plugin/picture_code.h"

#include <cstring>

PictureCodeRandom& DefaultPictureCodeRandom() {
  static PictureCodeRandom random;
  return random;
}

void ApplyPictureCodeJitter(int* dx, int* dy) {
  if (*dx < *dy) {
    *dx = -*dx;
    *dy = -*dy;
  }
}

void PictureCode::Generate() {
  random_->Seed(static_cast<unsigned>(random_->Now()));
  std::memset(code_, 0, sizeof code_);
  for (int i = 0; i < kPictureCodeDigits; ++i) code_[i] = static_cast<std::uint8_t>(random_->Next() % 10);
}

bool PictureCode::Matches(const char* typed) const {
  if (typed == nullptr || std::strlen(typed) != kPictureCodeDigits) return false;
  for (int i = 0; i < kPictureCodeDigits; ++i) {
    if (typed[i] != '0' + code_[i]) return false;
  }
  return true;
}

void PictureCode::Paint(HDC dc, int left, int top) {
  RECT field{left + 2, top + 1, left + 2 + 75, top + 1 + 18};
  HBRUSH brush = CreateSolidBrush(kPictureCodeField);
  FillRect(dc, &field, brush);
  DeleteObject(brush);
  for (int i = 0; i < kPictureCodeDigits; ++i) {
    RECT cell{left + 2 + 15 * i, top + 1, left + 12 + 15 * i, top + 19};
    DrawDigit(dc, cell, code_[i], true);
  }
}

namespace {

// Where a stroke point lies: on the moved reference line, on the moved half
// line (reference + 6, the cell's middle), or on a bottom line (bottom -
// offset), which keeps its height.
enum class Line : std::uint8_t { kEnd, kTop, kMiddle, kBottom };

// A stroke's points end at the first kEnd point (the zero-filled rest), a
// glyph's strokes at the first stroke that starts with one.
struct StrokePoint {
  int x;       // from the reference x
  Line line;
  int y;       // from the line (for kBottom: bottom - y)
  bool fixedX; // the right half of the 0 does not move
};

struct Stroke {
  StrokePoint points[9];
};

struct Glyph {
  Stroke strokes[6];
};

constexpr Line T = Line::kTop;
constexpr Line M = Line::kMiddle;
constexpr Line B = Line::kBottom;

// Each digit as polylines within x - 4 .. x + 4, from the reference line
// down to the bottom lines (bottom - 3, 4 or 6; bottom - 2 for the tail of
// the 9).
const Glyph kGlyphs[10] = {
    // 0: the left half moves with the jitter, the right half stays.
    {{{{{0, T, 0, true}, {-2, T, 0, false}, {-3, T, 1, false}, {-3, B, 4, false}}},
         {{{-2, B, 3, false}, {2, B, 3, true}, {3, B, 4, true}, {3, T, 1, true}, {0, T, 0, true}}}}},
    // 1
    {{{{{-1, T, 1, false}, {0, T, 0, false}, {0, B, 3, false}}},
         {{{-1, B, 3, false}, {2, B, 3, false}}}}},
    // 2
    {{{{{-3, T, 1, false}, {-2, T, 0, false}, {2, T, 0, false}, {3, T, 1, false}, {3, T, 4, false},
              {-3, B, 4, false}, {-3, B, 3, false}, {4, B, 3, false}}}}},
    // 3
    {{{{{-3, T, 0, false}, {3, T, 0, false}, {3, M, -1, false}, {-1, M, -1, false}}},
         {{{3, M, 0, false}, {3, B, 4, false}, {2, B, 3, false}, {-3, B, 3, false}}},
         {{{-3, B, 4, false}, {-2, B, 3, false}}}}},
    // 4
    {{{{{1, T, 0, false}, {-4, M, 1, false}, {4, M, 1, false}}},
         {{{1, T, 0, false}, {1, B, 3, false}}}}},
    // 5
    {{{{{3, T, 0, false}, {-3, T, 0, false}, {-3, M, -1, false}, {2, M, -1, false}, {3, M, 0, false},
              {3, B, 4, false}, {-3, B, 3, false}}}}},
    // 6
    {{{{{2, T, 0, false}, {-2, T, 1, false}, {-3, M, 0, false}, {-3, B, 4, false}, {-2, B, 3, false},
              {3, B, 4, false}, {3, M, 0, false}, {-3, M, 0, false}}}}},
    // 7
    {},
    // 8: two loops.
    {{{{{-2, T, 0, false}, {2, T, 0, false}, {3, T, 1, false}, {3, M, -2, false}, {2, M, -1, false},
              {-2, M, -1, false}, {-3, M, -2, false}, {-3, T, 1, false}}},
         {{{-3, T, 1, false}, {-2, T, 0, false}}},
         {{{-2, M, -1, false}, {-3, M, 0, false}, {-3, B, 4, false}, {-2, B, 3, false}, {2, B, 3, false},
              {3, B, 4, false}, {3, M, 0, false}}},
         {{{3, M, 0, false}, {2, M, -1, false}}}}},
    // 9
    {{{{{3, M, -1, false}, {-2, M, -1, false}, {-3, M, -2, false}, {-3, T, 1, false}, {-2, T, 0, false},
              {3, T, 1, false}, {3, B, 4, false}, {1, B, 2, false}}}}},
};

}  // namespace

void PictureCode::DrawDigit(HDC dc, const RECT& cell, int digit, bool coloured) {
  COLORREF colour = coloured ? kPictureCodePens[random_->Next() % 6] : 0x000000;
  int dx = random_->Next() % 2;
  int dy = random_->Next() % 3;
  ApplyPictureCodeJitter(&dx, &dy);
  if (digit < 0 || digit > 9) return;

  int refX = cell.left + (cell.right - cell.left) / 2;
  int refY = cell.top + 3;
  int midY = cell.top + 9;
  int movedX = refX + dx;
  int movedY = refY + dy;
  HPEN pen = CreatePen(PS_SOLID, 1, colour);
  HGDIOBJ old = SelectObject(dc, pen);
  if (digit == 7) {
    // The bar, then five short verticals walking down to the left.
    MoveToEx(dc, movedX - 4, movedY - 1, nullptr);
    LineTo(dc, movedX + 4, movedY - 1);
    for (int k = 0; k < 5; ++k) {
      MoveToEx(dc, movedX + 4 - k, movedY - 1 + 3 * k, nullptr);
      LineTo(dc, movedX + 4 - k, movedY - 1 + 3 * k + 4);
    }
  }
  const Glyph& glyph = kGlyphs[digit];
  for (const Stroke& stroke : glyph.strokes) {
    if (stroke.points[0].line == Line::kEnd) break;
    for (int p = 0; p < 9 && stroke.points[p].line != Line::kEnd; ++p) {
      const StrokePoint& point = stroke.points[p];
      int x = (point.fixedX ? refX : movedX) + point.x;
      int y = 0;
      switch (point.line) {
        case Line::kTop: y = (point.fixedX ? refY : movedY) + point.y; break;
        case Line::kMiddle: y = midY + dy + point.y; break;
        case Line::kBottom: y = cell.bottom - point.y; break;
        case Line::kEnd: break;
      }
      if (p == 0) {
        MoveToEx(dc, x, y, nullptr);
      } else {
        LineTo(dc, x, y);
      }
    }
  }
  SelectObject(dc, old);
  DeleteObject(pen);
}
