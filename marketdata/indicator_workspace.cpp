// Creation of the K-line indicator workspace with its default parameters.
#include "marketdata/indicator_workspace.h"

#include <new>

IndicatorWorkspace* CreateIndicatorWorkspace() {
  auto* ws = new (std::nothrow) IndicatorWorkspace();  // value-initialised: zero-filled
  if (!ws) return nullptr;
  ws->kdjN = 9;
  ws->kdjM1 = 3;
  ws->kdjM2 = 3;
  ws->dmaShort = 10;
  ws->dmaLong = 50;
  ws->dmaM = 10;
  ws->bollN = 26;
  ws->bollWidth = 2;
  ws->rsiN1 = 6;
  ws->rsiN2 = 12;
  ws->rsiN3 = 24;
  ws->macdShort = 12;
  ws->macdLong = 26;
  ws->macdMid = 9;
  ws->maPeriods[0] = 5;
  ws->maPeriods[1] = 10;
  ws->maPeriods[2] = 20;
  ws->maPeriods[3] = 60;
  ws->wrN = 14;
  ws->wrN1 = 28;
  ws->cciN = 14;
  ws->biasPeriods[0] = 6;
  ws->biasPeriods[1] = 12;
  ws->biasPeriods[2] = 24;
  ws->brarN = 26;
  ws->psyN = 12;
  ws->turnThreshold = 0.05f;
  ws->trendShort = 8;
  ws->trendLong = 34;
  return ws;
}

void FreeIndicatorWorkspace(IndicatorWorkspace* workspace) { delete workspace; }
