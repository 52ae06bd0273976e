#include "shell/login_chain.h"

#include <sys/random.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "foundation/blowfish.h"
#include "foundation/board_config.h"
#include "foundation/config_store.h"
#include "foundation/debug_trace.h"
#include "foundation/gzip_inflate.h"
#include "foundation/http_download.h"
#include "foundation/http_request.h"
#include "foundation/json_reader.h"
#include "foundation/rsa.h"
#include "foundation/server_directory.h"
#include "foundation/string_helpers.h"
#include "foundation/system_http.h"
#include "foundation/user_folders.h"
#include "foundation/xml_reader.h"
#include "platform/kernel/kernel_process.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/window/win_user.h"
#include "shell/login_key.h"
#include "updater/update_file.h"

namespace {

std::mutex g_settingsLock;
LoginChainSettings g_settings;

constexpr char kServerListForm[] = "ver=%s&SevLstVer=%s&CodeVer=%s&custom=1234";
constexpr char kIaLoginForm[] = "username=%s&password=%s&randomCode=%s&clientversion=%s";
constexpr char kFallbackForm[] = "secretkey=%s&account=%s&netpass=%s";
constexpr char kOwnStocksForm[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><reqmsg><signature>%lld</signature>"
    "<action>getmystocks</action></reqmsg>";
constexpr char kUpdaterProgram[] = "Update";
constexpr char kUpdaterSection[] = "Tamsel";

// Status texts of the chain.
constexpr WCHAR kServerListRunning[] = u"获取服务器地址列表……";
constexpr WCHAR kServerListDone[] = u"获取服务器地址列表成功";
constexpr WCHAR kServerListFailed[] = u"获取服务器地址列表失败，请检查网络连接！";
constexpr WCHAR kServerListTimedOut[] = u"获取服务器地址列表超时，请检查网络连接！";
constexpr WCHAR kServerListBroken[] = u"获取服务器地址列表出错，请重试！";
constexpr WCHAR kUpToDate[] = u"当前已是最新版本";
constexpr WCHAR kUpdateChecking[] = u"正在检查是否有可用的更新";
constexpr WCHAR kUpdateReading[] = u"正在读取版本信息";
constexpr WCHAR kUpdateUnreachable[] = u"连接升级服务器失败，请检查网络连接！";
constexpr WCHAR kUpdateFileFailed[] = u"升级配置文件创建失败，请重试！";
constexpr WCHAR kUpdateCaption[] = u"升级提示";
constexpr WCHAR kUpdateQuestion[] = u"检测到软件有可用的更新,是否升级?";
constexpr WCHAR kUpdaterFailed[] = u"升级程序启动失败，请重新安装！";
constexpr WCHAR kSigningIn[] = u"认证中……";
constexpr WCHAR kSignInAccepted[] = u"服务认证成功";
constexpr WCHAR kSignInFailed[] = u"服务认证失败，请检查网络连接！";
constexpr WCHAR kSignInTimedOut[] = u"服务认证超时，请检查网络连接！";
constexpr WCHAR kSignInBroken[] = u"服务认证出错，请重试！";
constexpr WCHAR kFallbackRunning[] = u"连接行情服务器……";
constexpr WCHAR kFallbackFailed[] = u"连接服务器失败，请检查网络连接！";
constexpr WCHAR kFallbackTimedOut[] = u"连接服务器超时，请检查网络连接！";
constexpr WCHAR kFallbackBroken[] = u"连接服务器出错，请重试！";
constexpr WCHAR kSignedIn[] = u"登录成功";
constexpr WCHAR kBoardConfigRunning[] = u"更新系统数据……";
constexpr WCHAR kOwnStocksRunning[] = u"自选股同步……";
constexpr WCHAR kPromptCaption[] = u"提示";

enum UpdateOutcome { kUpdateNone, kUpdateOffered, kUpdateForced, kUpdateUnreachableOutcome, kUpdateFileOutcome };

std::string Format(const char* format, std::initializer_list<const char*> args) {
  std::vector<const char*> a(args);
  a.resize(4, "");
  const int n = std::snprintf(nullptr, 0, format, a[0], a[1], a[2], a[3]);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  std::snprintf(out.data(), out.size() + 1, format, a[0], a[1], a[2], a[3]);
  return out;
}

const char* ConfigOrEmpty(const char* key) {
  const char* value = GetConfig(key);
  return value ? value : "";
}

// A chosen address as a string (the foundation hands out malloc'd texts).
std::string Choose(const char* service, int level2) {
  char* address = ChooseServer(service, level2);
  std::string out = address ? address : "";
  std::free(address);
  return out;
}

// The body unpacked when it is gzip; otherwise a copy. Either way zero-
// terminated. An unpacking that fails leaves an empty text.
std::string Unpacked(const char* body, int length) {
  if (!body || length <= 0) return std::string();
  const BYTE* bytes = reinterpret_cast<const BYTE*>(body);
  const int size = GzipUnpackedSize(bytes, length);
  if (size <= 0) return std::string(body, static_cast<size_t>(length));
  std::vector<BYTE> out(static_cast<size_t>(size) + 8, 0);
  const int n = GzipInflateBounded(bytes, length, out.data(), size);
  if (n < 0) {
    DebugPrintf("login: a gzip reply of %d bytes could not be unpacked (%d)\n", length, n);
    return std::string();
  }
  return std::string(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(n));
}

// The value text of an object's member (null when absent or not a scalar).
const char* JsonValue(const JsonNode* object, const char* label) {
  const JsonNode* member = object ? FindJsonLabel(object, label) : nullptr;
  if (!member || !member->firstChild) return nullptr;
  return member->firstChild->text;
}
const JsonNode* JsonObject(const JsonNode* object, const char* label) {
  const JsonNode* member = object ? FindJsonLabel(object, label) : nullptr;
  return member ? member->firstChild : nullptr;
}

struct JsonTree {
  JsonNode* root = nullptr;
  ~JsonTree() { FreeJsonTree(&root); }
};
struct XmlTree {
  XmlNode* root = nullptr;
  ~XmlTree() { FreeXmlTree(root); }
};

WString Wide(const char* utf8) { return utf8 ? Utf8ToWide(utf8) : WString(); }

}  // namespace

LoginChainSettings GetLoginChainSettings() {
  std::lock_guard<std::mutex> hold(g_settingsLock);
  return g_settings;
}

void SetLoginChainSettingsForTesting(const LoginChainSettings& settings) {
  std::lock_guard<std::mutex> hold(g_settingsLock);
  g_settings = settings;
}

// ------------------------------------------------------------------ pieces

ServerListReply ParseServerListReply(const char* body, int length) {
  ServerListReply out;
  if (!body || length <= 0) return out;
  const std::string text(body, static_cast<size_t>(length));
  std::unique_ptr<char, decltype(&std::free)> ctrl(ExtractXmlTagText(text.c_str(), "Ctrl"), &std::free);
  if (!ctrl) return out;
  XmlTree tree;
  const char* cursor = ctrl.get();
  tree.root = ParseXmlNode(&cursor);
  if (!FindXmlSibling(tree.root, "SevLstVer")) return out;
  std::unique_ptr<char, decltype(&std::free)> list(ExtractXmlTagText(ctrl.get(), "PCSevList"), &std::free);
  if (!list) return out;
  out.found = true;
  out.serverDirectory = list.get();
  auto take = [&](const char* name, std::string* value) {
    std::unique_ptr<char, decltype(&std::free)> t(ExtractXmlTagText(ctrl.get(), name), &std::free);
    if (t) *value = t.get();
  };
  take("Update", &out.update);
  take("UpdateUrl", &out.updateUrl);
  take("UpdateMsg", &out.updateMessage);
  return out;
}

std::string UpdateIniAddress(const std::string& updateUrl) {
  std::string base = updateUrl;
  if (!base.empty() && base.back() == '/') base.pop_back();
  return base + "/update.ini";
}

void MakeSessionKey(char key[33]) {
  unsigned char bytes[16] = {};
  size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  BytesToHex(bytes, 16, key, 32);
  key[32] = 0;
}

int AppendOwnStockEntry(const char* code, int market) {
  char entry[7] = {};
  for (int i = 0; i < 6 && code && code[i]; ++i) entry[i] = code[i];
  entry[6] = static_cast<char>(market & 0xFF);
  std::string content;
  FileBlob* blob = ReadDataFile("res\\own.data");
  if (blob && blob->size > 6) {
    for (int at = 0; at + 7 <= blob->size; at += 7)
      if (std::memcmp(blob->data + at, entry, 7) == 0) {
        FreeFileBlob(blob);
        return 0;
      }
    content.assign(blob->data, static_cast<size_t>(blob->size));
  }
  FreeFileBlob(blob);
  content.append(entry, 7);
  return WriteDataFile("res\\own.data", content.data(), static_cast<int>(content.size())) ? 1 : -1;
}

// ------------------------------------------------------------------ chain

LoginChain::LoginChain(LoginView* view) : view_(view), settings_(GetLoginChainSettings()) {}

LoginChain::~LoginChain() {
  stopping_ = true;
  int live;
  {
    std::lock_guard<std::mutex> hold(lock_);
    live = requestId_;
  }
  if (live) AbandonHttpRequest(live);
  if (updateThread_.joinable()) updateThread_.join();
}

void LoginChain::Queue(UiStep step) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    pending_.push_back(std::move(step));
  }
  view_->WakeUp();
}

void LoginChain::Started(int requestId) {
  std::lock_guard<std::mutex> hold(lock_);
  requestId_ = requestId;
}

bool LoginChain::Current(HttpRequest*) { return !stopping_; }

void LoginChain::RunPending() {
  for (;;) {
    UiStep step;
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (pending_.empty()) return;
      step = std::move(pending_.front());
      pending_.pop_front();
    }
    step();
  }
}

void LoginChain::RequestServerList() {
  if (busy_) return;
  busy_ = true;
  view_->EnableLogin(false);
  view_->ShowStatus(kServerListRunning);
  LoadServerList();
  char* host = GetQuoteServerHost(0);
  const std::string address =
      "http://" + std::string(host ? host : "") + ":" + std::to_string(settings_.serverListPort) + "/v2bin";
  std::free(host);
  const std::string body = Format(kServerListForm, {kBuildText, ConfigOrEmpty("SevLstVer"), ConfigOrEmpty("CodeVer")});
  Started(StartHttpRequest(address.c_str(), body.c_str(), static_cast<int>(body.size()), MakeProxyString(),
                           &LoginChain::OnServerListReply, this));
}

void LoginChain::OnServerListReply(HttpRequest* request, void* user, const char* body, int length, int status) {
  auto* chain = static_cast<LoginChain*>(user);
  if (status == kHttpProgress || !chain->Current(request)) return;
  chain->HandleServerList(body, length, status);
}

void LoginChain::HandleServerList(const char* body, int length, int status) {
  if (status != kHttpCompleted) {
    const WString text = status == kHttpTimedOut ? kServerListTimedOut : kServerListFailed;
    Queue([this, text] {
      busy_ = false;
      view_->ShowStatus(text);
    });
    return;
  }
  const std::string unpacked = Unpacked(body, length);
  const ServerListReply reply = ParseServerListReply(unpacked.data(), static_cast<int>(unpacked.size()));
  // The engine reads its trading hours from res\v2bin.data: only a reply
  // that is a server list replaces it.
  bool written = false;
  if (reply.found) {
    WriteDataFile("res\\v2bin.data", unpacked.data(), static_cast<int>(unpacked.size()));
    written = WriteDataFile("res\\server.data", reply.serverDirectory.data(),
                            static_cast<int>(reply.serverDirectory.size()));
  }
  if (!written) {
    Queue([this] {
      busy_ = false;
      view_->ShowStatus(kServerListBroken);
    });
    return;
  }
  Queue([this, reply] {
    busy_ = false;
    view_->ShowStatus(kServerListDone);
    LoadServerList();
    view_->SetCodeAddress(Choose("PCRandomCode", 1).c_str());
    view_->EnableLogin(true);
    view_->RefreshCode();
    if (reply.update == "1") {
      view_->ShowStatus(kUpToDate);
    } else if (reply.update == "2" || reply.update == "3") {
      updateMessage_ = reply.updateMessage;
      StartUpdateCheck(reply.updateUrl);
    }
  });
}

// ------------------------------------------------------------------ update check

void LoginChain::StartUpdateCheck(const std::string& updateUrl) {
  busy_ = true;
  view_->ShowStatus(kUpdateChecking);
  view_->EnableLogin(false);
  const std::string address = UpdateIniAddress(updateUrl);
  const std::string downloaded = DataRoot() + "temp/update.ini";
  const std::string installed = InstallRoot() + kUpdateFileName;
  const std::string clientVersion = GetClientVersion();
  HttpDownloadSettings download;
  download.connectTimeoutMs = settings_.updateConnectTimeoutMs;
  download.receiveTimeoutMs = settings_.updateReceiveTimeoutMs;
  if (updateThread_.joinable()) updateThread_.join();
  updateThread_ = std::thread([this, address, downloaded, installed, clientVersion, download] {
    auto keepGoing = [](void* user, long long, long long) {
      return !static_cast<LoginChain*>(user)->stopping_.load();
    };
    HttpDownloadInfo info;
    const HttpDownloadResult result = DownloadUrlToFile(address, downloaded, download, keepGoing, this, &info);
    int outcome = kUpdateNone;
    if (result == kHttpDownloadFileError) {
      outcome = kUpdateFileOutcome;
    } else if (result != kHttpDownloadDone || info.statusCode != 200) {
      DebugPrintf("login: update.ini download ended with %d, status %ld\n", static_cast<int>(result),
                  info.statusCode);
      outcome = kUpdateUnreachableOutcome;
    } else {
      UpdateDescription server, local;
      ReadUpdateDescription(downloaded, &server);
      ReadUpdateDescription(installed, &local);
      switch (CheckUpdateAtLogin(server, local, clientVersion)) {
        case LoginUpdate::kForced: outcome = kUpdateForced; break;
        case LoginUpdate::kOffered: outcome = kUpdateOffered; break;
        case LoginUpdate::kNone: outcome = kUpdateNone; break;
      }
    }
    if (outcome != kUpdateOffered && outcome != kUpdateForced) DeleteFileUtf8Path(downloaded.c_str());
    if (stopping_) return;
    Queue([this, outcome, address] { UpdateCheckDone(outcome, address); });
  });
}

void LoginChain::UpdateCheckDone(int outcome, const std::string& address) {
  busy_ = false;
  view_->EnableLogin(true);
  view_->ShowStatus(kUpdateReading);
  switch (outcome) {
    case kUpdateUnreachableOutcome:
      view_->ShowStatus(kUpdateUnreachable);
      return;
    case kUpdateFileOutcome:
      view_->ShowStatus(kUpdateFileFailed);
      return;
    case kUpdateForced:
      view_->Ask(Wide(updateMessage_.c_str()), kUpdateCaption, MB_OK, false);
      StartUpdater(address);
      return;
    case kUpdateOffered:
      if (view_->Ask(kUpdateQuestion, kUpdateCaption, MB_YESNO, true) == IDYES) {
        StartUpdater(address);
        return;
      }
      view_->ShowStatus(u"");
      return;
    default:
      view_->ShowStatus(kUpToDate);
      return;
  }
}

void LoginChain::StartUpdater(const std::string& address) {
  const std::string folder = InstallRoot();
  const WString file = Utf8ToWide(folder + kUpdaterProgram);
  const WString parameters = Utf8ToWide(" " + std::string(kUpdaterSection) + " " + GetClientVersion() + " " + address);
  const WString directory = Utf8ToWide(folder);
  SHELLEXECUTEINFOW info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.lpDirectory = directory.c_str();
  info.nShow = SW_SHOW;
  if (!ShellExecuteExW(&info)) {
    DebugPrintf("login: the updater could not be started\n");
    view_->Ask(kUpdaterFailed, kUpdateCaption, MB_OK, false);
    view_->EnableLogin(true);
    return;
  }
  view_->CloseForUpdate();
}

// ------------------------------------------------------------------ sign-in

bool LoginChain::Login(const WString& account, const WString& password, const WString& captcha) {
  if (busy_) return false;
  const WString* empty[] = {&account, &password, &captcha};
  const WCHAR* prompts[] = {u"请输入用户名", u"请输入密码", u"请输入验证码"};
  for (int i = 0; i < 3; ++i) {
    if (!empty[i]->empty()) continue;
    view_->EnableLogin(true);
    view_->Ask(prompts[i], kPromptCaption, MB_OK, false);
    return false;
  }
  results_.account = WideToUtf8(account);
  results_.password = WideToUtf8(password);
  results_.captcha = WideToUtf8(captcha);
  results_.accountTyped = account;
  busy_ = true;
  view_->ShowStatus(kSigningIn);
  const std::string address = Choose("PCIALogin", 0);
  const std::string clientVersion = GetClientVersion();
  // The service reads the form as sent: values go in unencoded.
  const std::string form = Format(kIaLoginForm, {results_.account.c_str(), results_.password.c_str(),
                                                 results_.captcha.c_str(), clientVersion.c_str()});
  Started(StartWinInetRequest(address.c_str(), nullptr, form.c_str(), static_cast<int>(form.size()),
                              MakeProxyString(), &LoginChain::OnIaLoginReply, this));
  return true;
}

void LoginChain::Refused(const WString& text, bool refreshCode) {
  busy_ = false;
  view_->ShowStatus(text);
  view_->EnableLogin(true);
  if (refreshCode) view_->RefreshCode();
}

void LoginChain::OnIaLoginReply(HttpRequest* request, void* user, const char* body, int length, int status) {
  auto* chain = static_cast<LoginChain*>(user);
  if (status == kHttpProgress || !chain->Current(request)) return;
  chain->HandleIaLogin(body, length, status);
}

void LoginChain::HandleIaLogin(const char* body, int length, int status) {
  if (status != kHttpCompleted) {
    const WString text = status == kHttpTimedOut ? kSignInTimedOut : kSignInFailed;
    Queue([this, text] { Refused(text, false); });
    return;
  }
  // Our own copy, cut after its last '}' (the reply may carry bytes after
  // the document).
  std::string text = body && length > 0 ? std::string(body, static_cast<size_t>(length)) : std::string();
  const size_t brace = text.rfind('}');
  if (brace != std::string::npos) text.resize(brace + 1);
  JsonTree tree;
  if (ParseJsonText(&tree.root, text.c_str()) != 1 || !tree.root) {
    Queue([this] { Refused(kSignInBroken, false); });
    return;
  }
  const char* result = JsonValue(tree.root, "result");
  if (!result) {
    Queue([this] { Refused(kSignInBroken, false); });
    return;
  }
  if (std::strcmp(result, "true") != 0) {
    const WString info = Wide(JsonValue(tree.root, "info"));
    Queue([this, info] { Refused(info, true); });
    return;
  }
  DeleteDataFile("res\\menu.json");
  WriteDataFile("res\\menu.json", body, length);
  Queue([this] { view_->ShowStatus(kSignInAccepted); });
  const JsonNode* userObject = JsonObject(tree.root, "user");
  if (!userObject) {
    Queue([this] { Refused(kSignInBroken, false); });
    return;
  }
  const char* id = JsonValue(userObject, "id");
  results_.userIdFromUser = id ? id : "";
  results_.userId = results_.userIdFromUser;
  const char* hasLevel2 = JsonValue(userObject, "hasLevel2");
  SetConfig("level", hasLevel2 && std::strcmp(hasLevel2, "true") == 0 ? "1" : "0");
  SaveConfig();
  const JsonNode* info = JsonObject(tree.root, "logininfo");
  if (!info) {
    Queue([this] { FallbackLogin(); });
    return;
  }
  results_.userId.clear();
  results_.sessionId.clear();
  if (const char* userId = JsonValue(info, "userid")) {
    results_.userId = userId;
    SetConfig("userid", userId);
  }
  if (const char* sessionId = JsonValue(info, "sessionid")) {
    results_.sessionId = sessionId;
    SetConfig("sessionid", sessionId);
  }
  const char* group = JsonValue(info, "usrquotegroup");
  SetConfig("level", group && std::atoi(group) > 0 ? "1" : "0");
  if (results_.userId.empty() || results_.sessionId.empty()) {
    Queue([this] { FallbackLogin(); });
    return;
  }
  Queue([this] { SignedIn(); });
}

void LoginChain::RememberFields() {
  const bool account = view_->RememberAccount();
  const bool password = view_->RememberPassword();
  SetConfig("account", account ? results_.account.c_str() : "");
  SetConfig("saveid", account ? "1" : "0");
  SetConfig("password", password ? results_.password.c_str() : "");
  SetConfig("savepwd", password ? "1" : "0");
}

void LoginChain::SignedIn() {
  RememberFields();
  view_->ShowStatus(kSignedIn);
  SaveConfig();
  RequestBoardConfig();
}

void LoginChain::FallbackLogin() {
  view_->ShowStatus(kFallbackRunning);
  MakeSessionKey(sessionKey_);
  const std::string form = Format(kFallbackForm, {sessionKey_, results_.account.c_str(), results_.password.c_str()});
  int cipherLength = 0;
  std::unique_ptr<BYTE[]> cipher = RsaEncryptWithHexKey(&cipherLength, kLoginRsaModulus, form.c_str());
  if (!cipher) {
    DebugPrintf("login: the sign-in key refused the fall-back form\n");
    Refused(kFallbackBroken, false);
    return;
  }
  std::string hex(static_cast<size_t>(cipherLength) * 2, '\0');
  BytesToHex(cipher.get(), cipherLength, hex.data(), static_cast<int>(hex.size()));
  const std::string body = "ciptext=" + hex;
  const std::string address = Choose("PCLogin", 0);
  Started(StartHttpRequest(address.c_str(), body.c_str(), static_cast<int>(body.size()), MakeProxyString(),
                           &LoginChain::OnFallbackLoginReply, this));
}

void LoginChain::OnFallbackLoginReply(HttpRequest* request, void* user, const char* body, int length, int status) {
  auto* chain = static_cast<LoginChain*>(user);
  if (status == kHttpProgress || !chain->Current(request)) return;
  chain->HandleFallbackLogin(body, length, status);
}

void LoginChain::HandleFallbackLogin(const char* body, int length, int status) {
  if (status != kHttpCompleted) {
    const WString text = status == kHttpTimedOut ? kFallbackTimedOut : kFallbackFailed;
    Queue([this, text] { Refused(text, false); });
    return;
  }
  const BYTE* bytes = reinterpret_cast<const BYTE*>(body);
  const int blocks = body ? BlowfishCipherSize(bytes, length) : -1;
  if (blocks < 0 || 3 + blocks > length) {
    DebugPrintf("login: a fall-back reply of %d bytes is not a whole cipher\n", length);
    Queue([this] { Refused(kFallbackBroken, false); });
    return;
  }
  DebugPrintf("login: a fall-back reply of %d bytes arrived\n", length);
  BlowfishContext context;
  BlowfishSetKey(&context, 0, reinterpret_cast<const BYTE*>(sessionKey_), 32);
  std::vector<BYTE> plain(static_cast<size_t>(blocks) + 8, 0);
  const int plainLength = BlowfishDecryptBuffer(&context, bytes, length, plain.data(), blocks + 8);
  const std::string text(reinterpret_cast<const char*>(plain.data()),
                         plainLength > 0 ? static_cast<size_t>(std::min(plainLength, blocks)) : 0);
  XmlTree tree;
  const char* cursor = text.c_str();
  tree.root = ParseXmlNode(&cursor);
  XmlNode* retmsg = FindXmlSibling(tree.root, "retmsg");
  const char* unid = nullptr;
  const char* sessionId = nullptr;
  if (XmlNode* info = retmsg ? FindXmlChild(retmsg, "logininfo") : nullptr) {
    XmlNode* unidNode = FindXmlChild(info, "unid");
    unid = XmlFirstChildText(unidNode);
    sessionId = unidNode ? XmlFirstChildText(FindXmlNextSibling(unidNode, "sessionid")) : nullptr;
    if (unid) SetConfig("userid", unid);
    results_.sessionId = sessionId ? sessionId : "";
    SetConfig("sessionid", results_.sessionId.c_str());
    SaveConfig();
  }
  if (!retmsg || !FindXmlChild(retmsg, "action")) {
    Queue([this] { Refused(kFallbackBroken, false); });
    return;
  }
  if (unid && *unid && sessionId && *sessionId) {
    results_.userId = unid;
    Queue([this] { SignedIn(); });
    return;
  }
  const WString message = Wide(XmlFirstChildText(FindXmlChild(retmsg, "msg")));
  Queue([this, message] { Refused(message, true); });
}

// ------------------------------------------------------------------ after the sign-in

void LoginChain::RequestBoardConfig() {
  view_->ShowStatus(kBoardConfigRunning);
  const std::string address = Choose("PCBoardConf", 0) + "timestamp=" + std::to_string(GetBoardConfigTimestamp());
  Started(StartHttpRequest(address.c_str(), nullptr, 0, MakeProxyString(), &LoginChain::OnBoardConfigReply, this));
}

void LoginChain::OnBoardConfigReply(HttpRequest* request, void* user, const char* body, int length, int status) {
  auto* chain = static_cast<LoginChain*>(user);
  if (status == kHttpProgress || !chain->Current(request)) return;
  chain->HandleBoardConfig(body, length, status);
}

void LoginChain::HandleBoardConfig(const char* body, int length, int status) {
  if (status == kHttpCompleted) {
    const std::string text = Unpacked(body, length);
    JsonTree tree;
    const char* result = nullptr;
    if (ParseJsonText(&tree.root, text.c_str()) == 1) result = JsonValue(tree.root, "result");
    if (result && std::strstr(result, "true")) {
      WriteDataFile("res\\boardconfig.json", text.data(), static_cast<int>(text.size()));
      LoadBoardConfig();
    } else {
      DebugPrintf("login: the board configuration was not replaced\n");
    }
  }
  Queue([this] { RequestOwnStocks(); });
}

void LoginChain::RequestOwnStocks() {
  view_->ShowStatus(kOwnStocksRunning);
  const std::string address = Choose("PCMystocks", 0);
  char body[sizeof kOwnStocksForm + 32];
  const int n = std::snprintf(body, sizeof body, kOwnStocksForm, std::strtoll(results_.userId.c_str(), nullptr, 10));
  Started(StartHttpRequest(address.c_str(), body, n, MakeProxyString(), &LoginChain::OnOwnStocksReply, this));
}

void LoginChain::OnOwnStocksReply(HttpRequest* request, void* user, const char* body, int length, int status) {
  auto* chain = static_cast<LoginChain*>(user);
  if (status == kHttpProgress || !chain->Current(request)) return;
  chain->HandleOwnStocks(body, length, status);
}

void LoginChain::HandleOwnStocks(const char* body, int length, int status) {
  if (status == kHttpCompleted && body && length > 0) {
    const std::string text(body, static_cast<size_t>(length));
    XmlTree tree;
    const char* cursor = text.c_str();
    tree.root = ParseXmlNode(&cursor);
    XmlNode* retmsg = FindXmlSibling(tree.root, "retmsg");
    XmlNode* retcode = retmsg ? FindXmlChild(retmsg, "retcode") : nullptr;
    const char* code = XmlFirstChildText(retcode);
    if (code && std::strcmp(code, "0") == 0) {
      DeleteDataFile("res\\own.data");
      XmlNode* list = FindXmlNextSibling(retcode, "mystocks");
      for (XmlNode* stock = list ? FindXmlChild(list, "stock") : nullptr; stock; stock = stock->next) {
        if (stock->kind != kXmlElement) continue;
        const char* stockCode = FindXmlAttribute(stock->attributes, "code");
        const char* market = FindXmlAttribute(stock->attributes, "marketid");
        if (!stockCode) continue;
        AppendOwnStockEntry(stockCode, market ? std::atoi(market) : 0);
      }
    } else {
      DebugPrintf("login: the watch list was not replaced\n");
    }
  }
  Queue([this] {
    busy_ = false;
    finished_ = true;
    view_->Finish();
  });
}
