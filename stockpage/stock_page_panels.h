// The stock page's panels that other changes build: the cycle-resonance
// view, the native F10 text view and the short-term alert list. The page
// knows them by these small interfaces and makes them through one
// StockPagePanels record; until a panel's own window exists the record
// answers a placeholder (a black window with the panel's name) that keeps
// what it is given. UI thread for creation; the setters run on the
// connection thread under the page's lock and never wait for the UI thread.
#pragma once

#include <functional>
#include <memory>

#include "marketdata/quote_engine.h"
#include "platform/mfc/afx.h"

struct F10CatalogArea;
struct F10ItemArea;
struct AlertRecordArea;

// "周期共振": one minute chart and eight period charts of one stock.
class ICycleResPanel {
 public:
  virtual ~ICycleResPanel() = default;
  virtual CWnd* Window() = 0;
  virtual void SetEngine(QuoteEngine* engine) = 0;
  virtual void ShowStock(const StockKey& key) = 0;
  virtual void Clear() = 0;
  // An arrow key while the view is visible.
  virtual void MoveSelection(UINT key) = 0;
};

// The native F10 text view: the catalogue and one item's text.
class IF10Panel {
 public:
  virtual ~IF10Panel() = default;
  virtual CWnd* Window() = 0;
  virtual void SetCatalog(const F10CatalogArea* area) = 0;
  virtual void SetContent(const F10ItemArea* area) = 0;
};

// The short-term alert list (detail tab "短"). A picked row reaches the
// page as WM_ALERT_ROW_PICK (0, a heap StockKey copy).
class IAlertListPanel {
 public:
  virtual ~IAlertListPanel() = default;
  virtual CWnd* Window() = 0;
  virtual int GetVisibleRows() = 0;
  virtual void ClearAlerts() = 0;
  virtual void SetAlertData(const AlertRecordArea* area) = 0;
};

struct StockPagePanels {
  std::function<std::unique_ptr<ICycleResPanel>()> cycle;
  std::function<std::unique_ptr<IF10Panel>()> f10;
  std::function<std::unique_ptr<IAlertListPanel>()> alerts;
};

// The program's panels (placeholders where a panel is not built yet).
StockPagePanels DefaultStockPagePanels();
