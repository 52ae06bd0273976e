// Fuzz target for the history client's reply dispatch (gzip, header, summary,
// bar records with their var-int bars) and the dictionary reply decoder. The
// first input byte chooses the decoder; the rest is copied into a buffer of
// exactly its size, so any read past it is reported.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "marketdata/code_dictionary.h"
#include "marketdata/history_client.h"
#include "marketdata/reply_reader.h"

namespace {

void CountReply(void* owner, HistoryReply* reply) {
  int* count = static_cast<int*>(owner);
  for (int i = 0; i < reply->stockCount; ++i) *count += reply->stocks[i].barCount;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static int bars = 0;
  static HistoryClient* client = [] {
    auto* c = new HistoryClient();
    c->replyCallback = CountReply;
    c->replyOwner = &bars;
    return c;
  }();
  std::unique_ptr<unsigned char[]> copy(new unsigned char[size - 1 ? size - 1 : 1]);
  std::memcpy(copy.get(), data + 1, size - 1);
  if (data[0] & 1) {
    DictionaryReply reply;
    ReplyReader reader(copy.get(), static_cast<int>(size - 1));
    DecodeDictionaryUpdate(&reader, &reply);
    return 0;
  }
  DispatchHistoryReply(client, copy.get(), static_cast<int>(size - 1));
  return 0;
}
