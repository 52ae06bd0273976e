// The host services against the fake host: the service set, the settings
// and site table, the connection job, the answer steps, the XML adaptor and
// the bounded texts.
#include "addin/plugin/host_services.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "addin/testhost/fake_host.h"
#include "addin/xml_profile.h"

namespace {

using Strings = std::vector<std::string>;

HostServiceSet AttachedSet(FakePort* port) {
  HostServiceSet set;
  set.Attach(port);
  return set;
}

TEST(HostServiceSet, AttachLooksUpFiveServicesInOrder) {
  FakePort port;
  HostServiceSet set;
  set.ownerEntry = 77;
  set.Attach(&port);
  EXPECT_EQ(port.serviceLookups,
            (Strings{"QarnSkinUtility", "QarnGUIUtility", "QarnComm", "QarnGina", "QarnNoteUtility"}));
  EXPECT_EQ(set.port, &port);
  EXPECT_EQ(set.gui, &port.gui);
  EXPECT_EQ(set.comm, &port.comm);
  EXPECT_EQ(set.skin, nullptr);  // the fake offers no skin service
  EXPECT_EQ(set.ownerEntry, 77);

  set.Attach(nullptr);
  EXPECT_EQ(set.port, nullptr);
  EXPECT_EQ(set.gui, nullptr);
  EXPECT_EQ(set.comm, nullptr);
  EXPECT_EQ(set.ownerEntry, 77);
  static_assert(sizeof(HostServiceSet) == 10 * sizeof(void*));
}

TEST(HostServiceSet, MessageBoxWithoutGuiServiceTracesAndAnswersNothing) {
  FakePort port;
  port.withGui = false;
  HostServiceSet set = AttachedSet(&port);
  EXPECT_EQ(HostMessageBox(set, "要不要？", "提示", kBoxQuestion), 0);
  ASSERT_EQ(port.traces.size(), 1u);
  EXPECT_EQ(port.traces[0], "MessageBox: 提示: 要不要？");
  HostServiceSet empty;
  EXPECT_EQ(HostMessageBox(empty, "x", "提示", kBoxNotice), 0);

  port.withGui = true;
  set.Attach(&port);
  port.gui.answers = {IDNO};
  EXPECT_EQ(HostMessageBox(set, "要不要？", "提示", kBoxQuestion), IDNO);
  ASSERT_EQ(port.gui.boxes.size(), 1u);
  EXPECT_EQ(port.gui.boxes[0].caption, "提示");
  EXPECT_EQ(port.gui.boxes[0].flags, 36u);
}

TEST(HostRef, ReleasesOnceUnlessDetached) {
  FakePort port;
  FakeJob* job = port.NewJob(nullptr);
  { JobRef ref(job); }
  EXPECT_EQ(job->releases, 1);
  {
    JobRef ref(job);
    EXPECT_EQ(ref.Detach(), job);
  }
  EXPECT_EQ(job->releases, 1);
  { JobRef none; }
}

TEST(FormatBounded, CutsAndCounts) {
  struct Case {
    const char* name;
    int size;
    const char* text;
    int result;
    const char* written;
  };
  const Case cases[] = {
      {"fits", 32, "abcdefghijklmnopqrst", 20, "abcdefghijklmnopqrst"},
      {"cut to seven", 8, "abcdefghijklmnopqrst", 7, "abcdefg"},
      {"fills exactly", 4, "abcd", 3, "abc"},
      {"one byte", 1, "abc", 0, ""},
      {"cut inside a character", 8, "注册成功", 6, "注册"},
  };
  for (const Case& c : cases) {
    char buffer[40];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(FormatBounded(buffer, c.size, "%s", c.text), c.result) << c.name;
    EXPECT_STREQ(buffer, c.written) << c.name;
  }
  char sentinel[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(FormatBounded(sentinel, 0, "%s", "abc"), 0);
  EXPECT_EQ(FormatBounded(sentinel, -3, "%s", "abc"), 0);
  EXPECT_EQ(sentinel[0], '#');
  char formatted[64];
  EXPECT_EQ(FormatBounded(formatted, sizeof formatted, "注册成功！您注册的用户名是：%s", "wang"), 46);
}

// A temporary current directory with the host's INI files.
class ConnectionSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    previous_ = cwd;
    directory_ = std::filesystem::temp_directory_path() /
                 ("quorath_settings_" + std::to_string(getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(directory_ / "t0002");
    ASSERT_EQ(chdir(directory_.c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(previous_.c_str()), 0);
    std::filesystem::remove_all(directory_);
  }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(directory_ / name) << text;
  }
  // Adds a "Classification" ITEM with qstag and name, and the given sites
  // (name, address, port, host type).
  HXMLNODE AddItem(FakePort* port, const char* qstag, const char* name) {
    ILiteXmlDocument& xml = port->config;
    HXMLNODE classification = xml.FindChild(xml.GetRootElement(), "Classification");
    if (classification == nullptr) classification = xml.AddChild(xml.GetRootElement(), "Classification", 2, 0);
    HXMLNODE item = xml.AddChild(classification, "ITEM", 2, kXmlAlwaysNew);
    if (qstag != nullptr) xml.SetAttribute(item, "qstag", qstag);
    if (name != nullptr) xml.SetAttribute(item, "ClassificationName", name);
    return item;
  }
  void AddSite(FakePort* port, HXMLNODE item, const std::string& name, const char* address, const char* sitePort,
               const char* hostType) {
    ILiteXmlDocument& xml = port->config;
    HXMLNODE sites = xml.FindChild(item, "Site");
    if (sites == nullptr) sites = xml.AddChild(item, "Site", 2, 0);
    HXMLNODE site = xml.AddChild(sites, "ITEM", 2, kXmlAlwaysNew);
    xml.SetAttribute(site, "Name", name.c_str());
    xml.SetAttribute(site, "Address", address);
    xml.SetAttribute(site, "Port", sitePort);
    xml.SetAttribute(site, "HostType", hostType);
  }

  std::string previous_;
  std::filesystem::path directory_;
};

TEST_F(ConnectionSettings, IniValuesAndDefaults) {
  SiteTable table;
  table.primaryHost = 9;
  table.nlb = 9;
  ReadConnectionSettings(&table, nullptr);
  EXPECT_EQ(table.primaryHost, 0);
  EXPECT_EQ(table.nlb, 0);
  EXPECT_EQ(table.siteCount, 0);

  Write("t0002/usercomm.ini", "[WTHOST]\nPrimaryHost=2\n");
  Write("syscomm.ini", "[other]\nNLB=1\n");
  FakePort port;
  ReadConnectionSettings(&table, &port);
  EXPECT_EQ(table.primaryHost, 2);
  EXPECT_EQ(table.nlb, 1);
}

TEST_F(ConnectionSettings, ItemMatchingByNumberAndName) {
  struct Case {
    const char* name;
    const char* qstag;
    const char* classificationName;  // of the host
    int classificationId;
    bool matches;
  };
  const Case cases[] = {
      {"number", "12", "券商", 12, true},
      {"number with tail", "12abc", "券商", 12, true},
      {"leading letter", "x12", "券商", 12, false},
      {"other number", "13", "券商", 12, false},
      {"name", "ABC", "ABC", 0, true},
      {"name against number", "ABC", "XYZ", 12, false},
      {"name is case-sensitive", "abc", "ABC", 0, false},
  };
  for (const Case& c : cases) {
    FakePort port;
    port.classificationName = c.classificationName;
    port.classificationIds[c.classificationName] = c.classificationId;
    HXMLNODE item = AddItem(&port, c.qstag, "找到的");
    AddSite(&port, item, "站点", "10.0.0.1", "7708", "3");
    SiteTable table;
    ReadConnectionSettings(&table, &port);
    EXPECT_EQ(table.classification, c.classificationId) << c.name;
    EXPECT_EQ(table.siteCount, c.matches ? 1 : 0) << c.name;
    EXPECT_STREQ(table.classificationName, c.matches ? "找到的" : "") << c.name;
  }
}

TEST_F(ConnectionSettings, LastNameWinsAndFirstItemWithSitesGivesSites) {
  FakePort port;
  port.classificationIds["Orvenna"] = 7;
  AddItem(&port, "7", "甲");  // matches, no sites
  HXMLNODE second = AddItem(&port, "7", "乙");
  AddSite(&port, second, "二号", "10.0.0.2", "70000", "1");  // port kept in 16 bits
  AddSite(&port, second, std::string(60, 'n'), "10.0.0.3", "7709", "3");
  HXMLNODE third = AddItem(&port, "7", "丙");
  AddSite(&port, third, "三号", "10.0.0.9", "1", "3");
  AddItem(&port, "8", "丁");  // does not match

  SiteTable table;
  ReadConnectionSettings(&table, &port);
  EXPECT_STREQ(table.classificationName, "丙");
  ASSERT_EQ(table.siteCount, 2);
  EXPECT_STREQ(table.sites[0].name, "二号");
  EXPECT_STREQ(table.sites[0].address, "10.0.0.2");
  EXPECT_EQ(table.sites[0].port, static_cast<std::uint16_t>(70000));
  EXPECT_EQ(table.sites[0].hostType, 1);
  EXPECT_EQ(std::string(table.sites[1].name), std::string(49, 'n'));
  EXPECT_EQ(table.sites[1].hostType, 3);
}

TEST_F(ConnectionSettings, NamesCutOnCharactersAndAtMost150Sites) {
  FakePort port;
  port.classificationIds["Orvenna"] = 1;
  HXMLNODE item = AddItem(&port, "1", nullptr);
  std::string wide;
  for (int i = 0; i < 20; ++i) wide += "站";  // 60 bytes
  AddSite(&port, item, wide, "a", "1", "1");
  for (int i = 1; i < 151; ++i) AddSite(&port, item, "s" + std::to_string(i), "a", "1", "1");
  SiteTable table;
  ReadConnectionSettings(&table, &port);
  EXPECT_EQ(table.siteCount, 150);
  EXPECT_EQ(std::strlen(table.sites[0].name), 48u);  // 16 characters of 3 bytes
  EXPECT_STREQ(table.sites[149].name, "s149");
}

TEST_F(ConnectionSettings, MissingXmlObjectGivesNoSites) {
  FakePort port;
  port.noConfigXml = true;
  SiteTable table;
  ReadConnectionSettings(&table, &port);
  EXPECT_EQ(table.siteCount, 0);
  EXPECT_STREQ(table.classificationName, "");
}

SiteTable TableOf(std::vector<int> hostTypes, int primary) {
  SiteTable table;
  table.siteCount = static_cast<int>(hostTypes.size());
  for (std::size_t i = 0; i < hostTypes.size(); ++i) {
    table.sites[i].hostType = hostTypes[i];
    std::snprintf(table.sites[i].name, kSiteTextSize, "site%zu", i);
  }
  table.primaryHost = primary;
  return table;
}

TEST(SelectPrimarySite, Table) {
  struct Case {
    const char* name;
    std::vector<int> hostTypes;
    int primary;
    int selected;
  };
  const Case cases[] = {
      {"primary of type 1 → first type 3", {1, 3, 3}, 0, 1},
      {"primary of type 3", {1, 3, 3}, 2, 2},
      {"beyond the table → first type 3", {1, 3, 3}, 5, 1},
      {"negative → first type 3", {1, 3, 3}, -1, 1},
      {"no type 3, primary kept", {1, 2, 1}, 1, 1},
      {"no type 3, beyond → site 0", {1, 2, 1}, 5, 0},
      {"no site", {}, 0, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(SelectPrimarySite(TableOf(c.hostTypes, c.primary)), c.selected) << c.name;
}

HWND FakeDialog() { return reinterpret_cast<HWND>(0x1234); }

TEST(StartConnectJob, CallsInOrder) {
  FakePort port;
  HostServiceSet set = AttachedSet(&port);
  SiteTable table = TableOf({1, 3}, 0);
  std::strcpy(table.classificationName, "测试");
  table.classification = 12;
  table.nlb = 1;
  std::strcpy(table.sites[0].address, "10.0.0.1");
  table.sites[0].port = 7708;
  std::strcpy(table.sites[1].address, "10.0.0.2");
  table.sites[1].port = 7709;
  ASSERT_TRUE(StartConnectJob(table, set, "wangwu", FakeDialog()));
  EXPECT_EQ(port.comm.calls, Strings{"CreateConnectJob(3,2,0)"});
  ASSERT_EQ(port.comm.jobs.size(), 1u);
  EXPECT_EQ(port.comm.jobs[0]->calls,
            (Strings{"SetClassificationName(测试)", "SetClassification(12,)", "SetNlb(1)", "SelectSite(1)",
                     "AddSite(site0,10.0.0.1,7708,1,0)", "SetSiteHostType(1)", "AddSite(site1,10.0.0.2,7709,1,0)",
                     "SetSiteHostType(3)", "SetTimeout(10000)", "SetUser(0,wangwu,,)", "Start(dlg,dlg,6024,1234,0)",
                     "Release"}));
}

TEST(StartConnectJob, NoSiteSelectsNothingAndMissingServiceStartsNothing) {
  FakePort port;
  HostServiceSet set = AttachedSet(&port);
  SiteTable table;
  ASSERT_TRUE(StartConnectJob(table, set, "u", FakeDialog()));
  for (const std::string& call : port.comm.jobs[0]->calls) EXPECT_EQ(call.find("SelectSite"), std::string::npos);

  port.comm.noJob = true;
  EXPECT_FALSE(StartConnectJob(table, set, "u", FakeDialog()));
  HostServiceSet none;
  EXPECT_FALSE(StartConnectJob(table, none, "u", FakeDialog()));
}

// Records what the answer steps asked of the dialog.
class RecordingSteps : public AccountRequestSteps {
 public:
  void FillRequest(IQarnJob* job) override {
    job->SetField(802, "1", 0);
    job->SetFieldNumber(4231, 6);
  }
  LPARAM FinalCode() override { return kJobCodeRegistered; }
  void ShowSuccess() override { events.push_back("success"); }
  void OnUnknownJob() override { events.push_back("new code"); }
  void OnErrorAnswer() override { events.push_back("error"); }
  void CloseCancelled() override { events.push_back("closed"); }
  Strings events;
};

// Starts a connection; the handle of its answer (delivered by hand).
WPARAM StartAndTakeHandle(FakePort* port, const HostServiceSet& set) {
  SiteTable table;
  StartConnectJob(table, set, "u", FakeDialog());
  return port->lastHandle;
}

TEST(AccountConnection, LinkThenFinalAnswer) {
  FakePort port;
  HostServiceSet set = AttachedSet(&port);
  AccountConnection connection;
  RecordingSteps steps;
  WPARAM handle = StartAndTakeHandle(&port, set);

  connection.OnJobNotify(set, FakeDialog(), handle, kJobCodeConnected, steps);
  FakeClient* client = port.connectionClient;
  ASSERT_EQ(client->createdJobs.size(), 1u);
  FakeJob* request = client->createdJobs[0];
  EXPECT_EQ(request->calls, (Strings{"SetRequestMode(1)", "SetFunction(4230)", "SetField(802,1,0)",
                                     "SetFieldNumber(4231,6)", "Submit(dlg,6024,4280,0)"}));
  EXPECT_EQ(request->releases, 1);
  EXPECT_EQ(connection.Client(), client);
  EXPECT_EQ(client->releases, 0);
  EXPECT_TRUE(steps.events.empty());

  WPARAM finalHandle = port.lastHandle;
  connection.OnJobNotify(set, FakeDialog(), finalHandle, kJobCodeRegistered, steps);
  EXPECT_EQ(steps.events, (Strings{"success", "closed"}));
  EXPECT_EQ(client->disconnects, 1);
  EXPECT_EQ(client->releases, 1);
  EXPECT_EQ(connection.Client(), nullptr);

  // A repeated final answer finds no client and does nothing.
  connection.OnJobNotify(set, FakeDialog(), finalHandle, kJobCodeRegistered, steps);
  EXPECT_EQ(steps.events.size(), 2u);
  EXPECT_EQ(client->disconnects, 1);
}

TEST(AccountConnection, UnknownJobErrorAnswerAndStrayCodes) {
  FakePort port;
  HostServiceSet set = AttachedSet(&port);
  AccountConnection connection;
  RecordingSteps steps;

  connection.OnJobNotify(set, FakeDialog(), 4242, kJobCodeConnected, steps);
  ASSERT_EQ(port.gui.boxes.size(), 1u);
  EXPECT_EQ(port.gui.boxes[0].text, "未知错误");
  EXPECT_EQ(port.gui.boxes[0].caption, "错误");
  EXPECT_EQ(port.gui.boxes[0].flags, 16u);
  EXPECT_EQ(steps.events, Strings{"new code"});

  port.connectAnswer.errorKind = 2;
  port.connectAnswer.errorText = "连接超时";
  WPARAM handle = StartAndTakeHandle(&port, set);
  connection.OnJobNotify(set, FakeDialog(), handle, kJobCodeConnected, steps);
  ASSERT_EQ(port.gui.boxes.size(), 2u);
  EXPECT_EQ(port.gui.boxes[1].text, "连接超时");
  EXPECT_EQ(port.gui.boxes[1].flags, 16u);
  EXPECT_EQ(steps.events, (Strings{"new code", "error"}));
  EXPECT_TRUE(port.connectionClient->createdJobs.empty());

  port.connectAnswer.errorKind = 0;
  handle = StartAndTakeHandle(&port, set);
  connection.OnJobNotify(set, FakeDialog(), handle, 777, steps);  // neither link nor final
  EXPECT_EQ(port.gui.boxes.size(), 2u);
  EXPECT_TRUE(port.connectionClient->createdJobs.empty());

  // A link answer whose client makes no request job lets the user retry.
  port.connectionClient->noRequestJob = true;
  connection.OnJobNotify(set, FakeDialog(), handle, kJobCodeConnected, steps);
  EXPECT_EQ(steps.events.back(), "error");
  EXPECT_EQ(connection.Client(), nullptr);
  EXPECT_EQ(port.connectionClient->releases, port.connectionClient->references);

  HostServiceSet none;
  connection.OnJobNotify(none, FakeDialog(), handle, kJobCodeConnected, steps);  // no port: unknown job
  EXPECT_EQ(steps.events.back(), "new code");
}

TEST(HostXmlDocument, ForwardsToTheHostsObjectAndNeverReleasesIt) {
  LiteXmlDocument host("ROOT");
  {
    HostXmlDocument adaptor(&host);
    XmlProfile profile(&adaptor, 0, 0);
    XmlProfileSection summary = profile.GetRoot().GetChild("Summary", 2);
    EXPECT_EQ(summary.WriteString("QXDM", "5"), 1);
  }
  HXMLNODE summary = host.FindChild(host.GetRootElement(), "Summary");
  ASSERT_NE(summary, nullptr);
  EXPECT_STREQ(host.GetAttributeValue(summary, "QXDM"), "5");

  HostXmlDocument empty(nullptr);  // without a host object: its own empty tree
  XmlProfile profile(&empty, 1, 0);
  char value[8] = "#";
  EXPECT_EQ(profile.GetRoot().GetChild("Summary", 2).ReadString("QXDM", value, sizeof value, "d"), 0);
  EXPECT_STREQ(value, "d");
}

}  // namespace
