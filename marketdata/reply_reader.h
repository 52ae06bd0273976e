// ReplyReader: the bounded reader every reply decoder reads through.
//
// It is given the body and its length. Every read checks the bytes left:
// a read that does not fit reads nothing, leaves its out-parameter as it was,
// marks the reader short (sticky) and returns false; every later read fails
// as well. Decoders therefore stop at the first failed read and keep what
// they decoded so far, with their counts set to what they actually stored.
// The first failure leaves one trace line.
//
// Numbers are big-endian. Variable-length integers are bounded by the bytes
// left. Counts from the wire are clamped with ClampCount before they size a
// loop.
#pragma once

#include <cstdint>

class ReplyReader {
 public:
  ReplyReader(const unsigned char* data, int length)
      : data_(data), length_(data && length > 0 ? length : 0) {}

  int Remaining() const { return length_ - position_; }
  int Position() const { return position_; }
  int Length() const { return length_; }
  bool Short() const { return short_; }
  // The unread bytes (valid while the body lives).
  const unsigned char* Current() const { return data_ + position_; }

  bool ReadU8(uint8_t* value);
  bool ReadS8(int8_t* value);
  bool ReadU16(uint16_t* value);
  bool ReadS16(int16_t* value);
  bool ReadU32(uint32_t* value);
  bool ReadS32(int32_t* value);
  bool ReadS64(int64_t* value);
  // Copies count bytes to out (out has room for count).
  bool ReadBytes(void* out, int count);
  bool Skip(int count);
  // Signed variable-length integers (top bit set on the last byte).
  bool ReadVarInt64(int64_t* value);
  bool ReadVarInt32(int32_t* value);
  // Scaled 24-bit number: *value is cleared and set to the decoded number.
  bool ReadScaledInt24(int64_t* value);

  // A wire count made safe: negative gives 0, and the result is at most
  // room (the area's capacity) and at most Remaining() / unitSize (the
  // smallest a unit can be), so a lying count cannot size a loop beyond the
  // body or the area.
  int ClampCount(int64_t count, int room, int unitSize) const;

  // Marks the reader short (a decoder found an inconsistent value).
  void MarkShort(const char* why);

 private:
  bool Take(int count);

  const unsigned char* data_;
  int length_;
  int position_ = 0;
  bool short_ = false;
};
