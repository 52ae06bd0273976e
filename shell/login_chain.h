// The login chain: what the login dialog runs, without its window.
//
// Steps, one request at a time, each started on the UI thread once the
// previous reply has been handled:
//
//   server list (v2bin) --ok--> [update check] --> waiting for the user
//        | failed, timed out, broken: stays here (login disabled)
//   Login --> PCIALogin --ok, session--> board configuration --> watch list --> finished
//                 | no session ("logininfo" missing or empty)
//                 +--> PCLogin (fall-back) --ok--> board configuration ...
//                 | refused / failed: back to waiting (login enabled)
//
// Replies arrive on their request's worker thread. A handler there decodes
// the reply, writes the per-user files the step owns (res\v2bin.data,
// res\server.data, res\menu.json, res\boardconfig.json, res\own.data, the
// configuration) and queues what the window must show, then wakes the UI
// thread (LoginView::WakeUp). RunPending, on the UI thread, applies the
// queued changes to the view and starts the next request. So no worker
// touches a window, and no lock is held while the UI thread is waited for.
//
// The update check downloads the server's update.ini on a thread of its own
// and hands its verdict back the same way; its boxes and the updater start
// run on the UI thread.
//
// Lifetime: the destructor abandons the request in flight (its callback has
// returned when AbandonHttpRequest returns) and joins the update thread;
// queued changes are dropped with the chain.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/kernel/win_types.h"

struct HttpRequest;

// The window side of the chain. Every call but WakeUp comes on the UI
// thread.
class LoginView {
 public:
  virtual ~LoginView() = default;
  // Any thread: asks the UI thread to call LoginChain::RunPending soon.
  virtual void WakeUp() = 0;
  virtual void ShowStatus(const WString& text) = 0;
  virtual void EnableLogin(bool enable) = 0;
  // The captcha picture's address, then a new picture.
  virtual void SetCodeAddress(const char* address) = 0;
  virtual void RefreshCode() = 0;
  // A message box owned by the view's window (ownerless when ownerless is
  // true); returns the answer.
  virtual int Ask(const WString& text, const WString& caption, UINT type, bool ownerless) = 0;
  // The state of the check boxes 记住账号 and 记住密码.
  virtual bool RememberAccount() = 0;
  virtual bool RememberPassword() = 0;
  // The updater was started: the dialog ends with IDCANCEL.
  virtual void CloseForUpdate() = 0;
  // The chain has run: the dialog ends with IDOK.
  virtual void Finish() = 0;
};

// What the main frame is given after a successful sign-in (decision: the
// values used for the sign-in, not whatever the fields hold afterwards).
struct LoginResults {
  std::string userIdFromUser;  // "user"."id" of the PCIALogin reply
  std::string userId;          // the session's user id
  std::string sessionId;       // the session id
  std::string account;         // UTF-8, as sent
  std::string password;        // UTF-8, as sent
  std::string captcha;         // UTF-8, as sent
  WString accountTyped;        // the account as typed
};

// Settings and seams of the chain. The defaults are the program's.
struct LoginChainSettings {
  int serverListPort = 8889;        // port of "http://<PCQuote host>:<port>/v2bin"
  int updateConnectTimeoutMs = 10000;  // update.ini download
  int updateReceiveTimeoutMs = 10000;
};

// The process's settings (tests replace them; read when a chain is made).
LoginChainSettings GetLoginChainSettings();
void SetLoginChainSettingsForTesting(const LoginChainSettings& settings);

class LoginChain {
 public:
  explicit LoginChain(LoginView* view);
  ~LoginChain();
  LoginChain(const LoginChain&) = delete;
  LoginChain& operator=(const LoginChain&) = delete;

  // UI thread. Disables the login, shows "获取服务器地址列表……" and asks the
  // "PCQuote" host of res\server.data for the server list. Nothing while a
  // step runs.
  void RequestServerList();
  // UI thread: the login button or Enter with the fields as typed. Checks
  // the fields in order (account, password, captcha; a box "请输入…" titled
  // "提示" for the first empty one), then sends the PCIALogin form. Ignored
  // (false) while a step runs, so two chains never overlap; true when a
  // request was sent.
  bool Login(const WString& account, const WString& password, const WString& captcha);
  // UI thread: applies what the workers queued, in order.
  void RunPending();

  // True from a request's start until its step has been handled on the UI
  // thread (the update check included).
  bool Busy() const { return busy_; }
  // True once the whole chain has run (UI thread).
  bool Finished() const { return finished_; }
  // Valid once the chain has finished (after LoginView::Finish).
  const LoginResults& Results() const { return results_; }

  // Reply handlers (user: the chain); run on the request's worker thread.
  static void OnServerListReply(HttpRequest* request, void* user, const char* body, int length, int status);
  static void OnIaLoginReply(HttpRequest* request, void* user, const char* body, int length, int status);
  static void OnFallbackLoginReply(HttpRequest* request, void* user, const char* body, int length, int status);
  static void OnBoardConfigReply(HttpRequest* request, void* user, const char* body, int length, int status);
  static void OnOwnStocksReply(HttpRequest* request, void* user, const char* body, int length, int status);

 private:
  using UiStep = std::function<void()>;

  void Queue(UiStep step);  // any thread
  bool Current(HttpRequest* request);  // the reply belongs to the live request
  void Started(int requestId);

  void HandleServerList(const char* body, int length, int status);
  void HandleIaLogin(const char* body, int length, int status);
  void HandleFallbackLogin(const char* body, int length, int status);
  void HandleBoardConfig(const char* body, int length, int status);
  void HandleOwnStocks(const char* body, int length, int status);

  void FallbackLogin();       // UI thread
  void RequestBoardConfig();  // UI thread
  void RequestOwnStocks();    // UI thread
  void Refused(const WString& text, bool refreshCode);  // UI thread: back to waiting
  void RememberFields();      // the check boxes' keys, on the UI thread
  void SignedIn();            // UI thread: "登录成功", then the board configuration

  void StartUpdateCheck(const std::string& updateUrl);  // UI thread
  void UpdateCheckDone(int outcome, const std::string& address);  // UI thread
  void StartUpdater(const std::string& address);        // UI thread

  LoginView* view_;                  // not owned; outlives the chain
  LoginChainSettings settings_;      // read at construction
  std::mutex lock_;                  // pending_, requestId_
  std::deque<UiStep> pending_;       // changes for the UI thread, in order
  int requestId_ = 0;                // the request in flight (0: none)
  bool busy_ = false;                // UI thread
  bool finished_ = false;            // UI thread
  LoginResults results_;             // written by one step at a time, read on the UI thread
  char sessionKey_[33] = {};         // the fall-back's session key, until its reply
  std::string updateMessage_;        // UpdateMsg of the server list, UI thread
  std::thread updateThread_;         // the update.ini download
  std::atomic<bool> stopping_{false};  // the destructor runs: the download cancels
};

// Pieces of the chain that tests and the site dialog use on their own.

// The parts of a server-list reply (already unpacked). found is false when
// Ctrl, its top-level SevLstVer or PCSevList is missing.
struct ServerListReply {
  bool found = false;
  std::string serverDirectory;  // the PCSevList content
  std::string update;           // Update
  std::string updateUrl;        // UpdateUrl
  std::string updateMessage;    // UpdateMsg
};
ServerListReply ParseServerListReply(const char* body, int length);

// The address of the server's update.ini: the base with one trailing '/'
// removed, then "/update.ini".
std::string UpdateIniAddress(const std::string& updateUrl);

// 16 random bytes as 32 upper-case hexadecimal characters and a zero in key.
void MakeSessionKey(char key[33]);

// Adds the 7-byte entry (6 code bytes, the market byte) to res\own.data
// unless an equal entry is there. 1 added, 0 already there, -1 not written.
int AppendOwnStockEntry(const char* code, int market);
