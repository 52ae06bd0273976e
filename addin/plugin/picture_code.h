// The picture code of the sign-up and change-password dialogs: five digits
// made with the C library's random numbers, drawn by the dialog as coloured
// line-drawn digits on a grey field and compared locally with what the user
// typed. The code never leaves the plug-in.
//
// The time and the random numbers come through PictureCodeRandom, which
// tests replace with a fixed time and a scripted sequence.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "platform/gdi/win_gdi.h"

class PictureCodeRandom {
 public:
  virtual ~PictureCodeRandom() = default;
  virtual std::time_t Now() { return std::time(nullptr); }
  virtual void Seed(unsigned seed) { std::srand(seed); }
  virtual int Next() { return std::rand(); }
};

// The process's generator: time(), srand(), rand().
PictureCodeRandom& DefaultPictureCodeRandom();

// The pen colours (0x00BBGGRR).
constexpr COLORREF kPictureCodePens[6] = {0x0000FF, 0xFF00EE, 0xFF0000, 0xFF9900, 0x0080FF, 0x008000};
constexpr COLORREF kPictureCodeField = 0xC0C0C0;
constexpr int kPictureCodeDigits = 5;

// The moved reference point of a digit: dx = rand % 2, dy = rand % 3 (in
// that order); both negated when dx < dy.
void ApplyPictureCodeJitter(int* dx, int* dy);

class PictureCode {
 public:
  explicit PictureCode(PictureCodeRandom* random = nullptr)
      : random_(random != nullptr ? random : &DefaultPictureCodeRandom()) {}

  // Seeds the generator with the time in seconds, clears the code and sets
  // the five digits to rand % 10 in order.
  void Generate();
  // true only when typed has exactly five characters, each the character of
  // the digit at its place. null never matches.
  bool Matches(const char* typed) const;
  int Digit(int index) const { return index >= 0 && index < kPictureCodeDigits ? code_[index] : -1; }

  // The rectangle a paint covers, for an area control whose top-left corner
  // is (left, top) in the dialog's client co-ordinates.
  static RECT CodeRect(int left, int top) { return RECT{left + 4, top + 1, left + 79, top + 19}; }
  // Fills the 75 x 18 grey field at (left + 2, top + 1) and draws the five
  // digits, coloured, in 10-px cells at a 15-px pitch.
  void Paint(HDC dc, int left, int top);
  // Draws digit (0 to 9; any other value draws nothing) in the cell, with a
  // pen from the table (coloured) or black, and a new jitter.
  void DrawDigit(HDC dc, const RECT& cell, int digit, bool coloured);

 private:
  PictureCodeRandom* random_;  // the seam; not owned
  std::uint8_t code_[8] = {};  // five digit values 0 to 9, the rest zero
};
