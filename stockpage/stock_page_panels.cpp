#include "stockpage/stock_page_panels.h"

#include <atomic>
#include <string>

#include "marketdata/f10_alert_decoders.h"

namespace {

// A black window with the panel's name in grey.
class PlaceholderPanel : public CWnd {
 public:
  explicit PlaceholderPanel(const char16_t* name) : name_(name) {}

 protected:
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, RGB(0, 0, 0));
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(128, 128, 128));
    dc.DrawText(name_, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }

 private:
  std::u16string name_;
};

class PlaceholderCycleRes : public PlaceholderPanel, public ICycleResPanel {
 public:
  PlaceholderCycleRes() : PlaceholderPanel(u"周期共振") {}
  CWnd* Window() override { return this; }
  void SetEngine(QuoteEngine*) override {}
  void ShowStock(const StockKey&) override {}
  void Clear() override {}
  void MoveSelection(UINT) override {}
};

class PlaceholderF10 : public PlaceholderPanel, public IF10Panel {
 public:
  PlaceholderF10() : PlaceholderPanel(u"F10") {}
  CWnd* Window() override { return this; }
  void SetCatalog(const F10CatalogArea*) override {}
  void SetContent(const F10ItemArea*) override {}
};

class PlaceholderAlerts : public PlaceholderPanel, public IAlertListPanel {
 public:
  PlaceholderAlerts() : PlaceholderPanel(u"短线精灵") {}
  CWnd* Window() override { return this; }
  int GetVisibleRows() override {
    CRect client;
    if (m_hWnd) GetClientRect(&client);
    return client.Height() > 0 ? client.Height() / 20 : 10;
  }
  void ClearAlerts() override {}
  void SetAlertData(const AlertRecordArea*) override {}
};

}  // namespace

StockPagePanels DefaultStockPagePanels() {
  StockPagePanels panels;
  panels.cycle = [] { return std::unique_ptr<ICycleResPanel>(new PlaceholderCycleRes); };
  panels.f10 = [] { return std::unique_ptr<IF10Panel>(new PlaceholderF10); };
  panels.alerts = [] { return std::unique_ptr<IAlertListPanel>(new PlaceholderAlerts); };
  return panels;
}
