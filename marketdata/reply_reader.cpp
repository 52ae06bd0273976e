#include "marketdata/reply_reader.h"

#include <cstring>

#include "foundation/debug_trace.h"
#include "foundation/number_codecs.h"

void ReplyReader::MarkShort(const char* why) {
  if (!short_) {
    DebugPrintf("\nReplyReader: %s at %d of %d", why, position_, length_);
  }
  short_ = true;
}

bool ReplyReader::Take(int count) {
  if (short_ || count < 0 || count > Remaining()) {
    MarkShort("reply body ends early");
    return false;
  }
  return true;
}

bool ReplyReader::ReadU8(uint8_t* value) {
  if (!Take(1)) return false;
  *value = data_[position_++];
  return true;
}

bool ReplyReader::ReadS8(int8_t* value) {
  uint8_t v = 0;
  if (!ReadU8(&v)) return false;
  *value = static_cast<int8_t>(v);
  return true;
}

bool ReplyReader::ReadU16(uint16_t* value) {
  if (!Take(2)) return false;
  *value = static_cast<uint16_t>(data_[position_] << 8 | data_[position_ + 1]);
  position_ += 2;
  return true;
}

bool ReplyReader::ReadS16(int16_t* value) {
  uint16_t v = 0;
  if (!ReadU16(&v)) return false;
  *value = static_cast<int16_t>(v);
  return true;
}

bool ReplyReader::ReadU32(uint32_t* value) {
  if (!Take(4)) return false;
  *value = ReadUInt32BigEndian(data_, position_);
  position_ += 4;
  return true;
}

bool ReplyReader::ReadS32(int32_t* value) {
  uint32_t v = 0;
  if (!ReadU32(&v)) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

bool ReplyReader::ReadS64(int64_t* value) {
  if (!Take(8)) return false;
  *value = ReadInt64BigEndian(data_, position_);
  position_ += 8;
  return true;
}

bool ReplyReader::ReadBytes(void* out, int count) {
  if (!Take(count)) return false;
  if (count > 0) std::memcpy(out, data_ + position_, static_cast<size_t>(count));
  position_ += count;
  return true;
}

bool ReplyReader::Skip(int count) {
  if (!Take(count)) return false;
  position_ += count;
  return true;
}

bool ReplyReader::ReadVarInt64(int64_t* value) {
  if (short_) return false;
  int used = 0;
  if (ReadVarInt64Bounded(data_ + position_, Remaining(), value, &used) < 0) {
    MarkShort("variable-length integer runs past the body");
    return false;
  }
  position_ += used;
  return true;
}

bool ReplyReader::ReadVarInt32(int32_t* value) {
  if (short_) return false;
  int used = 0;
  if (ReadVarInt32Bounded(data_ + position_, Remaining(), value, &used) < 0) {
    MarkShort("variable-length integer runs past the body");
    return false;
  }
  position_ += used;
  return true;
}

bool ReplyReader::ReadScaledInt24(int64_t* value) {
  if (!Take(3)) return false;
  int64_t v = 0;
  DecodeScaledInt24(data_ + position_, &v);
  *value = v;
  position_ += 3;
  return true;
}

int ReplyReader::ClampCount(int64_t count, int room, int unitSize) const {
  if (count <= 0 || room <= 0) return 0;
  int64_t limit = room;
  if (unitSize > 0) {
    int64_t fit = Remaining() / unitSize;
    if (fit < limit) limit = fit;
  }
  return static_cast<int>(count < limit ? count : limit);
}
