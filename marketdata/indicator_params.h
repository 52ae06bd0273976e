// res\indexParameter.data: the periods of the K-line indicators the user may
// change, one line of XML without declaration, line break or terminator:
//
//   <IndexParameter><MACD><SHORT/LONG/MID></MACD><KDJ><N/M1/M2></KDJ>
//   <DMA><SHORT/LONG/M></DMA><BOLL><N></BOLL><RSI><N1/N2/N3></RSI>
//   <WR><N/N1></WR><CCI><N></CCI><ARBR><N></ARBR><PSY><N></PSY></IndexParameter>
//
// eighteen decimal values (337 characters with the defaults, at most 504).
// Everything else of the workspaces (BOLL width, BIAS and MA periods, the
// overlays' settings) is not carried and keeps its default.
//
// Sequence of a save (user-interface thread): store the edited values into
// the workspace of the chart being edited, WriteIndexParameterXml, write the
// bytes with WriteDataFile, then reload every workspace of the engine with
// LoadIndexParameterFile.
#pragma once

#include <cstddef>

#include "marketdata/indicator_workspace.h"

constexpr size_t kIndexParameterTextRoom = 505;           // longest text + terminator
constexpr const char* kIndexParameterFile = "res\\indexParameter.data";

// Formats the eighteen parameters of ws into buffer, zero-terminated, and
// returns the text's length without the terminator. The workspace is not
// changed. When capacity is below kIndexParameterTextRoom nothing but an
// empty text is written (when capacity > 0) and the result is -1.
int WriteIndexParameterXml(const IndicatorWorkspace* ws, char* buffer, size_t capacity);

// Parses a zero-terminated text of the format above into ws. Names are
// matched by hash, so element order and extra elements do not matter. Each
// value is a decimal conversion (leading blanks, optional sign, digits up to
// the first other character, clamped to 32 bits). A missing element, an
// element without text, or a value below 1 (a period must be at least one
// bar) leaves that parameter unchanged. Kept on purpose: "x7" converts to 0
// and so keeps the old value rather than set a period of 0, whose series
// would mean nothing. A null text or
// one that does not parse changes nothing.
void ReadIndexParameterXml(const char* text, IndicatorWorkspace* ws);

// Reads kIndexParameterFile below the per-user data root once and applies it
// to each of the count workspaces (null entries skipped). Returns 1 when the
// file was read, 0 when it is missing or unreadable (nothing changed).
int LoadIndexParameterFile(IndicatorWorkspace* const* workspaces, int count);
