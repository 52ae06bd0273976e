#include "addin/testhost/fake_host.h"
#include "addin/testhost/host_script.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/controls/win_controls.h"
#include "platform/gdi/win_gdi.h"

namespace {

std::string Text(const char* text) { return text != nullptr ? text : "(null)"; }

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char buffer[2048];
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

// A copy into the caller's buffer as a host would make it: bounded, with
// the zero; the length copied.
int CopyOut(const std::string& text, char* buffer, int size) {
  if (buffer == nullptr || size < 1) return 0;
  std::size_t length = std::min(text.size(), static_cast<std::size_t>(size) - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return static_cast<int>(length);
}

// The host's controls: layer controls with their typed interface.
class FakeControl final : public IQarnControl, public IQarnSafeEdit, public IQarnLabel {
 public:
  FakeControl(FakePort* port, bool safeEdit, HWND window) : port_(port), safeEdit_(safeEdit), window_(window) {}
  HWND GetWindow() override { return window_; }
  void* GetTypedInterface(int which) override {
    if (which != 0) return nullptr;
    if (safeEdit_) return static_cast<IQarnSafeEdit*>(this);
    return static_cast<IQarnLabel*>(this);
  }
  void SetMaxLength(int length) override { SendMessageW(window_, EM_LIMITTEXT, static_cast<WPARAM>(length), 0); }
  int GetText(char* buffer, int size) override {
    std::u16string text(static_cast<std::size_t>(GetWindowTextLengthW(window_)) + 1, u'\0');
    int units = GetWindowTextW(window_, text.data(), static_cast<int>(text.size()));
    return CopyOut(WideToUtf8(std::u16string_view(text.data(), static_cast<std::size_t>(units))), buffer, size);
  }
  void SetText(const char* text) override { SetWindowTextW(window_, Utf8ToWide(text != nullptr ? text : "").c_str()); }
  void SetTextColour(COLORREF colour) override { port_->labelColours[window_] = colour; }

 private:
  FakePort* port_;
  bool safeEdit_;
  HWND window_;
};

}  // namespace

// --- FakeJob ---------------------------------------------------------------

void FakeJob::SetRequestMode(int mode) { calls.push_back(Format("SetRequestMode(%d)", mode)); }
void FakeJob::SetFunction(int function) { calls.push_back(Format("SetFunction(%d)", function)); }
void FakeJob::SetField(int id, const char* text, int encrypt) {
  calls.push_back(Format("SetField(%d,%s,%d)", id, Text(text).c_str(), encrypt));
}
void FakeJob::SetFieldNumber(int id, int number) { calls.push_back(Format("SetFieldNumber(%d,%d)", id, number)); }
int FakeJob::Submit(HWND window, UINT message, LPARAM code, int reserved) {
  calls.push_back(Format("Submit(%s,%u,%ld,%d)", window != nullptr ? "dlg" : "0", message, static_cast<long>(code),
                         reserved));
  if (window != nullptr) port_->AnswerRequest(this, window, message, code);
  return 1;
}
void FakeJob::Fail(int code, const char* text) { calls.push_back(Format("Fail(%d,%s)", code, Text(text).c_str())); }
void FakeJob::TakeAnswer(IQarnJob* answer) { calls.push_back(answer != nullptr ? "TakeAnswer(job)" : "TakeAnswer(0)"); }
int FakeJob::GetField(int id, char* buffer, int size, int) {
  if (row >= rows.size()) return -1;
  auto found = rows[row].find(id);
  if (found == rows[row].end()) return -1;
  return CopyOut(found->second, buffer, size);
}
IQarnClient* FakeJob::GetClient() {
  if (client_ == nullptr) return nullptr;
  ++client_->references;
  return client_;
}

// --- FakeClient -------------------------------------------------------------

FakeClient::FakeClient(FakePort* port) : port_(port) {}

void FakeClient::Disconnect(HWND, int, int, int, int) { ++disconnects; }
IQarnJob* FakeClient::CreateJob(void* origin, int originCode) {
  if (noRequestJob) return nullptr;
  FakeJob* job = port_->NewJob(this);
  job->origin = origin;
  job->originCode = originCode;
  createdJobs.push_back(job);
  return job;
}
int FakeClient::GetAccount(char* buffer, int size) { return CopyOut(account, buffer, size); }

// --- FakeConnectJob ----------------------------------------------------------

void FakeConnectJob::SetClassificationName(const char* name) {
  calls.push_back(Format("SetClassificationName(%s)", Text(name).c_str()));
}
void FakeConnectJob::SetClassification(int number, const char* text) {
  calls.push_back(Format("SetClassification(%d,%s)", number, Text(text).c_str()));
}
void FakeConnectJob::SetNlb(int nlb) { calls.push_back(Format("SetNlb(%d)", nlb)); }
void FakeConnectJob::AddSite(const char* name, const char* address, int port, int flag, int reserved) {
  calls.push_back(Format("AddSite(%s,%s,%d,%d,%d)", Text(name).c_str(), Text(address).c_str(), port, flag, reserved));
}
void FakeConnectJob::SelectSite(int index) { calls.push_back(Format("SelectSite(%d)", index)); }
void FakeConnectJob::SetSiteHostType(int hostType) { calls.push_back(Format("SetSiteHostType(%d)", hostType)); }
void FakeConnectJob::SetTimeout(int milliseconds) { calls.push_back(Format("SetTimeout(%d)", milliseconds)); }
void FakeConnectJob::SetUser(int kind, const char* user, const char* password, const char* extra) {
  calls.push_back(Format("SetUser(%d,%s,%s,%s)", kind, Text(user).c_str(), Text(password).c_str(), Text(extra).c_str()));
}
int FakeConnectJob::Start(HWND window, HWND owner, UINT message, LPARAM code, int reserved) {
  calls.push_back(Format("Start(%s,%s,%u,%ld,%d)", window != nullptr ? "dlg" : "0", owner != nullptr ? "dlg" : "0",
                         message, static_cast<long>(code), reserved));
  port_->AnswerConnect(window, message, code);
  return 1;
}
void FakeConnectJob::Release() {
  calls.push_back("Release");
  ++releases;
}

// --- FakeGui and FakeComm ----------------------------------------------------

int FakeGui::MessageBox(const char* text, const char* caption, UINT flags, int, int) {
  boxes.push_back(Box{Text(text), Text(caption), flags});
  if (!answers.empty()) {
    int answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
  return (flags & 0xF) == MB_YESNO ? IDYES : IDOK;
}

IQarnConnectJob* FakeComm::CreateConnectJob(int kind, int mode, int reserved) {
  calls.push_back(Format("CreateConnectJob(%d,%d,%d)", kind, mode, reserved));
  if (noJob) return nullptr;
  jobs.push_back(std::make_unique<FakeConnectJob>(port_));
  return jobs.back().get();
}

// --- FakePort -----------------------------------------------------------------

FakePort::FakePort() { connectionClient = NewClient(); }
FakePort::~FakePort() = default;

int FakePort::PreTranslateHostMessage(HWND window, MSG*) {
  preTranslated.push_back(window);
  return 0;
}

int FakePort::HookDialogMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  hookSeen.push_back(message);
  if (message == WM_CTLCOLORSTATIC) {
    // The host paints its own labels in the colour given to them.
    auto label = labelColours.find(reinterpret_cast<HWND>(lParam));
    if (label == labelColours.end()) return 0;
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, label->second);
    SetBkMode(dc, TRANSPARENT);
    if (result != nullptr) *result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    return 1;
  }
  auto found = hookedMessages.find(message);
  if (found == hookedMessages.end()) return 0;
  if (result != nullptr) *result = found->second;
  return 1;
}

void FakePort::SetBusy(int flag) {
  busy = flag;
  busyChanges.push_back(flag);
}

int FakePort::GetClassificationId(const char* name) {
  auto found = classificationIds.find(Text(name));
  return found != classificationIds.end() ? found->second : 0;
}

void* FakePort::GetService(const char* name) {
  std::string service = Text(name);
  serviceLookups.push_back(service);
  if (service == kServiceGui && withGui) return static_cast<IQarnGUIUtility*>(&gui);
  if (service == kServiceComm && withComm) return static_cast<IQarnComm*>(&comm);
  return nullptr;
}

IQarnControl* FakePort::CreateControl(const char* className, HWND parent, const RECT* rect, int id, DWORD style,
                                      const char* text) {
  std::string kind = Text(className);
  bool safeEdit = kind == "SafeEdit";
  if ((!safeEdit && kind != "Label") || rect == nullptr) return nullptr;
  DWORD windowStyle = WS_CHILD | (style & (WS_VISIBLE | WS_TABSTOP | WS_DISABLED | WS_GROUP));
  windowStyle |= safeEdit ? (ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER) : (style & 0xFF);
  HWND window = CreateWindowExW(0, safeEdit ? u"EDIT" : u"STATIC", Utf8ToWide(text != nullptr ? text : "").c_str(),
                                windowStyle, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
                                parent, reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr, nullptr);
  if (window == nullptr) return nullptr;
  ++createdControls;
  return new FakeControl(this, safeEdit, window);
}

void FakePort::DestroyControl(IQarnControl* control) {
  if (control == nullptr) return;
  ++destroyedControls;
  HWND window = control->GetWindow();
  labelColours.erase(window);
  if (IsWindow(window)) DestroyWindow(window);
  delete static_cast<FakeControl*>(control);
}

IQarnJob* FakePort::GetJob(WPARAM handle) {
  ++getJobCalls;
  auto found = jobTable_.find(handle);
  return found != jobTable_.end() ? found->second : nullptr;
}

void FakePort::Trace(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char buffer[2048];
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  traces.push_back(buffer);
}

WPARAM FakePort::AddJob(FakeJob* job) {
  WPARAM handle = nextHandle_++;
  jobTable_[handle] = job;
  lastHandle = handle;
  return handle;
}

FakeJob* FakePort::NewJob(FakeClient* client) {
  jobs_.push_back(std::make_unique<FakeJob>(this, client));
  return jobs_.back().get();
}

FakeClient* FakePort::NewClient() {
  clients_.push_back(std::make_unique<FakeClient>(this));
  return clients_.back().get();
}

void FakePort::QueueNotify(HWND window, UINT message, WPARAM handle, LPARAM code, unsigned delayMs) {
  pending_.push_back(Pending{window, message, handle, code, GetTickCount64() + delayMs});
}

int FakePort::DeliverDue() {
  int posted = 0;
  ULONGLONG now = GetTickCount64();
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (it->due > now) {
      ++it;
      continue;
    }
    PostMessageW(it->window, it->message, it->handle, it->code);
    ++posted;
    it = pending_.erase(it);
  }
  return posted;
}

namespace {

void ApplyScript(FakeJob* job, const FakeAnswerScript& script) {
  job->errorKind = script.errorKind;
  job->errorCode = script.errorCode;
  job->errorText = script.errorText;
  job->rows = script.rows;
}

}  // namespace

void FakePort::AnswerConnect(HWND window, UINT message, LPARAM code) {
  WPARAM handle = 9999;  // names no job
  if (!connectAnswer.noJob) {
    FakeJob* answer = NewJob(connectionClient);
    ApplyScript(answer, connectAnswer);
    handle = AddJob(answer);
  }
  QueueNotify(window, message, handle, code, connectAnswer.delayMs);
}

void FakePort::AnswerRequest(FakeJob*, HWND window, UINT message, LPARAM code) {
  WPARAM handle = 9999;
  if (!requestAnswer.noJob) {
    FakeJob* answer = NewJob(connectionClient);
    ApplyScript(answer, requestAnswer);
    handle = AddJob(answer);
  }
  QueueNotify(window, message, handle, code, requestAnswer.delayMs);
}

HWND FindTopLevel(const char16_t* title) {
  HWND window = FindWindowW(nullptr, title);
  return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}
