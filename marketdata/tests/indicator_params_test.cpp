// The indicator parameter file: the text of WriteIndexParameterXml, the
// reader's conversions and refusals, and loading from the per-user folder.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "foundation/tests/temp_user_folders.h"
#include "foundation/user_folders.h"
#include "marketdata/indicator_params.h"
#include "marketdata/quote_engine.h"
#include "marketdata/tests/engine_test_support.h"
#include "marketdata/tests/indicator_test_support.h"
#include "platform/kernel/kernel_files.h"

namespace {

using indicator_test::Workspace;

const char kDefaultText[] =
    "<IndexParameter><MACD><SHORT>12</SHORT><LONG>26</LONG><MID>9</MID></MACD><KDJ><N>9</N><M1>3</M1><M2>3</M2>"
    "</KDJ><DMA><SHORT>10</SHORT><LONG>50</LONG><M>10</M></DMA><BOLL><N>26</N></BOLL><RSI><N1>6</N1><N2>12</N2>"
    "<N3>24</N3></RSI><WR><N>14</N><N1>28</N1></WR><CCI><N>14</N></CCI><ARBR><N>26</N></ARBR><PSY><N>12</N></PSY>"
    "</IndexParameter>";

std::string Text(const IndicatorWorkspace* ws) {
  char buffer[kIndexParameterTextRoom];
  std::memset(buffer, 'z', sizeof buffer);
  const int length = WriteIndexParameterXml(ws, buffer, sizeof buffer);
  EXPECT_EQ(static_cast<size_t>(length), std::strlen(buffer));
  return buffer;
}

TEST(IndicatorParams, DefaultsFormatTo337CharactersAndReadBackUnchanged) {
  Workspace ws(CreateIndicatorWorkspace());
  const std::string text = Text(ws.get());
  EXPECT_EQ(337u, text.size());
  EXPECT_EQ(kDefaultText, text);
  Workspace copy(CreateIndicatorWorkspace());
  ReadIndexParameterXml(text.c_str(), copy.get());
  EXPECT_EQ(0, std::memcmp(ws.get(), copy.get(), sizeof(IndicatorWorkspace)));
}

TEST(IndicatorParams, EditedValuesRoundTripAndTheLongestTextFits) {
  Workspace ws(CreateIndicatorWorkspace());
  ws->macdShort = 5;
  ws->wrN1 = 99;
  ws->brarN = 31;
  Workspace read(CreateIndicatorWorkspace());
  ReadIndexParameterXml(Text(ws.get()).c_str(), read.get());
  EXPECT_EQ(5, read->macdShort);
  EXPECT_EQ(99, read->wrN1);
  EXPECT_EQ(31, read->brarN);

  for (int32_t* p : {&ws->macdShort, &ws->macdLong, &ws->macdMid, &ws->kdjN, &ws->kdjM1, &ws->kdjM2, &ws->dmaShort,
                     &ws->dmaLong, &ws->dmaM, &ws->bollN, &ws->rsiN1, &ws->rsiN2, &ws->rsiN3, &ws->wrN, &ws->wrN1,
                     &ws->cciN, &ws->brarN, &ws->psyN})
    *p = INT32_MIN;
  EXPECT_EQ(504u, Text(ws.get()).size());

  char small[kIndexParameterTextRoom - 1];
  std::memset(small, 'z', sizeof small);
  EXPECT_EQ(-1, WriteIndexParameterXml(ws.get(), small, sizeof small));
  EXPECT_EQ('\0', small[0]);
}

TEST(IndicatorParams, ElementOrderAndExtraElementsDoNotMatter) {
  const char* text =
      "<IndexParameter><PSY><N>20</N></PSY><Extra><N>1</N></Extra><ARBR><N>21</N></ARBR><CCI><N>22</N></CCI>"
      "<WR><N1>24</N1><N>23</N></WR><RSI><N3>27</N3><N2>26</N2><N1>25</N1></RSI><BOLL><N>28</N><X>3</X></BOLL>"
      "<DMA><M>31</M><LONG>30</LONG><SHORT>29</SHORT></DMA><KDJ><M2>34</M2><M1>33</M1><N>32</N></KDJ>"
      "<MACD><MID>37</MID><LONG>36</LONG><SHORT>35</SHORT></MACD></IndexParameter>";
  Workspace ws(CreateIndicatorWorkspace());
  ReadIndexParameterXml(text, ws.get());
  EXPECT_EQ(20, ws->psyN);
  EXPECT_EQ(21, ws->brarN);
  EXPECT_EQ(22, ws->cciN);
  EXPECT_EQ(23, ws->wrN);
  EXPECT_EQ(24, ws->wrN1);
  EXPECT_EQ(25, ws->rsiN1);
  EXPECT_EQ(26, ws->rsiN2);
  EXPECT_EQ(27, ws->rsiN3);
  EXPECT_EQ(28, ws->bollN);
  EXPECT_EQ(2, ws->bollWidth);  // not carried by the file
  EXPECT_EQ(29, ws->dmaShort);
  EXPECT_EQ(30, ws->dmaLong);
  EXPECT_EQ(31, ws->dmaM);
  EXPECT_EQ(32, ws->kdjN);
  EXPECT_EQ(33, ws->kdjM1);
  EXPECT_EQ(34, ws->kdjM2);
  EXPECT_EQ(35, ws->macdShort);
  EXPECT_EQ(36, ws->macdLong);
  EXPECT_EQ(37, ws->macdMid);
}

TEST(IndicatorParams, ValueConversionAndRefusedValues) {
  struct Case {
    const char* name;
    const char* value;  // text of <PSY><N>
    int32_t expected;   // the workspace holds 12 before
  };
  const Case cases[] = {
      {"leading blank", " 7", 7},
      {"trailing letters", "7x", 7},
      {"plus sign", "+8", 8},
      {"no digits keeps the value", "x7", 12},  // on purpose: 0 is no period
      {"zero keeps the value", "0", 12},
      {"negative keeps the value", "-3", 12},
      {"beyond 32 bits is clamped", "99999999999", INT32_MAX},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Workspace ws(CreateIndicatorWorkspace());
    const std::string text = std::string("<IndexParameter><PSY><N>") + c.value + "</N></PSY></IndexParameter>";
    ReadIndexParameterXml(text.c_str(), ws.get());
    EXPECT_EQ(c.expected, ws->psyN);
    EXPECT_EQ(12, ws->macdShort);  // missing elements keep their values
  }
}

TEST(IndicatorParams, MissingElementsAndUnreadableTextsChangeNothing) {
  const char* texts[] = {
      nullptr,
      "",
      "not xml at all",
      "<IndexParameter><MACD><SHORT></SHORT><LONG/></MACD><KDJ></KDJ></IndexParameter>",
      "<IndexParameter></IndexParameter>",
  };
  Workspace reference(CreateIndicatorWorkspace());
  reference->macdShort = 3;
  reference->kdjN = 4;
  for (const char* text : texts) {
    SCOPED_TRACE(text ? text : "null");
    Workspace ws(CreateIndicatorWorkspace());
    ws->macdShort = 3;
    ws->kdjN = 4;
    ReadIndexParameterXml(text, ws.get());
    EXPECT_EQ(0, std::memcmp(reference.get(), ws.get(), sizeof(IndicatorWorkspace)));
  }
}

class IndicatorParamsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    folders_ = std::make_unique<TempUserFolders>("indparams");
    ASSERT_TRUE(folders_->Ok());
    top_ = folders_->Top();
    InitAppFolders();
  }
  void TearDown() override {
    folders_.reset();
  }
  std::unique_ptr<TempUserFolders> folders_;
  std::string top_;
};

TEST_F(IndicatorParamsFile, MissingFileChangesNothingAndASavedFileReachesEveryWorkspace) {
  Workspace a(CreateIndicatorWorkspace()), b(CreateIndicatorWorkspace());
  a->cciN = 5;
  IndicatorWorkspace* all[] = {a.get(), nullptr, b.get()};
  EXPECT_EQ(0, LoadIndexParameterFile(all, 3));
  EXPECT_EQ(5, a->cciN);
  EXPECT_EQ(14, b->cciN);

  // The dialog's save: edit one workspace, write its text, reload all.
  a->kdjN = 21;
  char text[kIndexParameterTextRoom];
  const int length = WriteIndexParameterXml(a.get(), text, sizeof text);
  ASSERT_TRUE(WriteDataFile(kIndexParameterFile, text, length));
  EXPECT_EQ(1, LoadIndexParameterFile(all, 3));
  EXPECT_EQ(21, b->kdjN);
  EXPECT_EQ(5, b->cciN);
}

}  // namespace

// The engine's nine workspaces: read at creation, reloaded after a save.
namespace {

class IndicatorParamsEngine : public engine_test::EngineFixture {
 protected:
  void BeforeEngine() override {
    const char text[] = "<IndexParameter><KDJ><N>21</N></KDJ><PSY><N>6</N></PSY></IndexParameter>";
    ASSERT_TRUE(WriteDataFile(kIndexParameterFile, text, static_cast<int>(sizeof text - 1)));
  }
};

TEST_F(IndicatorParamsEngine, NineWorkspacesReadTheFileAndReloadWithoutItChangesNothing) {
  for (IndicatorWorkspace* ws : engine->workspaces) {
    ASSERT_NE(nullptr, ws);
    EXPECT_EQ(21, ws->kdjN);
    EXPECT_EQ(6, ws->psyN);
    EXPECT_EQ(12, ws->macdShort);
  }
  engine->workspaces[4]->cciN = 30;
  DeleteDataFile(kIndexParameterFile);
  ReloadIndexParameters(engine);
  EXPECT_EQ(30, engine->workspaces[4]->cciN);
  EXPECT_EQ(21, engine->workspaces[0]->kdjN);

  const char edited[] = "<IndexParameter><CCI><N>9</N></CCI></IndexParameter>";
  ASSERT_TRUE(WriteDataFile(kIndexParameterFile, edited, static_cast<int>(sizeof edited - 1)));
  ReloadIndexParameters(engine);
  for (IndicatorWorkspace* ws : engine->workspaces) EXPECT_EQ(9, ws->cciN);
}

}  // namespace
