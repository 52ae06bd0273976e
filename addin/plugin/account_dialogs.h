// The plug-in's dialogs: the account entry dialog of feature
// "EmbDialog.FN3", the sign-up dialog and the change-password dialog, on
// the base dialog that lets the host see every message first, with the
// host-made controls that stand in for the password fields and captions.
//
// All run modally on the host's user-interface thread. The connecting
// dialogs read their sites at initialisation, check the input on OK, then
// open a link through the host (StartConnectJob) and send one account
// request when the link is up; the answers arrive as
// WM_ACCOUNT_JOB_NOTIFY posted by the host.
#pragma once

#include <string>

#include "addin/plugin/host_services.h"
#include "addin/plugin/picture_code.h"
#include "platform/mfc/afx_controls.h"

// Dialog resources and the ids the dialogs work with.
constexpr UINT IDD_ACCOUNT_ENTRY = 5002;
constexpr UINT IDD_REGISTER = 5000;
constexpr UINT IDD_CHANGE_PASSWORD = 5003;

// Registers the three templates under the current resource module.
void RegisterAccountDialogTemplates();

// The plug-in's message filter (the application object's), asked first by
// the pre-translation of every plug-in dialog; null: none.
void SetAddinMessageFilter(BOOL (*filter)(MSG*));
// A window object's own pre-translation without the plug-in's filter (the
// filter's walk over the windows uses it).
BOOL PluginPreTranslate(CWnd* object, MSG* message);

// The base of every dialog of the plug-in: a copy of its creator's host
// set, and a window procedure that offers every message to the host's
// IAddinPort::HookDialogMessage first (the host's answer wins).
class HostDialog : public CDialog {
 public:
  HostDialog(UINT templateId, CWnd* parent, const HostServiceSet& services)
      : CDialog(templateId, parent), services_(services) {}
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // The plug-in's message filter first, then the dialog's own keys.
  BOOL PreTranslateMessage(MSG* message) override;
  const HostServiceSet& Services() const { return services_; }

 protected:
  // WM_ACCOUNT_JOB_NOTIFY that the host did not take: the answer of a job
  // (wParam its handle, lParam the code the dialog gave). Returns 0.
  virtual LRESULT OnJobNotify(WPARAM, LPARAM) { return 0; }

  HostServiceSet services_;  // a copy of the creator's set
};

// A framework window object standing for a control the host made in its
// own skin ("SafeEdit" or "Label"). Its window handle is the host
// control's window; destroying the object has the host end the control.
class HostSkinnedControl : public CWnd {
 public:
  explicit HostSkinnedControl(const char* className) : className_(className) {}
  ~HostSkinnedControl() override;

  // Puts a host control in place of the dialog's child id: same rectangle,
  // style and text, directly behind it in the window order; the
  // placeholder is destroyed. 1, or 0 when there is no such child, its
  // rectangle is empty or the host made no control (the placeholder stays).
  virtual int ReplacePlaceholder(IAddinPort* port, HWND dialog, int id);
  // Ends a control the object has, then asks port for a new one. 1 or 0.
  virtual int Create(IAddinPort* port, HWND parent, const RECT& rect, int id, DWORD style, const char* text);
  // Create, child and visible with an empty text, then the typed interface.
  int CreateVisible(IAddinPort* port, HWND parent, const RECT& rect, int id);

  // The typed interface (0 until the control is made).
  void* TypedInterface() const { return typed_; }
  IQarnControl* Control() const { return control_; }

 protected:
  void FetchTypedInterface();

  const char* className_;           // "SafeEdit" or "Label"
  IAddinPort* port_ = nullptr;      // the port the control was made with
  IQarnControl* control_ = nullptr; // the host's control, or null
  void* typed_ = nullptr;           // IQarnSafeEdit* or IQarnLabel*
};

// A host "SafeEdit". Without a host control the texts go to and come from
// the dialog's own edit of that id (the placeholder that stayed).
class HostSafeEdit : public HostSkinnedControl {
 public:
  HostSafeEdit() : HostSkinnedControl("SafeEdit") {}
  // The text (UTF-8), cut to size - 1 bytes on a character boundary.
  std::string GetText(HWND dialog, int id, int size = 1024) const;
  void SetText(HWND dialog, int id, const char* text);
  void SetMaxLength(HWND dialog, int id, int length);
};

// A host "Label"; without a host control the dialog's static takes the text.
class HostLabel : public HostSkinnedControl {
 public:
  HostLabel() : HostSkinnedControl("Label") {}
  void SetText(HWND dialog, int id, const char* text);
  void SetTextColour(COLORREF colour);
};

// The dialog of feature "EmbDialog.FN3": sign up or change a password.
class AccountEntryDialog : public HostDialog {
 public:
  AccountEntryDialog(const HostServiceSet* creator, CWnd* parent)
      : HostDialog(IDD_ACCOUNT_ENTRY, parent, *creator), creator_(creator) {}
  BOOL OnCmdMsg(UINT id, int code) override;

 private:
  const HostServiceSet* creator_;  // the add-in's set, refreshed by each button
};

// The sign-up dialog.
class RegisterDialog : public HostDialog {
 public:
  RegisterDialog(const HostServiceSet& services, CWnd* parent, PictureCodeRandom* random = nullptr)
      : HostDialog(IDD_REGISTER, parent, services), code_(random) {}

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  void OnOK() override;
  BOOL OnCmdMsg(UINT id, int code) override;
  BOOL PreTranslateMessage(MSG* msg) override;
  void OnPaint() override;

  // The details toggle (check box 5033).
  void ToggleDetails();

  // Fields behind the controls.
  WString userName;
  WString personalName;
  WString mobile;
  WString email;
  int details = 0;
  int gender = -1;         // 0 男, 1 女 (radio index), -1 none
  int documentType = 0;    // index of 5001
  WString documentNumber;
  WString birthDate;
  WString postCode;
  WString address;
  WString officePhone;
  WString homePhone;
  WString fax;
  int education = 2;       // index of 5020
  WString typedCode;
  std::string password;    // as sent

 private:
  class Steps;
  LRESULT OnJobNotify(WPARAM handle, LPARAM code) override;
  void ShowDetails(bool show);
  void MoveBottomControls(int dy);
  void Notice(const char* text, int focusId);
  void FocusItem(int id);
  void RenewCode();

  PictureCode code_;
  SiteTable sites_;
  AccountConnection connection_;
  HostSafeEdit passwordEdit_;
  HostSafeEdit confirmEdit_;
  HostLabel labels_[6];   // 5021, 5022, 5023, 5024, 5026, 5048
  HostLabel hints_[12];   // 5058 to 5062, 5064 to 5070
};

// The change-password dialog.
class ChangePasswordDialog : public HostDialog {
 public:
  ChangePasswordDialog(const HostServiceSet& services, CWnd* parent, PictureCodeRandom* random = nullptr)
      : HostDialog(IDD_CHANGE_PASSWORD, parent, services), code_(random) {}

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  void OnOK() override;
  void OnPaint() override;

  WString userName;
  WString typedCode;
  std::string oldPassword;  // as sent
  std::string newPassword;

 private:
  class Steps;
  LRESULT OnJobNotify(WPARAM handle, LPARAM code) override;
  void Notice(const char* text, int focusId);
  void FocusItem(int id);
  void RenewCode();

  PictureCode code_;
  SiteTable sites_;
  AccountConnection connection_;
  HostSafeEdit passwords_[3];  // 5051, 5052, 5053
};

// The ids of the sign-up dialog that tests and the toggle use.
namespace register_ids {
constexpr int kPersonalName = 5000, kDocumentType = 5001, kUserName = 5002, kPassword = 5003,
              kDocumentNumber = 5004, kBirthDate = 5005, kPostCode = 5006, kAddress = 5007, kOfficePhone = 5008,
              kHomePhone = 5009, kFax = 5010, kEmail = 5011, kOk = 5012, kCancel = 5013, kCodeArea = 5014,
              kCode = 5015, kConfirm = 5016, kMobile = 5017, kMale = 5018, kFemale = 5019, kEducation = 5020,
              kDetails = 5033, kCodeCaption = 5046;
}  // namespace register_ids

namespace password_ids {
constexpr int kOld = 5051, kNew = 5052, kConfirm = 5053, kUserName = 5054, kCode = 5055, kCodeArea = 5056;
}  // namespace password_ids

namespace entry_ids {
constexpr int kSignUp = 5012, kChangePassword = 5050, kExit = 5013;
}  // namespace entry_ids

// The example address of the sign-up hints and notices.
constexpr const char* kExampleEmail = "someone@example.com";
// How far the details toggle moves the bottom of the sign-up dialog.
constexpr int kDetailsHeight = 310;
