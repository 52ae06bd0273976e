// The services as the terminal meets them: a program folder seeded with the
// committed demo files, and every request made through the terminal's own
// HTTP client (socket path) or the system stack (libcurl), the replies read
// with the terminal's own readers, ciphers and gzip inflater.
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "foundation/blowfish.h"
#include "foundation/board_config.h"
#include "foundation/config_store.h"
#include "foundation/gzip_inflate.h"
#include "foundation/http_request.h"
#include "foundation/json_reader.h"
#include "foundation/rsa.h"
#include "foundation/server_directory.h"
#include "foundation/string_helpers.h"
#include "foundation/system_http.h"
#include "foundation/transport_timing.h"
#include "foundation/user_folders.h"
#include "foundation/xml_reader.h"
#include "platform/kernel/kernel_files.h"
#include "tools/simbroker/http/sim_crypto.h"
#include "tools/simbroker/http/tests/sim_http_test_support.h"

using namespace simhttp;

namespace {

// One request's final report.
struct Outcome {
  std::mutex lock;
  std::condition_variable done;
  bool finished = false;
  int status = -1;
  std::string body;

  static void OnReply(HttpRequest*, void* user, const char* body, int length, int status) {
    if (status == kHttpProgress) return;
    auto* o = static_cast<Outcome*>(user);
    std::lock_guard<std::mutex> g(o->lock);
    o->status = status;
    if (body != nullptr) o->body.assign(body, size_t(length));
    o->finished = true;
    o->done.notify_all();
  }
  bool Wait(int ms = 10000) {
    std::unique_lock<std::mutex> g(lock);
    return done.wait_for(g, std::chrono::milliseconds(ms), [this] { return finished; });
  }
};

Outcome* Socket(const std::string& address, const std::string& body = "") {
  auto* o = new Outcome;
  StartHttpRequest(address.c_str(), body.empty() ? nullptr : body.c_str(), int(body.size()), "",
                   Outcome::OnReply, o);
  return o;
}

Outcome* System(const std::string& address, const std::string& body = "") {
  auto* o = new Outcome;
  StartWinInetRequest(address.c_str(), nullptr, body.empty() ? nullptr : body.c_str(), int(body.size()), "",
                      Outcome::OnReply, o);
  return o;
}

// Waits for the request and hands back its status and body.
std::pair<int, std::string> Finish(Outcome* o) {
  std::unique_ptr<Outcome> owned(o);
  EXPECT_TRUE(o->Wait());
  std::lock_guard<std::mutex> g(o->lock);
  return {o->status, o->body};
}

std::string Chosen(const char* service) {
  char* address = ChooseServer(service, 0);
  std::string text = address != nullptr ? address : "";
  free(address);
  return text;
}

// The text of a JSON member path ("user", "id"), or "<none>".
std::string JsonText(JsonNode* root, std::initializer_list<const char*> path) {
  JsonNode* node = root;
  for (const char* label : path) {
    JsonNode* found = FindJsonLabel(node, label);
    if (found == nullptr || found->firstChild == nullptr) return "<none>";
    node = found->firstChild;
  }
  return node->text != nullptr ? node->text : "<none>";
}

std::string Unpacked(const std::string& body) {
  int size = GzipUnpackedSize(reinterpret_cast<const BYTE*>(body.data()), int(body.size()));
  if (size <= 0) return body;
  std::string out(size_t(size) + 8, '\0');
  GzipInflate(reinterpret_cast<const BYTE*>(body.data()), int(body.size()), reinterpret_cast<BYTE*>(&out[0]));
  out.resize(size_t(size));
  return out;
}

class SimHttpClientChain : public SimHttpFixture {
 protected:
  void SetUp() override {
    SimHttpFixture::SetUp();
    char pattern[] = "/tmp/orv-simhttp-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    top_ = pattern;
    std::filesystem::create_directories(top_ + "/program");
    std::filesystem::create_directories(top_ + "/appdata");
    std::filesystem::copy(std::string(ORV_SOURCE_DIR) + "/res", top_ + "/program/res",
                          std::filesystem::copy_options::recursive);
    SetInstallFolderForTesting(top_ + "/program/");
    SetAppDataFolderForTesting(top_ + "/appdata/");
    InitAppFolders();
    LoadConfig();
    LoadServerList();
    LoadBoardConfig();
    TransportTimings timings = GetTransportTimings();
    saved_ = timings;
    timings.httpTimeoutMs = 700;
    timings.systemHttpTimeoutMs = 700;
    SetTransportTimings(timings);
  }
  void TearDown() override {
    SetTransportTimings(saved_);
    FreeServerList();
    FreeBoardConfig();
    SetInstallFolderForTesting("");
    SetAppDataFolderForTesting("");
    std::filesystem::remove_all(top_);
    SimHttpFixture::TearDown();
  }

  // The server-list request and reply handling of the login dialog, against
  // `site`; returns the body as received.
  std::string RequestServerList(int site) {
    std::string body = std::string("ver=tq_winpc_tqx1_1.0.0.1_016&SevLstVer=") + GetConfig("SevLstVer") +
                       "&CodeVer=" + GetConfig("CodeVer") + "&custom=1234";
    auto [status, reply] = Finish(Socket(server_->BaseUrl(site) + "/v2bin", body));
    EXPECT_EQ(kHttpCompleted, status);
    return reply;
  }

  // Stores the directory of a server-list reply as res\server.data and
  // reloads it, as the login dialog does after a good reply.
  void StoreServerList(const std::string& reply) {
    std::string body = Unpacked(reply);
    char* ctrl = ExtractXmlTagText(body.c_str(), "Ctrl");
    ASSERT_NE(nullptr, ctrl);
    char* list = ExtractXmlTagText(ctrl, "PCSevList");
    free(ctrl);
    ASSERT_NE(nullptr, list);
    ASSERT_TRUE(WriteDataFile("res\\server.data", list, int(strlen(list))));
    free(list);
    LoadServerList();
  }

  std::string top_;
  TransportTimings saved_;
};

TEST_F(SimHttpClientChain, SeededFolderReadsBack) {
  EXPECT_STREQ("tq_winpc_tqx1_1.0.0.1_016", GetConfig("UserVer"));
  EXPECT_STREQ("1", GetConfig("SevLstVer"));
  EXPECT_EQ("http://127.0.0.1:8889/quote?", Chosen("PCQuote"));
  EXPECT_STREQ("127.0.0.1", GetConfig("host"));
  EXPECT_EQ("127.0.0.1:8111", Chosen("DownCenter"));
  EXPECT_EQ("http://127.0.0.1:8889/evaluate.html?from=pc&", Chosen("PCStockEvaluate")) << "&amp; removed";
  // The board configuration of the seeds, read by the terminal's own tables.
  EXPECT_EQ(2, GetBoardConfigTimestamp());
  for (int64_t id : {1104, 1107, 1105, 1106, 99992008}) EXPECT_NE(nullptr, FindBoard(id)) << id;
  EXPECT_EQ(1, IsCodeInBoard(1104, "600000"));
  EXPECT_EQ(1, IsCodeInBoard(1106, "300750"));
  EXPECT_EQ(0, IsCodeInBoard(1105, "600000"));
  EXPECT_EQ(1, IsCodeInBoard(99992008, "000300"));
  EXPECT_EQ(1104, FindBoardIdByCode("399107", 2));
  const BoardRecord* indices = FindBoard(99992008);
  ASSERT_NE(nullptr, indices);
  ASSERT_EQ(1, indices->ruleCount);
  ASSERT_NE(nullptr, indices->rules[0].value);
  EXPECT_STREQ("00000110003001399001239900523990062", indices->rules[0].value);
}

TEST_F(SimHttpClientChain, SignInChainThroughTheTerminalsClients) {
  // 1. Server list (socket client): Ctrl, a top-level SevLstVer, PCSevList.
  std::string reply = Unpacked(RequestServerList(0));
  char* ctrl = ExtractXmlTagText(reply.c_str(), "Ctrl");
  ASSERT_NE(nullptr, ctrl);
  const char* cursor = ctrl;
  XmlNode* chain = ParseXmlNode(&cursor);
  EXPECT_NE(nullptr, FindXmlSibling(chain, "SevLstVer"));
  FreeXmlTree(chain);
  char* list = ExtractXmlTagText(ctrl, "PCSevList");
  ASSERT_NE(nullptr, list);
  ASSERT_TRUE(WriteDataFile("res\\server.data", list, int(strlen(list))));
  free(list);
  free(ctrl);
  LoadServerList();
  EXPECT_EQ(server_->BaseUrl() + "/ialogin", Chosen("PCIALogin"));

  // 2. Captcha (system stack).
  auto [captchaStatus, picture] = Finish(System(Chosen("PCRandomCode")));
  EXPECT_EQ(kHttpCompleted, captchaStatus);
  EXPECT_EQ(0u, picture.find("\x89PNG"));

  // 3. PCIALogin (system stack), read with the terminal's JSON reader.
  std::string form = "username=demo&password=demo123&randomCode=1234&clientversion=tq_winpc_tqx1_1.0.0.1_016";
  auto [loginStatus, loginBody] = Finish(System(Chosen("PCIALogin"), form));
  ASSERT_EQ(kHttpCompleted, loginStatus);
  JsonNode* root = nullptr;
  ASSERT_EQ(kJsonDone, ParseJsonText(&root, loginBody.c_str()));
  EXPECT_EQ("true", JsonText(root, {"result"}));
  EXPECT_EQ("10001", JsonText(root, {"user", "id"}));
  std::string session = JsonText(root, {"logininfo", "sessionid"});
  EXPECT_EQ(32u, session.size());
  EXPECT_EQ(std::string::npos, session.find_first_not_of("0123456789abcdef"));
  EXPECT_EQ("0", JsonText(root, {"logininfo", "usrquotegroup"}));
  JsonNode* menus = FindJsonLabel(root, "menus");
  ASSERT_NE(nullptr, menus);
  ASSERT_NE(nullptr, menus->firstChild);
  EXPECT_EQ(kJsonArray, menus->firstChild->type);
  FreeJsonTree(&root);
  EXPECT_EQ(form, server_->Requests("ialogin").back().body) << "the form arrives as sent";

  // 4. Board configuration (socket client) with the seeded timestamp: up to date.
  auto [boardStatus, boardBody] = Finish(Socket(Chosen("PCBoardConf") + "timestamp=" +
                                                std::to_string(GetBoardConfigTimestamp())));
  EXPECT_EQ(kHttpCompleted, boardStatus);
  EXPECT_NE(std::string::npos, boardBody.find("\"result\":\"false\""));
  SimHttpScenario s;
  s.boardConfGzip = true;
  Set(s);
  auto [gzStatus, gzBody] = Finish(Socket(Chosen("PCBoardConf") + "timestamp=0"));
  EXPECT_EQ(kHttpCompleted, gzStatus);
  std::string boards = Unpacked(gzBody);
  EXPECT_NE(std::string::npos, boards.find("\"result\":\"true\""));
  ASSERT_TRUE(WriteDataFile("res\\boardconfig.json", boards.data(), int(boards.size())));
  LoadBoardConfig();
  EXPECT_EQ(2, GetBoardConfigTimestamp());
  EXPECT_NE(nullptr, FindBoard(99992008));

  // 5. Watch list (socket client), read with the XML reader.
  std::string request = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><reqmsg><signature>10001"
                        "</signature><action>getmystocks</action></reqmsg>";
  auto [stockStatus, stockBody] = Finish(Socket(Chosen("PCMystocks"), request));
  ASSERT_EQ(kHttpCompleted, stockStatus);
  cursor = stockBody.c_str();
  XmlNode* top = ParseXmlNode(&cursor);
  XmlNode* retmsg = FindXmlSibling(top, "retmsg");
  ASSERT_NE(nullptr, retmsg);
  XmlNode* retcode = FindXmlChild(retmsg, "retcode");
  EXPECT_STREQ("0", XmlFirstChildText(retcode));
  XmlNode* stocks = FindXmlNextSibling(retcode, "mystocks");
  ASSERT_NE(nullptr, stocks);
  std::string entries;
  for (XmlNode* stock = FindXmlChild(stocks, "stock"); stock != nullptr; stock = stock->next) {
    entries += std::string(FindXmlAttribute(stock->attributes, "code")) + "/" +
               FindXmlAttribute(stock->attributes, "marketid") + " ";
  }
  EXPECT_EQ("600000/1 000001/2 600519/1 300750/2 ", entries);
  FreeXmlTree(top);

  // 6. Marquee and message check (socket client).
  auto [marqueeStatus, marqueeBody] = Finish(Socket(Chosen("PCMarquee")));
  EXPECT_EQ(kHttpCompleted, marqueeStatus);
  ASSERT_EQ(kJsonDone, ParseJsonText(&root, marqueeBody.c_str()));
  EXPECT_EQ("true", JsonText(root, {"result"}));
  FreeJsonTree(&root);
  auto [checkStatus, checkBody] = Finish(Socket(Chosen("PCCheckNewMessage") + "userid=demo"));
  EXPECT_EQ(kHttpCompleted, checkStatus);
  ASSERT_EQ(kJsonDone, ParseJsonTextOnce(&root, checkBody.c_str()));
  EXPECT_EQ("2", JsonText(root, {"count"}));
  FreeJsonTree(&root);

  // 7. K-line related data with the session parameters appended.
  char url[1024];
  snprintf(url, sizeof url, "%sdatatype=1&stockcode=600000&marketid=1&startdate=20230101&enddate=20231231",
           Chosen("PCKlineRelJsonData").c_str());
  SetConfig("userid", "10001");
  SetConfig("sessionid", session.c_str());
  AppendSessionParams(url, sizeof url);
  auto [klineStatus, klineBody] = Finish(Socket(url));
  EXPECT_EQ(kHttpCompleted, klineStatus);
  ASSERT_EQ(kJsonDone, ParseJsonText(&root, klineBody.c_str()));
  EXPECT_EQ("4", JsonText(root, {"total"}));
  FreeJsonTree(&root);
  EXPECT_NE(std::string::npos, server_->Requests("klinerel").back().query.find("&userid=10001&sessionid=" + session));
}

TEST_F(SimHttpClientChain, FallbackSignInWithTheTerminalsCiphers) {
  StoreServerList(RequestServerList(1));
  ASSERT_EQ(server_->BaseUrl(1) + "/login", Chosen("PCLogin"));
  struct Case {
    const char* name;
    const char* account;
    const char* password;
    std::string unid, msg;
  } cases[] = {{"accepted", "demo", "demo123", "10001", "ok"},
               {"level 2", "vip", "vip123", "10002", "ok"},
               {"long form over two blocks", "vip", "vip123&xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", "",
                "用户名或密码错误"},
               {"refused", "demo", "wrong&pass=word", "", "用户名或密码错误"}};
  for (const Case& c : cases) {
    const std::string key = "0F1E2D3C4B5A69788796A5B4C3D2E1F0";
    std::string form = "secretkey=" + key + "&account=" + c.account + "&netpass=" + c.password;
    int total = 0;
    auto cipher = RsaEncryptWithHexKey(&total, SimLoginModulusHex(), form.c_str());
    ASSERT_NE(nullptr, cipher) << c.name;
    std::string hex(size_t(total) * 2 + 1, '\0');
    BytesToHex(cipher.get(), total, &hex[0], int(hex.size()));
    hex.resize(size_t(total) * 2);
    auto [status, reply] = Finish(Socket(Chosen("PCLogin"), "ciptext=" + hex));
    ASSERT_EQ(kHttpCompleted, status) << c.name;
    EXPECT_EQ(form, server_->Requests("login").back().deciphered) << c.name;
    EXPECT_EQ(size_t(total) / 128, (form.size() + 116) / 117) << c.name;
    BlowfishContext bf;
    BlowfishSetKey(&bf, 0, reinterpret_cast<const BYTE*>(key.data()), int(key.size()));
    int size = BlowfishCipherSize(reinterpret_cast<const BYTE*>(reply.data()), int(reply.size()));
    ASSERT_GT(size, 0) << c.name;
    std::string plain(size_t(size) + 8, '\0');
    int length = BlowfishDecryptBuffer(&bf, reinterpret_cast<const BYTE*>(reply.data()), int(reply.size()),
                                       reinterpret_cast<BYTE*>(&plain[0]), int(plain.size()));
    ASSERT_GT(length, 0) << c.name;
    const char* cursor = plain.c_str();
    XmlNode* top = ParseXmlNode(&cursor);
    XmlNode* retmsg = FindXmlSibling(top, "retmsg");
    ASSERT_NE(nullptr, retmsg) << c.name;
    EXPECT_NE(nullptr, FindXmlChild(retmsg, "action")) << c.name;
    XmlNode* info = FindXmlChild(retmsg, "logininfo");
    XmlNode* unid = info != nullptr ? FindXmlChild(info, "unid") : nullptr;
    XmlNode* sessionNode = unid != nullptr ? FindXmlNextSibling(unid, "sessionid") : nullptr;
    EXPECT_EQ(c.unid, unid != nullptr ? XmlFirstChildText(unid) : "") << c.name;
    EXPECT_EQ(!c.unid.empty(), sessionNode != nullptr) << c.name;
    EXPECT_STREQ(c.msg.c_str(), XmlFirstChildText(FindXmlChild(retmsg, "msg"))) << c.name;
    FreeXmlTree(top);
  }
  EXPECT_EQ(1, server_->Requests("login").back().site);
}

TEST_F(SimHttpClientChain, FailuresReachTheClientsAsTheirStatuses) {
  // Refused site: status 1 on both paths; silent service: status 2.
  ASSERT_EQ(1, server_->SetSiteListening(2, false));
  EXPECT_EQ(kHttpFailed, Finish(Socket(server_->BaseUrl(2) + "/v2bin", "ver=x")).first);
  EXPECT_EQ(kHttpFailed, Finish(System(server_->BaseUrl(2) + "/randomcode")).first);
  SimHttpScenario s;
  s.silent = {"v2bin", "ialogin"};
  s.status = {{"randomcode", 500}, {"update.ini", 404}};
  Set(s);
  EXPECT_EQ(kHttpTimedOut, Finish(Socket(server_->BaseUrl(0) + "/v2bin", "ver=x")).first);
  EXPECT_EQ(kHttpTimedOut, Finish(System(server_->BaseUrl(0) + "/ialogin", "username=demo")).first);
  // The system stack completes only on 200.
  EXPECT_EQ(kHttpFailed, Finish(System(server_->BaseUrl(0) + "/randomcode")).first);
  EXPECT_EQ(kHttpFailed, Finish(System(server_->BaseUrl(0) + "/update/update.ini")).first);
  // A broken server list still arrives whole; only its reading fails.
  s = SimHttpScenario();
  s.v2bin = SimV2bin::kNoCtrl;
  Set(s);
  std::string broken = RequestServerList(0);
  EXPECT_EQ(nullptr, ExtractXmlTagText(broken.c_str(), "Ctrl"));
  // The update description through the system stack, as the login's update check asks for it.
  s = SimHttpScenario();
  s.updateIni = SimUpdateIni::kNewer;
  Set(s);
  auto [status, ini] = Finish(System(server_->BaseUrl(0) + "/update/update.ini"));
  EXPECT_EQ(kHttpCompleted, status);
  EXPECT_EQ(0u, ini.find("[Tamsel]\r\nVERSION=tq_winpc_tqx1_1.0.0.2_016\r\n"));
}

}  // namespace
