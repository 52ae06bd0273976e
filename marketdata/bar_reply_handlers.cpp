#include "marketdata/bar_reply_handlers.h"

#include "marketdata/bar_decoders.h"
#include "marketdata/ex_rights.h"
#include "marketdata/l2_bar_supplements.h"
#include "marketdata/quote_engine.h"
#include "marketdata/quote_requests.h"

void AddBarDecoders(ReplyDecoderTable* table) {
  table->decoder[49] = DecodeLatestBarsReply;
  table->decoder[68] = DecodeRangeBarsReply;
  table->decoder[55] = DecodeExRightsReply;
  table->decoder[91] = DecodeKLineSupplementAReply;
  table->decoder[92] = DecodeKLineSupplementBReply;
}
