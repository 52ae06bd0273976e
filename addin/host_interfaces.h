// The interfaces between the host trading terminal and its add-ins.
//
// The host loads an add-in library, calls its only export Addin_GetObject
// and from then on talks to it through abstract classes, in both
// directions: the host's port, services, controls, jobs, clients and XML
// objects (first half of this file), and the add-in's object, feature
// entries and features (second half). Both sides call each other BY SLOT
// POSITION: the order of the virtual operations of every class below is an
// interface. Never reorder, insert or remove a slot; a new operation would
// need a new interface and a new row of the version table.
//
// Texts are zero-terminated UTF-8 on both sides. Window handles are the
// platform layer's HWND. Every pointer the host returns may be null; the
// caller treats null as the operation's failure. Objects that come with a
// Release are the caller's reference: it releases each one once.
#pragma once

#include <cstdint>

#include "addin/lite_xml.h"
#include "platform/window/win_user.h"

// Posted by the host to the window given to Start or Submit: wParam the job
// handle for IAddinPort::GetJob, lParam the code the caller gave.
constexpr UINT WM_ACCOUNT_JOB_NOTIFY = 6024;
// Posted by the add-in to the window of a view feature it set up.
constexpr UINT WM_FEATURE_VIEW_INIT = 6025;

// Codes given with WM_ACCOUNT_JOB_NOTIFY.
constexpr LPARAM kJobCodeConnected = 1234;            // the connection job's link is up
constexpr LPARAM kJobCodeRegistered = 4280;           // the sign-up request's answer
constexpr LPARAM kJobCodePasswordChanged = 4282;      // the password request's answer
constexpr int kAccountFunction = 4230;                // the account request function

// ---------------------------------------------------------------------------
// The host's side.

class IQarnClient;
class IQarnJob;
class IQarnControl;

// Controls made by IAddinPort::CreateControl; GetTypedInterface(0) gives
// one of these, by the control's class name.
class IQarnSafeEdit {  // class "SafeEdit": a password field
 public:
  virtual void SetMaxLength(int length) = 0;
  virtual int GetText(char* buffer, int size) = 0;  // the length copied, without the zero
  virtual void SetText(const char* text) = 0;

 protected:
  ~IQarnSafeEdit() = default;
};

class IQarnLabel {  // class "Label": a static text
 public:
  virtual void SetText(const char* text) = 0;
  virtual void SetTextColour(COLORREF colour) = 0;

 protected:
  ~IQarnLabel() = default;
};

class IQarnControl {
 public:
  virtual HWND GetWindow() = 0;
  virtual void* GetTypedInterface(int which) = 0;  // 0: IQarnSafeEdit* or IQarnLabel*

 protected:
  ~IQarnControl() = default;
};

// The job that opens a link to a trading site. SetSiteHostType applies to
// the site added last.
class IQarnConnectJob {
 public:
  virtual void SetClassificationName(const char* name) = 0;
  virtual void SetClassification(int number, const char* text) = 0;
  virtual void SetNlb(int nlb) = 0;
  virtual void AddSite(const char* name, const char* address, int port, int flag, int reserved) = 0;
  virtual void SelectSite(int index) = 0;
  virtual void SetSiteHostType(int hostType) = 0;
  virtual void SetTimeout(int milliseconds) = 0;
  virtual void SetUser(int kind, const char* user, const char* password, const char* extra) = 0;
  virtual int Start(HWND window, HWND owner, UINT message, LPARAM code, int reserved) = 0;
  virtual void Release() = 0;

 protected:
  ~IQarnConnectJob() = default;
};

// What a job belongs to (GetClient gives a new reference, or null).
class IQarnJobOwner {
 public:
  virtual IQarnClient* GetClient() = 0;

 protected:
  ~IQarnJobOwner() = default;
};

class IQarnJob {
 public:
  virtual void Release() = 0;
  virtual void* GetOrigin() = 0;
  virtual int GetOriginCode() = 0;
  virtual void SetRequestMode(int mode) = 0;
  virtual void SetFunction(int function) = 0;
  virtual void SetField(int id, const char* text, int encrypt) = 0;  // text null: no value
  virtual void SetFieldNumber(int id, int number) = 0;
  virtual int Submit(HWND window, UINT message, LPARAM code, int reserved) = 0;
  virtual void Fail(int code, const char* text) = 0;
  virtual void TakeAnswer(IQarnJob* answer) = 0;
  virtual int GetErrorKind() = 0;  // 0: success
  virtual int GetErrorCode() = 0;
  virtual const char* GetErrorText() = 0;
  virtual IQarnJobOwner* GetOwner() = 0;
  virtual void FirstRow() = 0;
  virtual int HasRow() = 0;
  // Copies field id of the current row into buffer (size bytes with the
  // zero); the length copied, or -1 when the row has no such field.
  virtual int GetField(int id, char* buffer, int size, int reserved) = 0;

 protected:
  ~IQarnJob() = default;
};

// A connection to a trading server.
class IQarnClient {
 public:
  virtual void Release() = 0;
  virtual int GetLoginType() = 0;
  virtual void Disconnect(HWND window, int a, int b, int c, int d) = 0;
  virtual IQarnJob* CreateJob(void* origin, int originCode) = 0;  // a new job, or null
  virtual int GetMode() = 0;
  virtual int GetPhase() = 0;
  virtual int GetAccount(char* buffer, int size) = 0;  // size 64 in every use
  virtual const char* GetCustomerCode() = 0;            // decimal text
  virtual ILiteXmlDocument* GetConfigXml() = 0;         // the host's; never released

 protected:
  ~IQarnClient() = default;
};

// The reference through which the host hands a login answer over; its
// first operation gives the answer job (a new reference, or null).
class IQarnAnswerRef {
 public:
  virtual IQarnJob* GetJob() = 0;

 protected:
  ~IQarnAnswerRef() = default;
};

// Service "QarnGUIUtility".
class IQarnGUIUtility {
 public:
  // A message box owned by the host: the button id (IDOK, IDYES, ...).
  virtual int MessageBox(const char* text, const char* caption, UINT flags, int reserved1, int reserved2) = 0;

 protected:
  ~IQarnGUIUtility() = default;
};

// Service "QarnComm".
class IQarnComm {
 public:
  virtual IQarnConnectJob* CreateConnectJob(int kind, int mode, int reserved) = 0;

 protected:
  ~IQarnComm() = default;
};

// The services named by GetService; the skin, Gina and note services are
// only looked up and kept, never called.
constexpr const char* kServiceSkin = "QarnSkinUtility";
constexpr const char* kServiceGui = "QarnGUIUtility";
constexpr const char* kServiceComm = "QarnComm";
constexpr const char* kServiceGina = "QarnGina";
constexpr const char* kServiceNote = "QarnNoteUtility";

// The host port, given to IAddin::AttachHost.
class IAddinPort {
 public:
  virtual int PreTranslateHostMessage(HWND window, MSG* message) = 0;  // non-zero: handled
  // Offered every message of an add-in dialog first; non-zero: handled,
  // and *result is the dialog's answer.
  virtual int HookDialogMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) = 0;
  virtual HWND GetMainWindow() = 0;
  virtual void NotifyUserActivity() = 0;
  virtual void SetBusy(int busy) = 0;
  virtual int IsBusy() = 0;
  virtual int GetClassificationId(const char* name) = 0;
  virtual const char* GetClassificationName() = 0;
  // The named service's interface (IQarnGUIUtility*, IQarnComm*, ...), or null.
  virtual void* GetService(const char* name) = 0;
  virtual IQarnControl* CreateControl(const char* className, HWND parent, const RECT* rect, int id,
                                      DWORD style, const char* text) = 0;
  virtual void DestroyControl(IQarnControl* control) = 0;
  virtual ILiteXmlDocument* GetConfigXml() = 0;  // the host's; never released
  virtual IQarnJob* GetJob(WPARAM handle) = 0;    // a new reference, or null
  virtual void Trace(const char* format, ...) = 0;

 protected:
  ~IAddinPort() = default;
};

// ---------------------------------------------------------------------------
// The add-in's side.

// One row of the add-in's interface-version table (texts not owned).
struct InterfaceVersionRow {
  const char* name;     // "IAddinPort", ...
  const char* version;  // "6.12", ...
  int number;           // 4 in every row
};

class IFeatureEntry;
class FeatureObject;  // the add-in's own base of its feature objects

// A feature class record: how the factory makes a feature object.
struct FeatureClassRecord {
  const char* className;
  int objectSize;              // bytes
  int flags;                   // 0: the record is not reported by GetRuntimeClass
  FeatureObject* (*create)();  // allocates and constructs one object
};

// The add-in object that Addin_GetObject returns.
class IAddin {
 public:
  virtual const char* GetName() = 0;
  virtual const char* GetDescription() = 0;
  virtual const char* GetBuildDate() = 0;
  virtual const char* GetBuildTime() = 0;
  // With a buffer and capacity > 0 copies min(capacity, rows) rows and
  // returns that count; otherwise returns the row count.
  virtual int GetInterfaceVersions(InterfaceVersionRow* buffer, int capacity) = 0;
  virtual int AttachHost(IAddinPort* port) = 0;
  virtual void NoOperation() = 0;
  virtual IAddinPort* GetHost() = 0;
  virtual int GetFeatureEntries(IFeatureEntry** buffer, int capacity) = 0;  // as GetInterfaceVersions
  virtual int PreTranslateAddinMessage(HWND window, MSG* message) = 0;
  virtual int OnBeforeCreateFeature(IFeatureEntry* entry, std::intptr_t argument, void* existing,
                                    void** resultSlot, int* resultValue) = 0;
  virtual void RefreshServices(std::intptr_t ignored) = 0;
  virtual void IgnoreNotification1(std::intptr_t) = 0;
  virtual void IgnoreNotification2(std::intptr_t) = 0;
  virtual void IgnoreNotification3(std::intptr_t) = 0;
  virtual void IgnoreNotification4(std::intptr_t) = 0;
  virtual void IgnoreNotification5(std::intptr_t) = 0;
  virtual void IgnoreNotification6(std::intptr_t) = 0;
  virtual void IgnoreNotification7(std::intptr_t) = 0;
  virtual void IgnoreNotification8(std::intptr_t) = 0;
  virtual void IgnoreNotification9(std::intptr_t) = 0;
  virtual void IgnoreNotification10(std::intptr_t) = 0;
  virtual void IgnoreNotification11(std::intptr_t) = 0;
  virtual void IgnoreNotification12(std::intptr_t) = 0;
  virtual void IgnoreNotification13(std::intptr_t) = 0;
  virtual void IgnoreNotification14(std::intptr_t) = 0;
  virtual void IgnoreNotificationPair(std::intptr_t, std::intptr_t) = 0;
  virtual int OnHostEvent(int code, std::intptr_t value, std::intptr_t, std::intptr_t, std::intptr_t) = 0;
  virtual ~IAddin() = default;
};

// One feature the add-in offers.
class IFeatureEntry {
 public:
  virtual int GetKind() = 0;
  virtual int GetId() = 0;
  virtual const char* GetName() = 0;
  virtual const char* GetCaption() = 0;
  virtual const FeatureClassRecord* GetRuntimeClass() = 0;
  // Clears *resultSlot, then makes or reuses the feature; 1 or 0.
  virtual int CreateFeature(std::intptr_t argument, void* existing, void** resultSlot) = 0;
  virtual ~IFeatureEntry() = default;
};

// The value-keeping feature (kind 1): 25 slots. The 19 after AttachHost do
// nothing; the last returns 0.
class IValueFeature {
 public:
  virtual void* GetOwner() = 0;
  virtual std::intptr_t GetValue() = 0;
  virtual void SetValue(std::intptr_t value) = 0;
  virtual void Release() = 0;
  virtual IValueFeature* QueryFeature(int flag) = 0;  // itself for 0, else null
  virtual int AttachHost(IAddinPort* port) = 0;       // 1
  virtual void Idle1() = 0;
  virtual void Idle2() = 0;
  virtual void Idle3(std::intptr_t) = 0;
  virtual void Idle4(std::intptr_t) = 0;
  virtual void Idle5(std::intptr_t) = 0;
  virtual void Idle6(std::intptr_t) = 0;
  virtual void Idle7(std::intptr_t) = 0;
  virtual void Idle8(std::intptr_t) = 0;
  virtual void Idle9(std::intptr_t) = 0;
  virtual void Idle10(std::intptr_t) = 0;
  virtual void Idle11(std::intptr_t) = 0;
  virtual void Idle12(std::intptr_t) = 0;
  virtual void Idle13(std::intptr_t) = 0;
  virtual void Idle14(std::intptr_t) = 0;
  virtual void Idle15(std::intptr_t) = 0;
  virtual void Idle16(std::intptr_t) = 0;
  virtual void Idle17(std::intptr_t) = 0;
  virtual void Idle18(std::intptr_t, std::intptr_t) = 0;
  virtual int Idle19(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t) = 0;

 protected:
  ~IValueFeature() = default;
};

// The login extension (kind 102).
class ILoginExtension {
 public:
  virtual void* GetSelf() = 0;
  virtual std::intptr_t GetValue() = 0;
  virtual void SetValue(std::intptr_t value) = 0;
  virtual void Release() = 0;
  // Before the host's login: 1 (an extra request was sent), 0 or -1.
  virtual int OnBeforeLogin(IQarnJob* login) = 0;
  // After the login answer: 0 or -1.
  virtual int OnLoginAnswer(IQarnJob* login, IQarnAnswerRef* answer) = 0;
  virtual ~ILoginExtension() = default;
  virtual const FeatureClassRecord* GetRuntimeClass() = 0;
};

// The export: extern "C" IAddin* Addin_GetObject();
using AddinGetObjectFunction = IAddin* (*)();
