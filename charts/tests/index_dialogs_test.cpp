// The indicator parameter and help dialogs, run modally on the test desktop
// against an unconnected quote engine in a temporary per-user folder: rows
// per indicator, restoring defaults, saving (button and close box) and not
// saving (Escape, Enter), stepping and reading the edits, a failed write,
// a save while another chart recalculates, and the help texts.
#include "charts/index_dialogs.h"
#include "charts/kline_chart_indicators.h"
#include "charts/tests/indicator_ui_support.h"
#include "charts/tests/kline_test_support.h"

#include "foundation/config_store.h"
#include "foundation/tests/temp_user_folders.h"
#include "foundation/user_folders.h"
#include "marketdata/indicator_params.h"
#include "marketdata/indicator_periods.h"
#include "platform/kernel/kernel_files.h"

#include <QString>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>

using namespace indicatorui;
using namespace index_param_ids;

namespace {

struct EngineDeleter {
  void operator()(QuoteEngine* e) const { FreeQuoteEngine(e); }
};

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Narrow(const WString& text) { return QString::fromStdU16String(text).toStdString(); }

WString TextOf(HWND hwnd) {
  WCHAR buffer[4096] = {};
  ::GetWindowTextW(hwnd, buffer, 4096);
  return buffer;
}

// A control's place in its dialog's client area.
CRect PlaceOf(HWND dialog, int id) {
  HWND control = ::GetDlgItem(dialog, id);
  RECT r{};
  ::GetWindowRect(control, &r);
  POINT a{r.left, r.top}, b{r.right, r.bottom};
  ::ScreenToClient(dialog, &a);
  ::ScreenToClient(dialog, &b);
  return CRect(a.x, a.y, b.x, b.y);
}

bool Shown(HWND dialog, int id) { return (::GetWindowLongPtrW(::GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0; }

class IndexDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folders_ = std::make_unique<TempUserFolders>("indexdlg");
    ASSERT_TRUE(folders_->Ok());
    InitAppFolders();
    UseProgramFonts();
    RegisterIndexDialogTemplates();
    engine_.reset(CreateQuoteEngine());
    ASSERT_TRUE(engine_);
    ASSERT_TRUE(parent_.Make(800, 600));
  }
  void TearDown() override {
    engine_.reset();
    folders_.reset();
  }
  IndicatorWorkspace* Ws(int i) { return engine_->workspaces[i]; }
  std::string FilePath() const { return DataRoot() + "res/indexParameter.data"; }
  std::string FileText() const { return ReadWhole(FilePath()); }
  // The text a save of ws writes.
  static std::string XmlOf(const IndicatorWorkspace* ws) {
    char text[kIndexParameterTextRoom];
    int n = WriteIndexParameterXml(ws, text, sizeof text);
    return std::string(text, static_cast<size_t>(n));
  }
  // Runs the dialog: waits for it, runs each step in turn inside its loop.
  INT_PTR Run(CDialog& dlg, std::vector<std::function<void()>> steps) {
    desk_.Until([&dlg] { return dlg.m_hWnd && ::IsWindowVisible(dlg.m_hWnd); });
    for (auto& step : steps) desk_.Then(std::move(step));
    INT_PTR result = dlg.DoModal();
    desk_.RunUntilIdle();
    EXPECT_FALSE(desk_.StepsTimedOut());
    return result;
  }
  void ClickItem(CDialog& dlg, int id) { desk_.Click(::GetDlgItem(dlg.m_hWnd, id), 5, 5); }

  TestDesktop desk_;
  std::unique_ptr<TempUserFolders> folders_;
  std::unique_ptr<QuoteEngine, EngineDeleter> engine_;
  RecordingParent parent_;
};

struct RowsCase {
  int indicator;
  int rows;
  int days;  // rows with "天数："
  const char* caption;
  const char* labels[3];
  int values[3];
};

TEST_F(IndexDialogTest, IndexParamDialogRowsPerIndicator) {
  const RowsCase cases[] = {
      {0, 3, 0, "MACD[指标参数调整]", {"日快线移动平均;", "日慢线移动平均;", "日移动平均;"}, {12, 26, 9}},
      {1, 3, 3, "KDJ[指标参数调整]", {"天;", "天;", "天;"}, {9, 3, 3}},
      {2, 3, 0, "RSI[指标参数调整]", {"日RSI[相对强弱];", "日RSI[相对强弱];", "日RSI[相对强弱];"}, {6, 12, 24}},
      {3, 2, 0, "WR[指标参数调整]", {"日威廉指标;", "日威廉指标;"}, {14, 28}},
      {4, 1, 0, "BOLL[指标参数调整]", {"日布林线;"}, {26}},
      {5, 3, 0, "BIAS[指标参数调整]", {"日乘离率;", "日乘离率;", "日乘离率;"}, {6, 12, 24}},
      {6, 3, 0, "DMA[指标参数调整]", {"日快线移动平均;", "日慢线移动平均;", "日移动平均;"}, {10, 50, 10}},
      {7, 1, 1, "CCI[指标参数调整]", {"天;"}, {14}},
      {8, 1, 0, "BRAR[指标参数调整]", {"日情绪指标;"}, {26}},
      {9, 1, 0, "PSY[指标参数调整]", {"日心理线;"}, {12}},
      {-1, 0, 0, "指标参数设置", {}, {}},
      {12, 0, 0, "指标参数设置", {}, {}},
  };
  for (const RowsCase& c : cases) {
    SCOPED_TRACE(c.indicator);
    CIndexParamSetDlg dlg(&parent_);
    dlg.SetTarget(engine_.get(), c.indicator);
    Run(dlg, {[&] {
                HWND d = dlg.m_hWnd;
                EXPECT_EQ(Narrow(TextOf(d)), c.caption);
                EXPECT_TRUE(Shown(d, kRestoreDefaults));
                EXPECT_TRUE(Shown(d, kClose));
                EXPECT_EQ(Narrow(TextOf(::GetDlgItem(d, kRestoreDefaults))), "恢复缺省");
                EXPECT_EQ(Narrow(TextOf(::GetDlgItem(d, kClose))), "关闭");
                EXPECT_LT(PlaceOf(d, kRestoreDefaults).right, PlaceOf(d, kClose).left);
                const int x0 = c.days ? 43 : 5;
                for (int i = 0; i < 3; ++i) {
                  SCOPED_TRACE(i);
                  const int y = 10 + 25 * i;
                  const bool row = i < c.rows;
                  EXPECT_EQ(Shown(d, kEdit1 + i), row);
                  EXPECT_EQ(Shown(d, kSpin1 + i), row);
                  EXPECT_EQ(Shown(d, kLabel1 + i), row);
                  EXPECT_EQ(Shown(d, kDays1 + i), i < c.days);
                  EXPECT_EQ(PlaceOf(d, kEdit1 + i), CRect(x0, y, x0 + 60, y + 20));
                  EXPECT_EQ(PlaceOf(d, kSpin1 + i), CRect(x0 + 60, y, x0 + 80, y + 20));
                  EXPECT_EQ(PlaceOf(d, kLabel1 + i), CRect(x0 + 80, y + 3, x0 + 280, y + 23));
                  if (i < c.days) {
                    EXPECT_EQ(Narrow(TextOf(::GetDlgItem(d, kDays1 + i))), "天数：");
                    EXPECT_EQ(PlaceOf(d, kDays1 + i), CRect(5, y + 3, 43, y + 23));
                  }
                  if (row) {
                    EXPECT_EQ(Narrow(TextOf(::GetDlgItem(d, kLabel1 + i))), c.labels[i]);
                    EXPECT_EQ(Narrow(TextOf(::GetDlgItem(d, kEdit1 + i))), std::to_string(c.values[i]));
                  }
                }
                if (c.indicator == 0 || c.indicator == 1)
                  desk_.SavePng(d, SnapshotPath(c.indicator ? "index_param_kdj.png" : "index_param_macd.png"));
              },
              [&] { desk_.Key(VK_ESCAPE); }});
  }
}

TEST_F(IndexDialogTest, IndexParamDialogRestoresDefaultsAndSavesForEveryWorkspace) {
  // A file with other MACD periods, loaded as at start-up.
  for (int i = 0; i < kIndicatorWorkspaces; ++i) Ws(i)->macdShort = 5, Ws(i)->macdLong = 7, Ws(i)->macdMid = 3;
  ASSERT_TRUE(WriteDataFile(kIndexParameterFile, XmlOf(Ws(0)).data(), static_cast<int>(XmlOf(Ws(0)).size())));
  Ws(0)->kdjN = 21;  // not shown: written as it is

  CIndexParamSetDlg dlg(&parent_);
  dlg.SetTarget(engine_.get(), 0);
  std::string shown;
  INT_PTR result = Run(dlg, {[&] { shown = Narrow(TextOf(::GetDlgItem(dlg.m_hWnd, kEdit2))); },
                             [&] { ClickItem(dlg, kRestoreDefaults); },
                             [&] {
                               // Nothing is stored before the dialog closes.
                               EXPECT_EQ(Ws(0)->macdShort, 5);
                               EXPECT_EQ(Narrow(TextOf(::GetDlgItem(dlg.m_hWnd, kEdit2))), "26");
                             },
                             [&] { ClickItem(dlg, kClose); }});
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(shown, "7");
  const std::string text = FileText();
  EXPECT_EQ(text.find("<MACD><SHORT>12</SHORT><LONG>26</LONG><MID>9</MID></MACD><KDJ><N>21</N>"), 16u);
  EXPECT_EQ(text, XmlOf(Ws(0)));  // exact, no terminator
  EXPECT_EQ(text.back(), '>');
  for (int i = 0; i < kIndicatorWorkspaces; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Ws(i)->macdShort, 12);
    EXPECT_EQ(Ws(i)->macdLong, 26);
    EXPECT_EQ(Ws(i)->macdMid, 9);
    EXPECT_EQ(Ws(i)->kdjN, 21);
  }
}

TEST_F(IndexDialogTest, IndexParamDialogSavesOnlyThroughCloseButtonOrCloseBox) {
  struct Case {
    const char* name;
    std::function<void(CDialog&)> end;
    bool saves;
    INT_PTR result;
  } cases[] = {
      {"close button", [&](CDialog& d) { ClickItem(d, kClose); }, true, IDCANCEL},
      {"close box", [](CDialog& d) { d.PostMessage(WM_CLOSE); }, true, IDCANCEL},
      {"escape", [&](CDialog&) { desk_.Key(VK_ESCAPE); }, false, IDCANCEL},
      {"enter in an edit", [&](CDialog&) { desk_.Key(VK_RETURN); }, false, IDOK},
  };
  int period = 30;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteDataFile(kIndexParameterFile);
    const int before = Ws(0)->bollN;
    CIndexParamSetDlg dlg(&parent_);
    dlg.SetTarget(engine_.get(), 4);
    ++period;
    INT_PTR result = Run(dlg, {[&] {
                                 CWnd* edit = dlg.GetDlgItem(kEdit1);
                                 edit->SetWindowText(QString::number(period).toStdU16String());
                                 ::SetFocus(edit->m_hWnd);
                               },
                               [&] { c.end(dlg); }});
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(Ws(0)->bollN, c.saves ? period : before);
    EXPECT_EQ(Ws(5)->bollN, c.saves ? period : before);
    EXPECT_EQ(GetFileSizeUtf8Path(FilePath().c_str()) >= 0, c.saves);
  }
}

TEST_F(IndexDialogTest, IndexParamDialogWithoutRowsStillRewritesTheFile) {
  for (int indicator : {-1, 12}) {
    SCOPED_TRACE(indicator);
    DeleteDataFile(kIndexParameterFile);
    Ws(0)->cciN = 20 + indicator;
    CIndexParamSetDlg dlg(&parent_);
    dlg.SetTarget(engine_.get(), indicator);
    Run(dlg, {[&] { ClickItem(dlg, kClose); }});
    EXPECT_EQ(FileText(), XmlOf(Ws(0)));
    EXPECT_EQ(Ws(3)->cciN, 20 + indicator);
  }
}

TEST_F(IndexDialogTest, IndexParamDialogStepsAndReadsPeriodsWithinRange) {
  // Arrows: the upper half of the up-down control raises, the lower lowers.
  struct Step {
    const char* start;
    bool up;
    const char* result;
  } steps[] = {
      {"12", true, "13"}, {"12", false, "11"}, {"1", false, "1"},  {"999", true, "999"},
      {"", true, "1"},    {"", false, "1"},    {"abc", true, "1"}, {"-5", false, "1"},
      {"0", true, "1"},   {"5000", false, "999"}, {" 7x", true, "8"},
  };
  CIndexParamSetDlg stepping(&parent_);
  stepping.SetTarget(engine_.get(), 0);
  std::vector<std::function<void()>> script;
  std::vector<std::string> got(std::size(steps));
  for (size_t i = 0; i < std::size(steps); ++i) {
    script.push_back([&, i] {
      ::SetWindowTextW(::GetDlgItem(stepping.m_hWnd, kEdit2), QString(steps[i].start).toStdU16String().c_str());
      desk_.Click(::GetDlgItem(stepping.m_hWnd, kSpin2), 10, steps[i].up ? 4 : 16);
    });
    script.push_back([&, i] { got[i] = Narrow(TextOf(::GetDlgItem(stepping.m_hWnd, kEdit2))); });
  }
  script.push_back([&] { desk_.Key(VK_ESCAPE); });
  Run(stepping, script);
  for (size_t i = 0; i < std::size(steps); ++i)
    EXPECT_EQ(got[i], steps[i].result) << '"' << steps[i].start << '"' << (steps[i].up ? " up" : " down");

  // What a save stores: a number below 1 keeps the period, above 999 is 999.
  struct Store {
    const char* text;
    int stored;  // 0: the old period stays
  } stores[] = {{"12abc", 12}, {"abc", 0}, {"", 0}, {"0", 0}, {"-5", 0}, {"123456", 999}, {" +17", 17}};
  for (const Store& s : stores) {
    SCOPED_TRACE(s.text);
    Ws(0)->psyN = 12;
    CIndexParamSetDlg dlg(&parent_);
    dlg.SetTarget(engine_.get(), 9);
    Run(dlg, {[&] { ::SetWindowTextW(::GetDlgItem(dlg.m_hWnd, kEdit1), QString(s.text).toStdU16String().c_str()); },
              [&] { ClickItem(dlg, kClose); }});
    EXPECT_EQ(Ws(0)->psyN, s.stored ? s.stored : 12);
    EXPECT_EQ(Ws(8)->psyN, s.stored ? s.stored : 12);
  }

  // Typing or pasting 20 characters leaves 9 in the edit.
  CIndexParamSetDlg typed(&parent_);
  typed.SetTarget(engine_.get(), 4);
  std::string typedText;
  Run(typed, {[&] {
                HWND edit = ::GetDlgItem(typed.m_hWnd, kEdit1);
                ::SetFocus(edit);
                ::SendMessageW(edit, EM_SETSEL, 0, -1);
              },
              [&] { desk_.Type(u"12345678901234567890"); },
              [&] { typedText = Narrow(TextOf(::GetDlgItem(typed.m_hWnd, kEdit1))); },
              [&] { desk_.Key(VK_ESCAPE); }});
  EXPECT_EQ(typedText, "123456789");
}

TEST_F(IndexDialogTest, IndexParamDialogReportsAFailedWriteAndSkipsTheReload) {
  // A folder where the file should be: the write fails.
  ASSERT_TRUE(CreateFolderTree(FilePath()));
  CIndexParamSetDlg dlg(&parent_);
  dlg.SetTarget(engine_.get(), 7);
  Run(dlg, {[&] { ::SetWindowTextW(::GetDlgItem(dlg.m_hWnd, kEdit1), u"33"); }, [&] { ClickItem(dlg, kClose); }});
  ASSERT_EQ(desk_.Boxes().size(), 1u);
  EXPECT_EQ(desk_.Boxes()[0].text, u"\n指标参数保存失败\n");
  EXPECT_EQ(desk_.Boxes()[0].caption, u"提示");
  EXPECT_EQ(Ws(0)->cciN, 33);  // kept for this run
  EXPECT_EQ(Ws(1)->cciN, 14);  // no reload
  EXPECT_FALSE(dlg.m_hWnd && ::IsWindow(dlg.m_hWnd));
}

TEST_F(IndexDialogTest, IndexParamDialogSavesWhileAnotherChartRecalculates) {
  // A chart on workspace 3 recalculated on a worker under its own lock
  // while the dialog stores into workspace 0 under the stock page's lock.
  KFixture other(600, 300);
  SetKLineChartData(other.chart.get(), other.area.get(), Ws(3));
  CriticalSection otherLock, pageLock;
  std::atomic<bool> stop{false};
  std::atomic<int> rounds{0};
  std::thread worker([&] {
    while (!stop.load()) {
      std::lock_guard<CriticalSection> hold(otherLock);
      SetKLineLowerIndicator(other.chart.get(), 1 + rounds % 10);
      CalcKLineIndicators(other.chart.get());
      ++rounds;
    }
  });
  for (int round = 0; round < 3; ++round) {
    CIndexParamSetDlg dlg(&parent_);
    dlg.SetTarget(engine_.get(), round, &pageLock);
    Run(dlg, {[&] {
                desk_.RunUntil([&] { return rounds.load() > 2 * round + 1; }, 20000);
                ::SetWindowTextW(::GetDlgItem(dlg.m_hWnd, kEdit1), u"15");
              },
              [&] { ClickItem(dlg, kClose); }});
  }
  stop = true;
  worker.join();
  EXPECT_EQ(LoadPeriod(Ws(3)->macdShort), 15);
  EXPECT_EQ(LoadPeriod(Ws(3)->kdjN), 15);
  EXPECT_EQ(LoadPeriod(Ws(3)->rsiN1), 15);
}

// ---------------------------------------------------------------------------

class IndexHelpDialogTest : public IndexDialogTest {
 protected:
  void UseHelpFile(const std::string& text) {
    std::ofstream(InstallRoot() + "res/indexhelp.data", std::ios::binary) << text;
    LoadIndexHelp();
  }
  void TearDown() override {
    FreeIndexHelp();
    IndexDialogTest::TearDown();
  }
  // The dialog's caption and text.
  std::pair<std::string, WString> Show(const WCHAR* name, const char* snapshot = nullptr) {
    CIndexHelpDlg dlg(name, &parent_);
    std::pair<std::string, WString> seen;
    Run(dlg, {[&] {
                seen = {Narrow(TextOf(dlg.m_hWnd)), TextOf(::GetDlgItem(dlg.m_hWnd, IDC_INDEX_HELP_TEXT))};
                if (snapshot) desk_.SavePng(dlg.m_hWnd, SnapshotPath(snapshot));
              },
              [&] { ClickItem(dlg, IDCANCEL); }});
    return seen;
  }
};

// The help text without the line breaks the dialog adds for the edit.
std::string Joined(const WString& text) {
  WString out;
  for (WCHAR c : text)
    if (c != u'\r' && c != u'\n') out += c;
  return Narrow(out);
}

TEST_F(IndexHelpDialogTest, IndexHelpDialogShowsTheProjectsTexts) {
  const std::string file = ReadWhole(std::string(ORV_BINARY_DIR) + "/res/indexhelp.data");
  ASSERT_FALSE(file.empty());
  UseHelpFile(file);
  const size_t from = file.find("<MACD>") + 6, to = file.find("</MACD>");
  ASSERT_LT(from, to);
  auto [caption, text] = Show(u"MACD");
  EXPECT_EQ(caption, "MACD");
  EXPECT_EQ(Joined(text), file.substr(from, to - from));
  EXPECT_NE(text.find(u"\r\n"), WString::npos);  // broken into lines that fit the edit
  Show(u"BOLL", "index_help_boll.png");

  auto [unknownCaption, unknownText] = Show(u"OBV");
  EXPECT_EQ(unknownCaption, "OBV");
  EXPECT_TRUE(unknownText.empty());
}

TEST_F(IndexHelpDialogTest, IndexHelpDialogCutsLongTextsOnACharacterBoundary) {
  std::string entry = "A";
  for (int i = 0; i < 500; ++i) entry += "指";  // 1,501 bytes
  UseHelpFile("<LONG>" + entry + "</LONG><MACD>短</MACD>");
  auto [caption, text] = Show(u"LONG");
  EXPECT_EQ(caption, "LONG");
  const std::string shown = Joined(text);
  EXPECT_LE(shown.size(), 1023u);
  EXPECT_EQ(shown, entry.substr(0, 1 + 340 * 3));  // whole characters only
}

}  // namespace
