// What every piece of the plug-in uses to talk to the host terminal: the
// set of host pointers each object carries, the reference holders for host
// objects, the site table and connection job of the connecting dialogs, the
// answer steps those dialogs share, the XML adaptor over the host's XML
// objects, the message boxes and a bounded formatter.
//
// Everything runs on the host's user-interface thread. Every pointer the
// host hands out may be null; each operation below takes null as its
// failure path. Texts are UTF-8 and every copy of a host text is bounded and
// cut on a character boundary.
#pragma once

#include <cstddef>
#include <cstdint>

#include "addin/host_interfaces.h"
#include "platform/controls/win_controls.h"

// The plug-in's own resource module (its dialog templates and strings),
// set while the plug-in is loaded; null before.
HINSTANCE PluginModule();
void SetPluginModule(HINSTANCE module);

// Makes the plug-in's module the current resource module for one entry from
// the host (or one of the host's calls into a plug-in window), restoring the
// caller's on return.
class PluginModuleScope : public ResourceModuleScope {
 public:
  PluginModuleScope() : ResourceModuleScope(PluginModule()) {}
};

// The host pointers an add-in object, feature object or dialog carries (ten
// pointer-sized words, copied whole when passed on). Words 7 to 10 are
// filled only for feature objects.
struct HostServiceSet {
  IAddinPort* port = nullptr;        // 1: the host port
  void* skin = nullptr;              // 2: "QarnSkinUtility" (kept, never called)
  IQarnGUIUtility* gui = nullptr;    // 3: "QarnGUIUtility"
  IQarnComm* comm = nullptr;         // 4: "QarnComm"
  void* gina = nullptr;              // 5: "QarnGina" (kept, never called)
  void* note = nullptr;              // 6: "QarnNoteUtility" (kept, never called)
  void* ownerAddin = nullptr;        // 7: the owning add-in
  std::intptr_t unused = 0;          // 8: read by no operation
  std::intptr_t ownerEntry = 0;      // 9: the value GetValue/SetValue of features use
  std::intptr_t argument = 0;        // 10: the creation argument

  // Keeps port; with a port looks the five services up in the order above
  // (a service the host lacks stays null); without one empties all six.
  void Attach(IAddinPort* newPort);
};

// Holds one host object and releases it, when it holds one, on destruction.
// ConnectJobRef is used for connection jobs and clients, JobRef for jobs.
template <class T>
class HostRef {
 public:
  explicit HostRef(T* object = nullptr) : object_(object) {}
  ~HostRef() { Reset(); }
  HostRef(const HostRef&) = delete;
  HostRef& operator=(const HostRef&) = delete;

  T* Get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Releases the held object (if any) and holds object.
  void Reset(T* object = nullptr) {
    if (object_ != nullptr) object_->Release();
    object_ = object;
  }
  // Gives the object up without releasing it.
  T* Detach() {
    T* object = object_;
    object_ = nullptr;
    return object;
  }

 private:
  T* object_;
};
template <class T>
using ConnectJobRef = HostRef<T>;
using JobRef = HostRef<IQarnJob>;

// Message-box flags and captions of the plug-in's boxes.
constexpr UINT kBoxNotice = 48;    // exclamation, caption "提示"
constexpr UINT kBoxError = 16;     // error icon, caption "错误"
constexpr UINT kBoxSuccess = 64;   // information, caption "注册成功"
constexpr UINT kBoxQuestion = 36;  // question with Yes/No, caption "提示"

// Shows a box through the host's "QarnGUIUtility" and returns the button.
// Without that service no box is shown: the port (when there is one) gets
// the trace "MessageBox: <caption>: <text>" and 0 is returned, which is
// neither IDOK nor IDYES.
int HostMessageBox(const HostServiceSet& services, const char* text, const char* caption, UINT flags);

// The sites a connecting dialog may connect to, read by
// ReadConnectionSettings from the host's settings.
constexpr int kMaxSites = 150;
constexpr int kSiteTextSize = 50;  // bytes with the zero: 49 bytes of text

struct HostSite {
  char name[kSiteTextSize] = {};
  char address[kSiteTextSize] = {};
  std::uint16_t port = 0;
  std::int32_t hostType = 0;
};

struct SiteTable {
  char classificationName[260] = {};  // from the last matching "ITEM"
  std::int32_t classification = 0;    // the host's number for its classification name
  int siteCount = 0;                  // 0 to kMaxSites
  HostSite sites[kMaxSites];
  int primaryHost = 0;                // [WTHOST] PrimaryHost of t0002\usercomm.ini
  int nlb = 0;                        // [other] NLB of syscomm.ini
};

// Fills table from the INI files in the current directory and the host's
// config XML (see host_services.cpp). Missing files, XML objects, sections
// or keys leave the defaults (0, empty, no site). Reading stops at
// kMaxSites sites.
void ReadConnectionSettings(SiteTable* table, IAddinPort* port);

// The site given to SelectSite: PrimaryHost when it names a site of host
// type 3; when it names a site of another type, the first site of type 3,
// or PrimaryHost when there is none; when it names no site (negative, at
// or beyond the count) the first site of type 3, else site 0. -1 when the
// table has no site (then nothing is selected).
int SelectPrimarySite(const SiteTable& table);

// Creates the connection job through "QarnComm" and starts it for user,
// with WM_ACCOUNT_JOB_NOTIFY (code 1234) to dialog. false when there is no
// comm service or it gives no job (nothing is started).
bool StartConnectJob(const SiteTable& table, const HostServiceSet& services, const char* user, HWND dialog);

// What a connecting dialog supplies to the shared answer steps.
class AccountRequestSteps {
 public:
  // The fields of the request (SetField / SetFieldNumber) on job.
  virtual void FillRequest(IQarnJob* job) = 0;
  // The code the request's answer comes back with (4280 or 4282).
  virtual LPARAM FinalCode() = 0;
  // The success box's text.
  virtual void ShowSuccess() = 0;
  // After the "未知错误" box: a new picture code.
  virtual void OnUnknownJob() = 0;
  // After an error answer's box.
  virtual void OnErrorAnswer() = 0;
  // After the success: the dialog closes as cancelled.
  virtual void CloseCancelled() = 0;

 protected:
  ~AccountRequestSteps() = default;
};

// The client a connecting dialog keeps between the link's answer and the
// final answer. A dialog that closes in between leaves the client to the
// host (it is not released here).
class AccountConnection {
 public:
  AccountConnection() = default;
  AccountConnection(const AccountConnection&) = delete;
  AccountConnection& operator=(const AccountConnection&) = delete;

  // WM_ACCOUNT_JOB_NOTIFY of the dialog: the answer steps (unknown job,
  // error answer, link up → request 4230, final code → success). A code that
  // is neither 1234 nor the final one, or a final answer without a kept
  // client, only releases the job. Returns 0.
  LRESULT OnJobNotify(const HostServiceSet& services, HWND dialog, WPARAM handle, LPARAM code,
                      AccountRequestSteps& steps);
  IQarnClient* Client() const { return client_; }

 private:
  IQarnClient* client_ = nullptr;  // kept from the 1234 answer to the final one
};

// Formats into buffer (size bytes). size < 1 gives 0 and writes nothing.
// A text that does not fit (or exactly fills the buffer) is cut on a UTF-8
// character boundary within size - 1 bytes; the result is the length
// written without the zero.
int FormatBounded(char* buffer, int size, const char* format, ...) __attribute__((format(printf, 3, 4)));

// Copies text (null: empty) into buffer of size bytes, cut on a UTF-8
// character boundary; the length copied. Nothing is written when size < 1.
int CopyTextBounded(char* buffer, int size, const char* text);

// A LiteXmlDocumentEx ("ROOT", 936) whose 28 slots forward to a host XML
// object. The host's object is not owned and never released. Without one,
// the slots act on the document's own (empty) tree.
class HostXmlDocument : public LiteXmlDocumentEx {
 public:
  explicit HostXmlDocument(ILiteXmlDocument* host) : LiteXmlDocumentEx("ROOT", 936), host_(host) {}

  int GetNodeType(HXMLNODE node) override;
  const char* GetNodeName(HXMLNODE node) override;
  const char* GetNodeText(HXMLNODE node) override;
  HXMLNODE GetParent(HXMLNODE node) override;
  HXMLNODE GetFirstChild(HXMLNODE node) override;
  HXMLNODE GetNextSibling(HXMLNODE node) override;
  HXMLNODE FindChild(HXMLNODE parent, const char* name) override;
  HXMLNODE InsertNode(HXMLNODE parent, HXMLNODE after, const char* text, int length, int type) override;
  HXMLNODE AddChild(HXMLNODE parent, const char* name, int type, int flags) override;
  HXMLNODE MakePath(const char* path, int type, int flags) override;
  HXMLNODE FindPath(const char* path) override;
  int DeleteChildrenByAttribute(HXMLNODE parent, const char* name, const char* attrName,
                                const char* attrValue) override;
  int DeleteChildren(HXMLNODE parent, const char* name) override;
  int DeleteNode(HXMLNODE node) override;
  int SetNodeText(HXMLNODE node, const char* text) override;
  int SetNodeType(HXMLNODE node, int type) override;
  const char* GetAttrName(HXMLATTR attr) override;
  const char* GetAttributeValue(HXMLNODE node, const char* name) override;
  const char* GetAttrValue(HXMLATTR attr) override;
  HXMLATTR GetFirstAttribute(HXMLNODE node) override;
  HXMLATTR GetNextAttribute(HXMLATTR attr) override;
  HXMLATTR FindAttribute(HXMLNODE node, const char* name) override;
  HXMLATTR AppendAttribute(HXMLNODE node, HXMLATTR last) override;
  HXMLATTR AddEmptyAttribute(HXMLNODE node, const char* name) override;
  int SetAttribute(HXMLNODE node, const char* name, const char* value) override;
  int SetAttrNameValue(HXMLATTR attr, const char* name, const char* value) override;
  int RemoveAttribute(HXMLNODE node, const char* name) override;
  int RemoveAllAttributes(HXMLNODE node) override;

 private:
  ILiteXmlDocument* host_;  // the host's XML object, or null
};
