// Reader and writer of the indicator parameter file.
#include "marketdata/indicator_params.h"
#include "marketdata/indicator_periods.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "foundation/user_folders.h"
#include "foundation/xml_reader.h"

namespace {

// The eighteen parameters, in file order.
struct ParameterRow {
  const char* element;
  const char* child;
  int32_t IndicatorWorkspace::*field;
};

const ParameterRow kRows[] = {
    {"MACD", "SHORT", &IndicatorWorkspace::macdShort}, {"MACD", "LONG", &IndicatorWorkspace::macdLong},
    {"MACD", "MID", &IndicatorWorkspace::macdMid},     {"KDJ", "N", &IndicatorWorkspace::kdjN},
    {"KDJ", "M1", &IndicatorWorkspace::kdjM1},         {"KDJ", "M2", &IndicatorWorkspace::kdjM2},
    {"DMA", "SHORT", &IndicatorWorkspace::dmaShort},   {"DMA", "LONG", &IndicatorWorkspace::dmaLong},
    {"DMA", "M", &IndicatorWorkspace::dmaM},           {"BOLL", "N", &IndicatorWorkspace::bollN},
    {"RSI", "N1", &IndicatorWorkspace::rsiN1},         {"RSI", "N2", &IndicatorWorkspace::rsiN2},
    {"RSI", "N3", &IndicatorWorkspace::rsiN3},         {"WR", "N", &IndicatorWorkspace::wrN},
    {"WR", "N1", &IndicatorWorkspace::wrN1},           {"CCI", "N", &IndicatorWorkspace::cciN},
    {"ARBR", "N", &IndicatorWorkspace::brarN},         {"PSY", "N", &IndicatorWorkspace::psyN},
};

// Decimal conversion: blanks, optional sign, digits; no digits give 0; out
// of range is clamped to the 32-bit limits.
int32_t DecimalValue(const char* text) {
  const long long v = std::strtoll(text, nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace

int WriteIndexParameterXml(const IndicatorWorkspace* ws, char* buffer, size_t capacity) {
  if (!buffer || capacity < kIndexParameterTextRoom) {
    if (buffer && capacity > 0) buffer[0] = '\0';
    return -1;
  }
  return std::snprintf(
      buffer, capacity,
      "<IndexParameter><MACD><SHORT>%d</SHORT><LONG>%d</LONG><MID>%d</MID></MACD><KDJ><N>%d</N><M1>%d</M1>"
      "<M2>%d</M2></KDJ><DMA><SHORT>%d</SHORT><LONG>%d</LONG><M>%d</M></DMA><BOLL><N>%d</N></BOLL><RSI><N1>%d</N1>"
      "<N2>%d</N2><N3>%d</N3></RSI><WR><N>%d</N><N1>%d</N1></WR><CCI><N>%d</N></CCI><ARBR><N>%d</N></ARBR>"
      "<PSY><N>%d</N></PSY></IndexParameter>",
      LoadPeriod(ws->macdShort), LoadPeriod(ws->macdLong), LoadPeriod(ws->macdMid), LoadPeriod(ws->kdjN),
      LoadPeriod(ws->kdjM1), LoadPeriod(ws->kdjM2), LoadPeriod(ws->dmaShort), LoadPeriod(ws->dmaLong),
      LoadPeriod(ws->dmaM), LoadPeriod(ws->bollN), LoadPeriod(ws->rsiN1), LoadPeriod(ws->rsiN2), LoadPeriod(ws->rsiN3),
      LoadPeriod(ws->wrN), LoadPeriod(ws->wrN1), LoadPeriod(ws->cciN), LoadPeriod(ws->brarN), LoadPeriod(ws->psyN));
}

void ReadIndexParameterXml(const char* text, IndicatorWorkspace* ws) {
  if (!text || !ws) return;
  const char* cursor = text;
  XmlNode* root = ParseXmlNode(&cursor);
  if (!root) return;
  for (const ParameterRow& row : kRows) {
    const char* value = XmlFirstChildText(FindXmlChild(FindXmlChild(root, row.element), row.child));
    if (!value) continue;  // missing element or no text: keep the value
    const int32_t period = DecimalValue(value);
    if (period < 1) continue;  // a period below one bar would make the series infinite
    StorePeriod(ws->*row.field, period);
  }
  FreeXmlTree(root);
}

int LoadIndexParameterFile(IndicatorWorkspace* const* workspaces, int count) {
  FileBlob* blob = ReadDataFile(kIndexParameterFile);
  if (!blob) return 0;
  for (int i = 0; i < count; ++i)
    if (workspaces[i]) ReadIndexParameterXml(blob->data, workspaces[i]);
  FreeFileBlob(blob);
  return 1;
}
