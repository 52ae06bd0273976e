// The ex-rights dialog: the line of an event, the lines in list order in
// the sorted list box, an empty list, and the ways it ends.
#include "stockpage/exdivi_dialog.h"
#include "stockpage/tests/panels_test_support.h"

using namespace board_test;

namespace {

ExRightsRecord Event(int32_t date, float dividend, float rights, float rightsPrice, float bonus, float transfer) {
  ExRightsRecord e{};
  e.date = date;
  e.cashDividend = dividend;
  e.rightsShares = rights;
  e.rightsPrice = rightsPrice;
  e.bonusShares = bonus;
  e.transferredShares = transfer;
  return e;
}

TEST(ExRightsLines, PartsInTheirOrder) {
  const struct {
    const char* name;
    ExRightsRecord event;
    const char* line;
  } cases[] = {
      {"dividend and bonus", Event(20120615, 0.15f, 0, 0, 0.5f, 0), "2012-06-15(每十股 红利1.50元 送股5.00股)"},
      {"nothing positive", Event(20120615, 0, 0, 0, 0, 0), "2012-06-15(每十股)"},
      {"negative parts are left out", Event(20120615, -1, -0.3f, -8, -1, -1), "2012-06-15(每十股)"},
      {"rights ratio before its price", Event(19990301, 0, 0.3f, 8.5f, 0, 0), "1999-03-01(每十股 配股3.00股 配股价8.50元)"},
      {"all five", Event(20230707, 0.2f, 0.1f, 5.25f, 0.3f, 0.4f),
       "2023-07-07(每十股 红利2.00元 配股1.00股 配股价5.25元 送股3.00股 转赠4.00股)"},
      {"date out of range", Event(-1, 0, 0, 0, 0, 0), "0000-00--1(每十股)"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExRightsLine(c.event), c.line) << c.name;
}

class ExRightsDialog : public testing::Test {
 protected:
  void SetUp() override {
    desk = std::make_unique<TestDesktop>();
    UseProgramFonts();
  }
  // Runs the dialog; inside it reads every line by index, then ends it
  // with end(dialog).
  INT_PTR Run(const ExRightsArea* list, std::vector<std::u16string>* lines,
              const std::function<void(HWND)>& end) {
    CExdiviDlg dialog;
    dialog.SetExRightsList(list);
    desk->Until([] { return ::FindWindowW(nullptr, u"权息资料") != nullptr; });
    desk->Then([&] {
      HWND box = ::FindWindowW(nullptr, u"权息资料");
      HWND listBox = ::GetDlgItem(box, IDC_EXDIVI_LIST);
      EXPECT_TRUE(::GetWindowLongPtrW(listBox, GWL_STYLE) & LBS_SORT);
      const int count = static_cast<int>(::SendMessageW(listBox, LB_GETCOUNT, 0, 0));
      for (int i = 0; i < count; ++i) {
        WCHAR text[256] = {};
        ::SendMessageW(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        lines->push_back(text);
      }
      end(box);
    });
    return dialog.DoModal();
  }
  std::unique_ptr<TestDesktop> desk;
};

TEST_F(ExRightsDialog, LinesKeepTheListOrderAndEscEnds) {
  ExRightsArea area;
  area.count = 3;
  area.records = new ExRightsRecord[3];
  area.records[0] = Event(20230707, 0.2f, 0, 0, 0, 0);
  area.records[1] = Event(20120615, 0, 0, 0, 0.5f, 0);
  area.records[2] = Event(20150101, 0, 0, 0, 0, 0.4f);
  std::vector<std::u16string> lines;
  const INT_PTR result = Run(&area, &lines, [&](HWND) { desk->Key(VK_ESCAPE); });
  EXPECT_EQ(result, IDCANCEL);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(Utf8(lines[0]), "2023-07-07(每十股 红利2.00元)");
  EXPECT_EQ(Utf8(lines[1]), "2012-06-15(每十股 送股5.00股)");
  EXPECT_EQ(Utf8(lines[2]), "2015-01-01(每十股 转赠4.00股)");
}

TEST_F(ExRightsDialog, EmptyListsAndTheCloseButton) {
  std::vector<std::u16string> lines;
  INT_PTR result = Run(nullptr, &lines, [](HWND box) {
    ::SendMessageW(::GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_TRUE(lines.empty());

  ExRightsArea none;  // count 0, no records
  result = Run(&none, &lines, [&](HWND) { desk->Key(VK_ESCAPE); });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_TRUE(lines.empty());

  result = Run(&none, &lines, [](HWND box) { ::PostMessageW(box, WM_CLOSE, 0, 0); });
  EXPECT_EQ(result, IDCANCEL) << "the close box";

  ExRightsArea hostile;  // a negative count
  hostile.count = -5;
  hostile.records = new ExRightsRecord[1];
  result = Run(&hostile, &lines, [&](HWND) { desk->Key(VK_ESCAPE); });
  EXPECT_TRUE(lines.empty());
}

TEST_F(ExRightsDialog, TheListIsACopy) {
  ExRightsArea area;
  area.count = 1;
  area.records = new ExRightsRecord[1];
  area.records[0] = Event(20230707, 0.2f, 0, 0, 0, 0);
  CExdiviDlg dialog;
  dialog.SetExRightsList(&area);
  delete[] area.records;  // the engine decodes the next reply
  area.records = nullptr;
  area.count = 0;
  std::u16string first;
  desk->Until([] { return ::FindWindowW(nullptr, u"权息资料") != nullptr; });
  desk->Then([&] {
    HWND listBox = ::GetDlgItem(::FindWindowW(nullptr, u"权息资料"), IDC_EXDIVI_LIST);
    WCHAR text[256] = {};
    ::SendMessageW(listBox, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text));
    first = text;
    desk->Key(VK_ESCAPE);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(Utf8(first), "2023-07-07(每十股 红利2.00元)");
}

}  // namespace
