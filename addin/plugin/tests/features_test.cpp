// The feature objects against the fake host: the value feature's slots and
// the login extension's steps before the login and after its answer.
#include "addin/plugin/features.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addin/testhost/fake_host.h"
#include "addin/xml_profile.h"
#include "platform/kernel/kernel_utf.h"
#include "tokenstore/data_saver.h"

namespace {

using Strings = std::vector<std::string>;

// Records every SetToken; answers with result.
class RecordingSaver final : public IDataSaver {
 public:
  struct Call {
    long long code;
    long userType;
    std::u16string token;
  };
  HRESULT QueryInterface(REFIID, void** object) override {
    if (object != nullptr) *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT SetToken(LONGLONG code, LONG userType, BSTR token) override {
    calls.push_back(Call{code, userType, token != nullptr ? std::u16string(token) : u""});
    return result;
  }
  HRESULT GetToken(LONGLONG, LONG*, BSTR*) override { return E_NOTIMPL; }
  HRESULT SetActiveUser(LONGLONG) override { return E_NOTIMPL; }
  HRESULT GetActiveUser(LONGLONG*, LONG*, BSTR*) override { return E_NOTIMPL; }
  HRESULT GetNextUser(LONG*, LONGLONG*, LONG*, BSTR*) override { return E_NOTIMPL; }

  std::vector<Call> calls;
  HRESULT result = S_OK;
};

TEST(CGetSafeCom, SlotsOfTheValueFeature) {
  FakePort port;
  FeatureObject* object = kGetSafeComClass.create();
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->GetClassRecord(), &kGetSafeComClass);
  EXPECT_STREQ(kGetSafeComClass.className, "CGetSafeCom");
  EXPECT_EQ(kGetSafeComClass.flags, 0);
  auto* feature = static_cast<IValueFeature*>(object->GetInterface());
  EXPECT_EQ(feature->GetOwner(), object);
  object->services.ownerEntry = 41;
  EXPECT_EQ(feature->GetValue(), 41);
  feature->SetValue(99);
  EXPECT_EQ(object->services.ownerEntry, 99);
  EXPECT_EQ(feature->QueryFeature(0), feature);
  EXPECT_EQ(feature->QueryFeature(1), nullptr);
  EXPECT_EQ(feature->AttachHost(&port), 1);
  EXPECT_EQ(object->services.gui, &port.gui);
  EXPECT_EQ(feature->AttachHost(nullptr), 1);
  EXPECT_EQ(object->services.port, nullptr);
  feature->Idle1();
  feature->Idle18(1, 2);
  EXPECT_EQ(feature->Idle19(1, 2, 3, 4, 5), 0);
  feature->Release();  // deletes the object (ASan checks it is freed once)
}

// A login job of the fake host, owned by a scripted client.
struct Login {
  FakePort port;
  FakeClient* client = port.NewClient();
  FakeJob* job = port.NewJob(client);
  RecordingSaver saver;
  IDataSaver* saverRef = &saver;
  CGinaExtentAuth* auth = static_cast<CGinaExtentAuth*>(kGinaExtentAuthClass.create());

  Login() {
    auth->services.Attach(&port);
    auth->dataSaverRef = &saverRef;
    client->account = "880001234";
    client->customerCode = "12345678901";
    job->origin = &port;
    job->originCode = 7;
  }
  ~Login() { auth->Release(); }
  // Sets "section" attribute key = value in the client's settings.
  void Setting(const char* section, const char* key, const char* value) {
    ILiteXmlDocument& xml = client->config;
    HXMLNODE node = xml.FindChild(xml.GetRootElement(), section);
    if (node == nullptr) node = xml.AddChild(xml.GetRootElement(), section, 2, 0);
    xml.SetAttribute(node, key, value);
  }
  void Server(const char* supported, const char* hasScntr) {
    Setting("ServerStatus", "ScntrSupported", supported);
    Setting("ServerOption", "IsHasScntr", hasScntr);
  }
  const CallLog* Request() const { return client->createdJobs.empty() ? nullptr : &client->createdJobs[0]->calls; }
};

TEST(CGinaExtentAuth, BeforeLoginTable) {
  struct Case {
    const char* name;
    int loginType;
    int mode;
    int phase;
    const char* supported;
    const char* hasScntr;
    int result;
    const char* field4225;  // null: no request sent
  };
  const Case cases[] = {
      {"type 29 sends 7", 29, 0, 0, "1", "YES", 1, "7"},
      {"type 28 sends 1", 28, 0, 0, "true", "1", 1, "1"},
      {"type 28, not supported", 28, 0, 0, "0", "1", 0, nullptr},
      {"type 28, no Scntr", 28, 0, 0, "1", "no", 0, nullptr},
      {"mode 3", 29, 3, 0, "1", "1", 0, nullptr},
      {"phase 2", 29, 0, 2, "1", "1", 0, nullptr},
      {"type in the high byte", 29 + 256, 0, 0, "1", "TRUE", 1, "7"},
  };
  for (const Case& c : cases) {
    Login login;
    login.client->loginType = c.loginType;
    login.client->mode = c.mode;
    login.client->phase = c.phase;
    login.Server(c.supported, c.hasScntr);
    EXPECT_EQ(login.auth->OnBeforeLogin(login.job), c.result) << c.name;
    EXPECT_TRUE(login.saver.calls.empty()) << c.name;
    EXPECT_EQ(login.client->releases, login.client->references) << c.name;
    if (c.field4225 == nullptr) {
      if (login.Request() != nullptr) {
        EXPECT_TRUE(login.Request()->empty()) << c.name;
      }
      continue;
    }
    ASSERT_NE(login.Request(), nullptr) << c.name;
    EXPECT_EQ(*login.Request(), (Strings{"SetRequestMode(1)", "SetFunction(4230)", "SetField(802,(null),0)",
                                         "SetField(803,880001234,1)",
                                         std::string("SetField(4225,") + c.field4225 + ",0)", "Submit(0,0,0,0)"}))
        << c.name;
    EXPECT_EQ(login.client->createdJobs[0]->origin, &login.port) << c.name;
    EXPECT_EQ(login.client->createdJobs[0]->originCode, 7) << c.name;
    EXPECT_EQ(login.client->createdJobs[0]->releases, 1) << c.name;
  }
}

TEST(CGinaExtentAuth, BeforeLoginWithoutHostObjects) {
  Login noOwner;
  noOwner.job->noOwner = true;
  EXPECT_EQ(noOwner.auth->OnBeforeLogin(noOwner.job), 0);
  EXPECT_EQ(noOwner.auth->OnBeforeLogin(nullptr), 0);

  Login noClient;
  FakeJob* orphan = noClient.port.NewJob(nullptr);
  EXPECT_EQ(noClient.auth->OnBeforeLogin(orphan), 0);

  Login noRequest;
  noRequest.client->loginType = 28;
  noRequest.client->noRequestJob = true;
  EXPECT_EQ(noRequest.auth->OnBeforeLogin(noRequest.job), -1);
  EXPECT_EQ(noRequest.job->calls, Strings{"Fail(-10000,作业句柄无效)"});
  EXPECT_EQ(noRequest.client->releases, noRequest.client->references);

  Login noXml;
  noXml.client->loginType = 29;
  noXml.client->noConfigXml = true;
  EXPECT_EQ(noXml.auth->OnBeforeLogin(noXml.job), 0);
}

TEST(CGinaExtentAuth, BeforeLoginOfOtherTypesHandsTheUidValueOver) {
  Login login;
  login.client->loginType = 30;
  login.Setting("UID", "F1264", "令牌-uid");
  EXPECT_EQ(login.auth->OnBeforeLogin(login.job), 0);
  ASSERT_EQ(login.saver.calls.size(), 1u);
  EXPECT_EQ(login.saver.calls[0].code, 12345678901LL);
  EXPECT_EQ(login.saver.calls[0].userType, 0);
  EXPECT_EQ(login.saver.calls[0].token, u"令牌-uid");
  EXPECT_EQ(login.client->createdJobs[0]->releases, 1);
  EXPECT_TRUE(login.client->createdJobs[0]->calls.empty());
  EXPECT_TRUE(login.port.traces.empty());

  // No data saver: the trace, and the login goes on.
  login.saverRef = nullptr;
  EXPECT_EQ(login.auth->OnBeforeLogin(login.job), 0);
  EXPECT_EQ(login.port.traces, Strings{"TokenFaild"});
  // A failing store is traced the same way; an empty value is an empty token.
  Login failing;
  failing.client->loginType = 31;
  failing.saver.result = E_FAIL;
  EXPECT_EQ(failing.auth->OnBeforeLogin(failing.job), 0);
  ASSERT_EQ(failing.saver.calls.size(), 1u);
  EXPECT_EQ(failing.saver.calls[0].token, u"");
  EXPECT_EQ(failing.port.traces, Strings{"TokenFaild"});
}

// The answer reference of the fake host.
class AnswerRef final : public IQarnAnswerRef {
 public:
  explicit AnswerRef(IQarnJob* job) : job_(job) {}
  IQarnJob* GetJob() override { return job_; }

 private:
  IQarnJob* job_;
};

TEST(CGinaExtentAuth, SuccessfulAnswerWritesTheSummaryAndHandsTheTokenOver) {
  struct Case {
    const char* name;
    int loginType;
    const char* qxdm;
    long userType;
    bool written;
  };
  const Case cases[] = {
      {"type 29", 29, "5", 2, true},
      {"type 28", 28, "12", 1, true},
      {"type 30", 30, "5", 0, true},
      {"zero code", 29, "0", 2, false},
  };
  for (const Case& c : cases) {
    Login login;
    login.client->loginType = c.loginType;
    FakeJob* answer = login.port.NewJob(login.client);
    answer->rows = {{{807, c.qxdm}, {825, "TOKEN-ABC"}, {809, "600123"}}};
    AnswerRef ref(answer);
    EXPECT_EQ(login.auth->OnLoginAnswer(login.job, &ref), 0) << c.name;
    EXPECT_EQ(login.port.traces, Strings{std::string("QXDM: ") + c.qxdm + "\r\n"}) << c.name;
    HXMLNODE summary = login.client->config.FindChild(login.client->config.GetRootElement(), "Summary");
    ASSERT_NE(summary, nullptr) << c.name;
    const char* written = login.client->config.GetAttributeValue(summary, "QXDM");
    EXPECT_EQ(std::string(written != nullptr ? written : ""), c.written ? c.qxdm : "") << c.name;
    ASSERT_EQ(login.saver.calls.size(), 1u) << c.name;
    EXPECT_EQ(login.saver.calls[0].code, 600123) << c.name;
    EXPECT_EQ(login.saver.calls[0].userType, c.userType) << c.name;
    EXPECT_EQ(login.saver.calls[0].token, u"TOKEN-ABC") << c.name;
    EXPECT_EQ(answer->releases, 1) << c.name;
    EXPECT_EQ(login.client->releases, login.client->references) << c.name;
    EXPECT_TRUE(login.job->calls.empty()) << c.name;
  }
}

TEST(CGinaExtentAuth, AnswerWithoutRowsOrStoreGoesOn) {
  Login empty;
  empty.client->loginType = 29;
  FakeJob* noRows = empty.port.NewJob(empty.client);
  AnswerRef ref(noRows);
  EXPECT_EQ(empty.auth->OnLoginAnswer(empty.job, &ref), 0);
  EXPECT_TRUE(empty.saver.calls.empty());

  Login noStore;
  noStore.saverRef = nullptr;
  noStore.client->loginType = 29;
  FakeJob* answer = noStore.port.NewJob(noStore.client);
  answer->rows = {{{807, "3"}, {825, "T"}, {809, "1"}}};
  AnswerRef withRows(answer);
  EXPECT_EQ(noStore.auth->OnLoginAnswer(noStore.job, &withRows), 0);
  EXPECT_EQ(noStore.port.traces, (Strings{"QXDM: 3\r\n", "SetToken Faild"}));
}

TEST(CGinaExtentAuth, AnswerFailures) {
  Login login;
  AnswerRef none(nullptr);
  EXPECT_EQ(login.auth->OnLoginAnswer(login.job, &none), -1);
  EXPECT_EQ(login.auth->OnLoginAnswer(login.job, nullptr), -1);
  FakeJob* orphan = login.port.NewJob(nullptr);
  AnswerRef orphanRef(orphan);
  EXPECT_EQ(login.auth->OnLoginAnswer(login.job, &orphanRef), -1);
  EXPECT_EQ(orphan->releases, 1);
  EXPECT_EQ(login.job->calls, (Strings{"Fail(-10000,CA校验作业无效)", "Fail(-10000,CA校验作业无效)",
                                       "Fail(-10000,CA校验作业无效)"}));
  EXPECT_EQ(login.auth->OnLoginAnswer(nullptr, &none), -1);
}

TEST(CGinaExtentAuth, ErrorAnswersPassedOnOrDropped) {
  struct Case {
    const char* name;
    int loginType;
    int errCtlOn;
    int kind;
    int code;
    int result;
  };
  const Case cases[] = {
      {"type 33 passed on", 33, 1, 6, -7, -1},
      {"type 31 dropped", 31, 1, 6, -7, 0},
      {"kind 4, code -10013 dropped", 31, 1, 4, -10013, 0},
      {"code -6 dropped", 30, 1, 4, -6, 0},
      {"control off", 31, 0, 6, -7, -1},
      {"other kind", 31, 1, 5, -7, -1},
      {"other code", 31, 1, 6, -8, -1},
      {"type 29 never dropped", 29, 1, 6, -7, -1},
      {"type 36 never dropped", 36, 1, 6, -7, -1},
  };
  for (const Case& c : cases) {
    Login login;
    login.client->loginType = c.loginType;
    login.auth->scntrErrCtlOn = c.errCtlOn;
    FakeJob* answer = login.port.NewJob(login.client);
    answer->errorKind = c.kind;
    answer->errorCode = c.code;
    AnswerRef ref(answer);
    EXPECT_EQ(login.auth->OnLoginAnswer(login.job, &ref), c.result) << c.name;
    EXPECT_EQ(login.job->calls, c.result == -1 ? Strings{"TakeAnswer(job)"} : Strings{}) << c.name;
    EXPECT_EQ(answer->releases, 1) << c.name;
    EXPECT_TRUE(login.saver.calls.empty()) << c.name;
  }
}

TEST(CGinaExtentAuth, FlagsComeFromTheLastLoginOfType28Or29) {
  Login login;
  login.client->loginType = 29;
  login.Server("1", "1");
  login.Setting("ServerStatus", "ScntrErrCtlOn", "YES");
  login.auth->OnBeforeLogin(login.job);
  EXPECT_EQ(login.auth->scntrErrCtlOn, 1);
  login.client->loginType = 31;
  login.Setting("ServerStatus", "ScntrErrCtlOn", "0");
  login.auth->OnBeforeLogin(login.job);
  EXPECT_EQ(login.auth->scntrErrCtlOn, 1);  // other types read nothing
}

}  // namespace
