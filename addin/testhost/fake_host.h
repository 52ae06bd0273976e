// A scripted host terminal for the plug-in: the host port with its
// services, connection jobs, jobs and clients, recording every call the
// plug-in makes and answering as the test scripts it. Used by the plug-in's
// tests and by the quorath_host program.
//
// Ownership: the port owns every job and client it hands out; Release only
// counts (so a test can check that each reference was released once, and
// a late call on a released object is still harmless).
//
// Answers: a started connection job, and a submitted request job given a
// window, queue a WM_ACCOUNT_JOB_NOTIFY (handle, code) that is due after
// the scripted delay on GetTickCount64 (a ManualClock in tests);
// DeliverDue posts the due ones to their windows.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "addin/host_interfaces.h"
#include "addin/lite_xml.h"

class FakePort;
class FakeClient;

// One call as the fake recorded it, e.g. "SetField(803,secret,1)".
using CallLog = std::vector<std::string>;

// How the host answers a job: after delayMs, with an error kind (0:
// success), code and text; rows of fields for the answer job.
struct FakeAnswerScript {
  unsigned delayMs = 0;
  int errorKind = 0;
  int errorCode = 0;
  std::string errorText;
  std::vector<std::map<int, std::string>> rows;
  bool noJob = false;  // the handle names no job (GetJob gives null)
};

class FakeJob final : public IQarnJob, public IQarnJobOwner {
 public:
  FakeJob(FakePort* port, FakeClient* client) : port_(port), client_(client) {}

  void Release() override { ++releases; }
  void* GetOrigin() override { return origin; }
  int GetOriginCode() override { return originCode; }
  void SetRequestMode(int mode) override;
  void SetFunction(int function) override;
  void SetField(int id, const char* text, int encrypt) override;
  void SetFieldNumber(int id, int number) override;
  int Submit(HWND window, UINT message, LPARAM code, int reserved) override;
  void Fail(int code, const char* text) override;
  void TakeAnswer(IQarnJob* answer) override;
  int GetErrorKind() override { return errorKind; }
  int GetErrorCode() override { return errorCode; }
  const char* GetErrorText() override { return errorText.c_str(); }
  IQarnJobOwner* GetOwner() override { return noOwner ? nullptr : this; }
  void FirstRow() override { row = 0; }
  int HasRow() override { return row < rows.size() ? 1 : 0; }
  int GetField(int id, char* buffer, int size, int reserved) override;
  // IQarnJobOwner: a new reference to the client, or null.
  IQarnClient* GetClient() override;

  CallLog calls;                 // every call in order
  int releases = 0;
  void* origin = nullptr;
  int originCode = 0;
  int errorKind = 0;
  int errorCode = 0;
  std::string errorText;
  bool noOwner = false;
  std::vector<std::map<int, std::string>> rows;
  std::size_t row = 0;

 private:
  FakePort* port_;
  FakeClient* client_;  // the job's client, or null
};

class FakeClient final : public IQarnClient {
 public:
  explicit FakeClient(FakePort* port);

  void Release() override { ++releases; }
  int GetLoginType() override { return loginType; }
  void Disconnect(HWND window, int a, int b, int c, int d) override;
  IQarnJob* CreateJob(void* origin, int originCode) override;
  int GetMode() override { return mode; }
  int GetPhase() override { return phase; }
  int GetAccount(char* buffer, int size) override;
  const char* GetCustomerCode() override { return customerCode.c_str(); }
  ILiteXmlDocument* GetConfigXml() override { return noConfigXml ? nullptr : &config; }

  int loginType = 0;
  int mode = 0;
  int phase = 0;
  std::string account;
  std::string customerCode;
  bool noRequestJob = false;   // CreateJob gives null
  bool noConfigXml = false;
  LiteXmlDocument config{"ROOT"};
  int releases = 0;
  int references = 0;          // references handed out by the owners' GetClient
  int disconnects = 0;
  std::vector<FakeJob*> createdJobs;

 private:
  FakePort* port_;
};

class FakeConnectJob final : public IQarnConnectJob {
 public:
  explicit FakeConnectJob(FakePort* port) : port_(port) {}
  void SetClassificationName(const char* name) override;
  void SetClassification(int number, const char* text) override;
  void SetNlb(int nlb) override;
  void AddSite(const char* name, const char* address, int port, int flag, int reserved) override;
  void SelectSite(int index) override;
  void SetSiteHostType(int hostType) override;
  void SetTimeout(int milliseconds) override;
  void SetUser(int kind, const char* user, const char* password, const char* extra) override;
  int Start(HWND window, HWND owner, UINT message, LPARAM code, int reserved) override;
  void Release() override;

  CallLog calls;
  int releases = 0;

 private:
  FakePort* port_;
};

class FakeGui final : public IQarnGUIUtility {
 public:
  struct Box {
    std::string text;
    std::string caption;
    UINT flags;
  };
  int MessageBox(const char* text, const char* caption, UINT flags, int reserved1, int reserved2) override;

  std::vector<Box> boxes;
  std::vector<int> answers;  // answered in order; when empty IDYES for questions, else IDOK
};

class FakeComm final : public IQarnComm {
 public:
  explicit FakeComm(FakePort* port) : port_(port) {}
  IQarnConnectJob* CreateConnectJob(int kind, int mode, int reserved) override;

  CallLog calls;
  bool noJob = false;
  std::vector<std::unique_ptr<FakeConnectJob>> jobs;

 private:
  FakePort* port_;
};

class FakePort final : public IAddinPort {
 public:
  FakePort();
  ~FakePort();
  FakePort(const FakePort&) = delete;
  FakePort& operator=(const FakePort&) = delete;

  int PreTranslateHostMessage(HWND window, MSG* message) override;
  int HookDialogMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  HWND GetMainWindow() override { return mainWindow; }
  void NotifyUserActivity() override { ++userActivity; }
  void SetBusy(int flag) override;
  int IsBusy() override { return busy; }
  int GetClassificationId(const char* name) override;
  const char* GetClassificationName() override { return classificationName.c_str(); }
  void* GetService(const char* name) override;
  IQarnControl* CreateControl(const char* className, HWND parent, const RECT* rect, int id, DWORD style,
                              const char* text) override;
  void DestroyControl(IQarnControl* control) override;
  ILiteXmlDocument* GetConfigXml() override { return noConfigXml ? nullptr : &config; }
  IQarnJob* GetJob(WPARAM handle) override;
  void Trace(const char* format, ...) override __attribute__((format(printf, 2, 3)));

  // Script and records --------------------------------------------------
  // Registers job under a new handle (job table of GetJob).
  WPARAM AddJob(FakeJob* job);
  // A new job owned by the port, for client (may be null).
  FakeJob* NewJob(FakeClient* client);
  // A new client owned by the port.
  FakeClient* NewClient();
  // Queues WM_ACCOUNT_JOB_NOTIFY (handle, code) to window, due after delayMs.
  void QueueNotify(HWND window, UINT message, WPARAM handle, LPARAM code, unsigned delayMs);
  // Posts every queued notification that is due; the number posted.
  int DeliverDue();
  int PendingCount() const { return static_cast<int>(pending_.size()); }
  // Answers the connection job started for window (script connectAnswer).
  void AnswerConnect(HWND window, UINT message, LPARAM code);
  // Answers the request job submitted for window (script requestAnswer).
  void AnswerRequest(FakeJob* request, HWND window, UINT message, LPARAM code);

  FakeGui gui;
  FakeComm comm{this};
  bool withGui = true;
  bool withComm = true;
  std::vector<std::string> serviceLookups;  // names asked of GetService, in order
  std::string classificationName = "Orvenna";
  std::map<std::string, int> classificationIds;  // name → id; missing names give 0
  LiteXmlDocument config{"ROOT"};
  bool noConfigXml = false;
  HWND mainWindow = nullptr;
  int busy = 0;
  std::vector<int> busyChanges;  // every SetBusy flag in order
  int userActivity = 0;
  std::vector<std::string> traces;
  std::vector<HWND> preTranslated;  // windows offered to PreTranslateHostMessage
  // Messages HookDialogMessage handles: message → result.
  std::map<UINT, LRESULT> hookedMessages;
  std::vector<UINT> hookSeen;
  // The colours given to the host's labels (painted through the dialog hook).
  std::map<HWND, COLORREF> labelColours;
  FakeAnswerScript connectAnswer;   // how started connection jobs answer
  FakeAnswerScript requestAnswer;   // how submitted requests answer
  FakeClient* connectionClient = nullptr;  // the client of the connection (made at construction)
  int getJobCalls = 0;
  WPARAM lastHandle = 0;  // the handle AddJob gave last
  int createdControls = 0;
  int destroyedControls = 0;

 private:
  struct Pending {
    HWND window;
    UINT message;
    WPARAM handle;
    LPARAM code;
    unsigned long long due;
  };
  std::vector<std::unique_ptr<FakeJob>> jobs_;
  std::vector<std::unique_ptr<FakeClient>> clients_;
  std::map<WPARAM, FakeJob*> jobTable_;
  WPARAM nextHandle_ = 100;
  std::vector<Pending> pending_;
};
