// The market-data connection and its challenge-response login.
//
// States (QuoteEngine::state) and the step that makes each:
//   0 waiting for the key message   <- transport "connected", "closed" or an error
//   1 answer sent                   <- any data frame of 24+ payload bytes in state 0
//   3 market information asked      <- result code -1 in state 1
//   4 ready                         <- any frame in state 3, after its dispatch
// Result codes -16/-15/-14 raise owner events 4/5/6 and leave state 1; any
// other code is ignored (state 1, nothing sent). Frames in other states are
// ignored. Requests are put on the wire only in state 4.
//
// Key message (payload): 1 unread byte, 16 key bytes A, 7 key bytes K.
// Answer (57 payload bytes): 4, P[0..15] as u16 big-endian with
// P[i] = A[i] * B[i] (B = "zuzurariv" then K), user number i64 big-endian,
// 16 token bytes. Result (payload): 1 unread byte, i32 big-endian code.
// Shorter key or result frames are ignored (the state does not move).
#pragma once

#include <cstdint>

#include "marketdata/quote_engine.h"

constexpr int kKeyMessageSize = 24;
constexpr int kAuthAnswerSize = 57;
constexpr int kAuthResultSize = 5;

// Connects the engine to host:port (the quote view passes 8110). address is
// the quote service address (zero-terminated, at most 1,023 bytes are read);
// the session parameters are appended to a copy of it and the result is kept
// in the engine (cut at 511 bytes). Does nothing when host or address is null
// or port is 0. Closes the previous connection, creates a new one with the
// engine's callbacks, host, port and the configured proxy, and starts it.
// Call it holding no engine lock.
void ConnectQuoteServer(QuoteEngine* engine, const char* host, int port, const char* address);

// Stores the owner's event function and window (both may be null).
void SetQuoteEventHandler(QuoteEngine* engine, QuoteEventHandler handler, void* ownerWindow);

// Sets the user number from decimal text (null keeps it) and the token from
// exactly 32 lower-case hexadecimal digits. Both token fields are cleared
// first; a null token or one of another form leaves them zero.
void SetQuoteCredentials(QuoteEngine* engine, const char* userNumberText, const char* tokenText);

// Closes the engine's connection; no event follows and the state keeps its
// value until a new connection reports "connected".
void CloseQuoteConnection(QuoteEngine* engine);

// The 33-byte answer for a key block: key points at payload offset 1 (23
// bytes: A then K); answer receives 4 and the 16 products.
void ComputeAuthAnswer(const unsigned char* key, unsigned char* answer);

// Transport callbacks (user data: the engine).
void OnQuoteConnectionState(void* engine, int code);
void OnQuoteFrame(void* engine, const char* frame, int length);

// Sends the 9-byte market-information request (type 3) directly and sets
// state 3. Not registered as a pending request.
void RequestMarketInfo(QuoteEngine* engine);
