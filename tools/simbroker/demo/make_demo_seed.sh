#!/usr/bin/env bash
# Writes the demo seed folder res/ beside this script: the per-user files a
# fresh terminal needs to reach the simulated brokerage on 127.0.0.1
# (simbroker: market data on 8110, history data "DownCenter" on 8111; the
# HTTP services, with the dictionary repair at /quote, on 8889).
#   res/server.data   PCQuote and DownCenter
#   res/v2bin.data    the TradingHours element (930-1130, 1300-1500)
#   res/own.data      a watch list: 7-byte entries, code then market byte
set -euo pipefail
cd "$(dirname "$0")"
mkdir -p res
printf '%s' '<PCQuote>演示站|http://127.0.0.1:8889/quote?|http://127.0.0.1:8889/quote?</PCQuote><DownCenter>127.0.0.1:8111</DownCenter>' > res/server.data
printf '%s' '<v2bin><TradingHours><Market id="1" firstopen="930" firstclose="1130" secondopen="1300" secondclose="1500" thirdopen="0" thirdclose="0" midscale="1130"/><Market id="2" firstopen="930" firstclose="1130" secondopen="1300" secondclose="1500" thirdopen="0" thirdclose="0" midscale="1130"/></TradingHours></v2bin>' > res/v2bin.data
printf '600000\001600519\001000001\002000858\002300750\002' > res/own.data
