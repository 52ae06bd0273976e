// The trade service's Blowfish key.
//
// Both ends of the trade protocol key Blowfish (mode 1) with these 24 ASCII
// decimal digits: the client in CreateTradeSession, the simulated trade
// service in its own cipher. The terminator is not part of the key.
#pragma once

inline constexpr char kTradeCipherKey[] = "730492816547203915864027";
inline constexpr int kTradeCipherKeyLength = 24;
static_assert(sizeof(kTradeCipherKey) == kTradeCipherKeyLength + 1, "the key is 24 digits");
