#include "addin/plugin/account_dialogs.h"

#include <cstring>

#include "addin/framework_utils.h"
#include "platform/kernel/kernel_utf.h"

namespace {

constexpr UINT kNotice = kBoxNotice;
constexpr int kTextSize = 1024;  // host texts and formatted messages
constexpr int kPasswordMax = 20;
constexpr int kPasswordMin = 6;
constexpr int kNameMin = 4;
constexpr int kMobileLength = 11;
constexpr COLORREF kRequiredColour = 225;       // red
constexpr COLORREF kAlternativeColour = 0xC00000;  // blue

std::string Utf8(const WString& text) { return WideToUtf8(text); }

// The dialog client rectangle of a child.
RECT ChildRect(HWND dialog, HWND child) {
  RECT rect{};
  ::GetWindowRect(child, &rect);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void MoveChildBy(HWND dialog, int id, int dy) {
  HWND child = ::GetDlgItem(dialog, id);
  if (child == nullptr) return;
  RECT rect = ChildRect(dialog, child);
  ::SetWindowPos(child, nullptr, rect.left, rect.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ResizeWindowBy(HWND window, int dy) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  ::SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top + dy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FillList(HWND dialog, int id, const char16_t* const* entries, int count) {
  for (int i = 0; i < count; ++i) {
    ::SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entries[i]));
  }
}

// The picture code's area: the top-left corner of the area control in
// client co-ordinates.
POINT CodeAreaCorner(HWND dialog, int id) {
  HWND area = ::GetDlgItem(dialog, id);
  if (area == nullptr) return POINT{0, 0};
  RECT rect = ChildRect(dialog, area);
  return POINT{rect.left, rect.top};
}

}  // namespace

// --- HostDialog ---------------------------------------------------------------

namespace {

BOOL (*g_addinFilter)(MSG*) = nullptr;  // the plug-in's message filter
// The filter is running (the plug-in runs on the host's one UI thread; no
// thread_local: the library is unloaded, and its TLS with it).
bool g_filtering = false;

}  // namespace

void SetAddinMessageFilter(BOOL (*filter)(MSG*)) { g_addinFilter = filter; }

BOOL PluginPreTranslate(CWnd* object, MSG* message) {
  bool was = g_filtering;
  g_filtering = true;
  BOOL handled = object->PreTranslateMessage(message);
  g_filtering = was;
  return handled;
}

BOOL HostDialog::PreTranslateMessage(MSG* message) {
  // The layer's loops offer every message to the current module's filter
  // first: when the plug-in's module was current, the plug-in's filter has
  // seen this message already (and came back here through g_filtering).
  const bool offered = GetResourceModule() == PluginModule();
  PluginModuleScope scope;
  if (g_addinFilter == nullptr || g_filtering) return CDialog::PreTranslateMessage(message);
  if (offered) return FALSE;
  g_filtering = true;
  BOOL handled = g_addinFilter(message);
  g_filtering = false;
  return handled;
}

LRESULT HostDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  PluginModuleScope scope;
  if (services_.port != nullptr) {
    LRESULT result = 0;
    if (services_.port->HookDialogMessage(m_hWnd, message, wParam, lParam, &result) != 0) return result;
  }
  if (message == WM_ACCOUNT_JOB_NOTIFY) return OnJobNotify(wParam, lParam);
  return CDialog::WindowProc(message, wParam, lParam);
}

// --- HostSkinnedControl ---------------------------------------------------------

HostSkinnedControl::~HostSkinnedControl() {
  if (port_ == nullptr || control_ == nullptr) return;
  m_hWnd = nullptr;
  port_->DestroyControl(control_);
}

int HostSkinnedControl::Create(IAddinPort* port, HWND parent, const RECT& rect, int id, DWORD style,
                               const char* text) {
  if (control_ != nullptr && port != nullptr) port->DestroyControl(control_);
  control_ = nullptr;
  typed_ = nullptr;
  m_hWnd = nullptr;
  port_ = port;
  if (port == nullptr) return 0;
  control_ = port->CreateControl(className_, parent, &rect, id, style, text);
  if (control_ == nullptr) return 0;
  m_hWnd = control_->GetWindow();
  return 1;
}

int HostSkinnedControl::CreateVisible(IAddinPort* port, HWND parent, const RECT& rect, int id) {
  if (!Create(port, parent, rect, id, WS_CHILD | WS_VISIBLE, "")) return 0;
  FetchTypedInterface();
  return 1;
}

void HostSkinnedControl::FetchTypedInterface() { typed_ = control_ != nullptr ? control_->GetTypedInterface(0) : nullptr; }

int HostSkinnedControl::ReplacePlaceholder(IAddinPort* port, HWND dialog, int id) {
  HWND placeholder = ::GetDlgItem(dialog, id);
  if (placeholder == nullptr) return 0;
  RECT rect = ChildRect(dialog, placeholder);
  if (rect.right <= rect.left || rect.bottom <= rect.top) return 0;
  DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(placeholder, GWL_STYLE));
  char text[260];
  CopyTextBounded(text, sizeof text, WideToUtf8(::GetWindowTextString(placeholder)).c_str());
  if (!Create(port, dialog, rect, id, style, text)) return 0;
  ::SetWindowPos(m_hWnd, placeholder, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOREDRAW | SWP_NOACTIVATE);
  if (CWnd* object = CWnd::FromHandlePermanent(placeholder)) object->Detach();
  ::DestroyWindow(placeholder);
  // Both variants the dialogs use fetch their typed interface here.
  FetchTypedInterface();
  return 1;
}

std::string HostSafeEdit::GetText(HWND dialog, int id, int size) const {
  if (size < 1) return std::string();
  std::string raw;
  if (typed_ != nullptr) {
    // The host's copy may fill the buffer without a terminator.
    std::string buffer(static_cast<std::size_t>(size) + 1, '\0');
    static_cast<IQarnSafeEdit*>(typed_)->GetText(buffer.data(), size);
    raw = buffer.c_str();
  } else {
    raw = WideToUtf8(::GetWindowTextString(::GetDlgItem(dialog, id)));
  }
  std::string text(static_cast<std::size_t>(size), '\0');
  text.resize(static_cast<std::size_t>(CopyTextBounded(text.data(), size, raw.c_str())));
  return text;
}

void HostSafeEdit::SetText(HWND dialog, int id, const char* text) {
  if (typed_ != nullptr) {
    static_cast<IQarnSafeEdit*>(typed_)->SetText(text);
    return;
  }
  ::SetDlgItemTextW(dialog, id, Utf8ToWide(text).c_str());
}

void HostSafeEdit::SetMaxLength(HWND dialog, int id, int length) {
  if (typed_ != nullptr) {
    static_cast<IQarnSafeEdit*>(typed_)->SetMaxLength(length);
    return;
  }
  ::SendDlgItemMessageW(dialog, id, EM_LIMITTEXT, static_cast<WPARAM>(length), 0);
}

void HostLabel::SetText(HWND dialog, int id, const char* text) {
  if (typed_ != nullptr) {
    static_cast<IQarnLabel*>(typed_)->SetText(text);
    return;
  }
  ::SetDlgItemTextW(dialog, id, Utf8ToWide(text).c_str());
}

void HostLabel::SetTextColour(COLORREF colour) {
  if (typed_ != nullptr) static_cast<IQarnLabel*>(typed_)->SetTextColour(colour);
}

// --- AccountEntryDialog ---------------------------------------------------------

BOOL AccountEntryDialog::OnCmdMsg(UINT id, int code) {
  if (code != static_cast<int>(BN_CLICKED)) return HostDialog::OnCmdMsg(id, code);
  if (id == static_cast<UINT>(entry_ids::kSignUp)) {
    services_.Attach(services_.port);
    RegisterDialog dialog(*creator_, nullptr);
    dialog.DoModal();
    return TRUE;
  }
  if (id == static_cast<UINT>(entry_ids::kChangePassword)) {
    services_.Attach(services_.port);
    ChangePasswordDialog dialog(*creator_, nullptr);
    dialog.DoModal();
    return TRUE;
  }
  if (id == static_cast<UINT>(entry_ids::kExit)) {
    EndDialog(IDCANCEL);
    return TRUE;
  }
  return HostDialog::OnCmdMsg(id, code);
}

// --- RegisterDialog ---------------------------------------------------------------

namespace {

using namespace register_ids;

const char16_t* const kDocumentTypes[] = {u"身份证", u"军官证", u"士兵证", u"回乡证",
                                          u"户口本", u"外国护照", u"警官证", u"其他证件"};
const char16_t* const kEducations[] = {u"博士", u"硕士", u"本科", u"大专", u"中专", u"高中", u"初中一下", u"其他"};

const int kLabelIds[6] = {5021, 5022, 5023, 5024, 5026, 5048};
const int kHintIds[12] = {5058, 5059, 5060, 5061, 5062, 5064, 5065, 5066, 5067, 5068, 5069, 5070};

// The optional controls the details toggle shows and hides.
const int kDetailIds[] = {5035, 5038, 5036, 5018, 5019, 5025, 5037, 5001, 5004, 5065, 5039, 5005, 5064, 5040,
                          5041, 5042, 5043, 5044, 5006, 5007, 5008, 5009, 5010, 5066, 5067, 5068, 5069, 5070,
                          5045, 5020, 5047};
// The controls below the optional block.
const int kBottomIds[] = {kCodeCaption, kCode, kCodeArea, kOk, kCancel};

struct EditLimit {
  int id;
  int length;
};
const EditLimit kEditLimits[] = {{kUserName, 32}, {kPersonalName, 32}, {kMobile, 11},     {kDocumentNumber, 32},
                                 {kBirthDate, 8}, {kPostCode, 6},      {kAddress, 256},   {kOfficePhone, 32},
                                 {kHomePhone, 32}, {kFax, 32}};

bool IsValidEmail(const std::string& email) {
  int at = FindCharFrom(email.c_str(), '@', 0);
  return at >= 0 && FindCharFrom(email.c_str(), '.', at) >= 0;
}

std::string EmailNotice() {
  return std::string("您输入的电子邮件格式不正确，请按照类似 \"") + kExampleEmail + "\" 的格式输入！";
}

}  // namespace

class RegisterDialog::Steps final : public AccountRequestSteps {
 public:
  explicit Steps(RegisterDialog* dialog) : dialog_(dialog) {}
  void FillRequest(IQarnJob* job) override {
    RegisterDialog& d = *dialog_;
    if (d.services_.port != nullptr) d.services_.port->SetBusy(1);
    job->SetField(802, "1", 0);
    job->SetField(801, Utf8(d.personalName).c_str(), 0);
    job->SetField(4230, Utf8(d.userName).c_str(), 0);
    job->SetField(803, d.password.c_str(), 1);
    job->SetFieldNumber(4231, d.documentType + 1);
    job->SetField(4224, Utf8(d.documentNumber).c_str(), 0);
    job->SetFieldNumber(862, d.gender == 0 ? 1 : (d.gender == 1 ? 0 : -1));
    job->SetField(4232, Utf8(d.birthDate).c_str(), 0);
    job->SetField(4233, Utf8(d.postCode).c_str(), 0);
    job->SetField(4234, Utf8(d.address).c_str(), 0);
    job->SetField(4235, Utf8(d.officePhone).c_str(), 0);
    job->SetField(4236, Utf8(d.homePhone).c_str(), 0);
    job->SetField(4237, Utf8(d.fax).c_str(), 0);
    job->SetField(860, Utf8(d.mobile).c_str(), 0);
    job->SetField(863, Utf8(d.email).c_str(), 0);
    job->SetFieldNumber(4238, d.education + 1);
  }
  LPARAM FinalCode() override { return kJobCodeRegistered; }
  void ShowSuccess() override {
    dialog_->UpdateData(TRUE);
    char text[kTextSize];
    FormatBounded(text, sizeof text, "注册成功！您注册的用户名是：%s，请在“登录方式”中选择“用户帐号”进行登录。",
                  Utf8(dialog_->userName).c_str());
    HostMessageBox(dialog_->services_, text, "注册成功", kBoxSuccess);
  }
  void OnUnknownJob() override {
    dialog_->GetDlgItem(kOk)->EnableWindow(TRUE);
    dialog_->RenewCode();
  }
  void OnErrorAnswer() override { dialog_->GetDlgItem(kOk)->EnableWindow(TRUE); }
  void CloseCancelled() override {
    dialog_->GetDlgItem(kOk)->EnableWindow(TRUE);
    dialog_->EndDialog(IDCANCEL);
  }

 private:
  RegisterDialog* dialog_;
};

BOOL RegisterDialog::OnInitDialog() {
  FillList(m_hWnd, kDocumentType, kDocumentTypes, 8);
  FillList(m_hWnd, kEducation, kEducations, 8);
  for (const EditLimit& limit : kEditLimits) {
    ::SendDlgItemMessageW(m_hWnd, limit.id, EM_LIMITTEXT, static_cast<WPARAM>(limit.length), 0);
  }
  CDialog::OnInitDialog();
  ReadConnectionSettings(&sites_, services_.port);
  code_.Generate();

  ::ShowWindow(::GetDlgItem(m_hWnd, kCodeArea), SW_HIDE);
  ::SendDlgItemMessageW(m_hWnd, kDocumentType, CB_SETCURSEL, 0, 0);
  ::SendDlgItemMessageW(m_hWnd, kEducation, CB_SETCURSEL, 2, 0);
  documentType = 0;
  education = 2;

  ShowDetails(false);
  ResizeWindowBy(m_hWnd, -kDetailsHeight);
  MoveBottomControls(-kDetailsHeight);

  for (int i = 0; i < 4; ++i) labels_[i].SetTextColour(kRequiredColour);
  labels_[4].SetTextColour(kAlternativeColour);
  labels_[5].SetTextColour(kAlternativeColour);
  passwordEdit_.SetMaxLength(m_hWnd, kPassword, kPasswordMax);
  confirmEdit_.SetMaxLength(m_hWnd, kConfirm, kPasswordMax);

  std::string mobileHint = std::string("移动电话和电子邮箱任填一项即可，也可同时填写，邮箱格式：") + kExampleEmail;
  const char* hints[12] = {"请输入4-32个字符的用户名。",
                           "请输入6-20个字符的密码。",
                           "请重新输入密码。",
                           "请输入4-32个字符的用户姓名。",
                           mobileHint.c_str(),
                           "请输入数字形式生日，例如 19800101。",
                           "请输入32字符以内的证件号码。",
                           "请输入6位邮政编码。",
                           "请输入您的联系地址。",
                           "请输入您的办公电话，多个以\";\"(分号)隔开。",
                           "请输入您的家庭电话，多个以\";\"(分号)隔开。",
                           "请输入您的传真电话，多个以\";\"(分号)隔开。"};
  for (int i = 0; i < 12; ++i) hints_[i].SetText(m_hWnd, kHintIds[i], hints[i]);
  return TRUE;
}

void RegisterDialog::DoDataExchange(CDataExchange* dx) {
  DDX_Text(dx, kUserName, userName);
  DDX_Text(dx, kPersonalName, personalName);
  DDX_Text(dx, kMobile, mobile);
  DDX_Text(dx, kEmail, email);
  DDX_Check(dx, kDetails, details);
  DDX_Radio(dx, kMale, gender);
  DDX_CBIndex(dx, kDocumentType, documentType);
  DDX_Text(dx, kDocumentNumber, documentNumber);
  DDX_Text(dx, kBirthDate, birthDate);
  DDX_Text(dx, kPostCode, postCode);
  DDX_Text(dx, kAddress, address);
  DDX_Text(dx, kOfficePhone, officePhone);
  DDX_Text(dx, kHomePhone, homePhone);
  DDX_Text(dx, kFax, fax);
  DDX_CBIndex(dx, kEducation, education);
  DDX_Text(dx, kCode, typedCode);
  if (services_.port == nullptr) return;
  if (passwordEdit_.m_hWnd == nullptr) passwordEdit_.ReplacePlaceholder(services_.port, m_hWnd, kPassword);
  if (confirmEdit_.m_hWnd == nullptr) confirmEdit_.ReplacePlaceholder(services_.port, m_hWnd, kConfirm);
  for (int i = 0; i < 6; ++i) {
    if (labels_[i].m_hWnd == nullptr) labels_[i].ReplacePlaceholder(services_.port, m_hWnd, kLabelIds[i]);
  }
  for (int i = 0; i < 12; ++i) {
    if (hints_[i].m_hWnd == nullptr) hints_[i].ReplacePlaceholder(services_.port, m_hWnd, kHintIds[i]);
  }
}

void RegisterDialog::ShowDetails(bool show) {
  for (int id : kDetailIds) {
    HWND control = ::GetDlgItem(m_hWnd, id);
    if (control == nullptr) continue;
    ::EnableWindow(control, show ? TRUE : FALSE);
    ::ShowWindow(control, show ? SW_SHOW : SW_HIDE);
  }
}

void RegisterDialog::MoveBottomControls(int dy) {
  for (int id : kBottomIds) MoveChildBy(m_hWnd, id, dy);
}

void RegisterDialog::ToggleDetails() {
  UpdateData(TRUE);
  bool show = details != 0;
  ShowDetails(show);
  int dy = show ? kDetailsHeight : -kDetailsHeight;
  ResizeWindowBy(m_hWnd, dy);
  MoveBottomControls(dy);
  CenterWindow();
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

BOOL RegisterDialog::OnCmdMsg(UINT id, int code) {
  if (code == static_cast<int>(BN_CLICKED)) {
    if (id == static_cast<UINT>(kDetails)) {
      ToggleDetails();
      return TRUE;
    }
    if (id == static_cast<UINT>(kOk)) {
      OnOK();
      return TRUE;
    }
    if (id == static_cast<UINT>(kCancel)) {
      OnCancel();
      return TRUE;
    }
  }
  return HostDialog::OnCmdMsg(id, code);
}

BOOL RegisterDialog::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN) {
    int focus = ::GetDlgCtrlID(::GetFocus());
    if ((focus == kOfficePhone || focus == kHomePhone || focus == kFax) && ::GetParent(::GetFocus()) == m_hWnd) {
      UINT key = static_cast<UINT>(msg->wParam);
      bool control = key == VK_BACK || key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE;
      bool shift = ::GetKeyState(VK_SHIFT) < 0;
      bool typed = !shift && ((key >= '0' && key <= '9') || key == 186 || key == 189);
      if (!control && !typed) return TRUE;
    }
  }
  return HostDialog::PreTranslateMessage(msg);
}

void RegisterDialog::FocusItem(int id) {
  HWND control = ::GetDlgItem(m_hWnd, id);
  if (control != nullptr) GotoDlgCtrl(CWnd::FromHandle(control));
}

void RegisterDialog::Notice(const char* text, int focusId) {
  HostMessageBox(services_, text, "提示", kNotice);
  FocusItem(focusId);
}

void RegisterDialog::RenewCode() {
  code_.Generate();
  POINT corner = CodeAreaCorner(m_hWnd, kCodeArea);
  RECT rect = PictureCode::CodeRect(corner.x, corner.y);
  ::InvalidateRect(m_hWnd, &rect, TRUE);
  typedCode.clear();
  UpdateData(FALSE);
}

void RegisterDialog::OnOK() {
  UpdateData(TRUE);
  std::string user = Utf8(userName);
  if (user.empty()) return FocusItem(kUserName);
  if (user.size() < kNameMin) return Notice("您的输入的用户名不能小与 4 位！", kUserName);

  std::string typedPassword = passwordEdit_.GetText(m_hWnd, kPassword, kTextSize);
  if (typedPassword.empty()) return FocusItem(kPassword);
  if (typedPassword.size() < kPasswordMin) {
    char text[kTextSize];
    FormatBounded(text, sizeof text, "对不起，您的密码不能小与 %d 位！", kPasswordMin);
    return Notice(text, kPassword);
  }
  std::string confirmation = confirmEdit_.GetText(m_hWnd, kConfirm, kTextSize);
  if (confirmation.empty()) return FocusItem(kConfirm);
  if (confirmation != typedPassword) {
    HostMessageBox(services_, "您两次输入的密码不一致，请重新输入！", "提示", kNotice);
    confirmEdit_.SetText(m_hWnd, kConfirm, "");
    return FocusItem(kConfirm);
  }

  password = typedPassword;
  std::string name = Utf8(personalName);
  if (name.empty()) return FocusItem(kPersonalName);
  if (name.size() < kNameMin) return Notice("您的输入的用户名不能小与 4 位！", kPersonalName);

  std::string mail = Utf8(email);
  if (!mobile.empty() && mobile.size() < kMobileLength) return Notice("请输入11位完整手机号", kMobile);
  if (mobile.empty() && mail.empty()) return Notice("请至少填写移动电话或者电子邮箱中心的一项！", kMobile);
  if (!mail.empty() && !IsValidEmail(mail)) return Notice(EmailNotice().c_str(), kEmail);

  if (!code_.Matches(Utf8(typedCode).c_str())) {
    FocusItem(kCode);
    return RenewCode();
  }

  if (services_.port != nullptr) services_.port->SetBusy(1);
  GetDlgItem(kOk)->EnableWindow(FALSE);
  if (StartConnectJob(sites_, services_, user.c_str(), m_hWnd)) return;
  // The host has no link service: nothing runs, so the user may try again.
  if (services_.port != nullptr) services_.port->SetBusy(0);
  GetDlgItem(kOk)->EnableWindow(TRUE);
  HostMessageBox(services_, "未知错误", "错误", kBoxError);
}

LRESULT RegisterDialog::OnJobNotify(WPARAM handle, LPARAM code) {
  if (services_.port != nullptr) services_.port->SetBusy(0);
  Steps steps(this);
  return connection_.OnJobNotify(services_, m_hWnd, handle, code, steps);
}

void RegisterDialog::OnPaint() {
  CPaintDC dc(this);
  POINT corner = CodeAreaCorner(m_hWnd, kCodeArea);
  code_.Paint(dc.m_hDC, corner.x, corner.y);
}

// --- ChangePasswordDialog -----------------------------------------------------------

class ChangePasswordDialog::Steps final : public AccountRequestSteps {
 public:
  explicit Steps(ChangePasswordDialog* dialog) : dialog_(dialog) {}
  void FillRequest(IQarnJob* job) override {
    job->SetField(802, "2", 0);
    job->SetField(803, dialog_->oldPassword.c_str(), 1);
    job->SetField(804, dialog_->newPassword.c_str(), 1);
  }
  LPARAM FinalCode() override { return kJobCodePasswordChanged; }
  void ShowSuccess() override {
    char text[kTextSize];
    FormatBounded(text, sizeof text, "%s", "密码修改成功！请以新密码登录。");
    HostMessageBox(dialog_->services_, text, "注册成功", kBoxSuccess);
  }
  void OnUnknownJob() override { dialog_->RenewCode(); }
  void OnErrorAnswer() override {}
  void CloseCancelled() override { dialog_->EndDialog(IDCANCEL); }

 private:
  ChangePasswordDialog* dialog_;
};

BOOL ChangePasswordDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  ReadConnectionSettings(&sites_, services_.port);
  code_.Generate();
  ::ShowWindow(::GetDlgItem(m_hWnd, password_ids::kCodeArea), SW_HIDE);
  const int ids[3] = {password_ids::kOld, password_ids::kNew, password_ids::kConfirm};
  for (int i = 0; i < 3; ++i) passwords_[i].SetMaxLength(m_hWnd, ids[i], kPasswordMax);
  return TRUE;
}

void ChangePasswordDialog::DoDataExchange(CDataExchange* dx) {
  DDX_Text(dx, password_ids::kUserName, userName);
  DDX_Text(dx, password_ids::kCode, typedCode);
  if (services_.port == nullptr) return;
  const int ids[3] = {password_ids::kOld, password_ids::kNew, password_ids::kConfirm};
  for (int i = 0; i < 3; ++i) {
    if (passwords_[i].m_hWnd == nullptr) passwords_[i].ReplacePlaceholder(services_.port, m_hWnd, ids[i]);
  }
}

void ChangePasswordDialog::FocusItem(int id) {
  HWND control = ::GetDlgItem(m_hWnd, id);
  if (control != nullptr) GotoDlgCtrl(CWnd::FromHandle(control));
}

void ChangePasswordDialog::Notice(const char* text, int focusId) {
  HostMessageBox(services_, text, "提示", kNotice);
  FocusItem(focusId);
}

void ChangePasswordDialog::RenewCode() {
  code_.Generate();
  POINT corner = CodeAreaCorner(m_hWnd, password_ids::kCodeArea);
  RECT rect = PictureCode::CodeRect(corner.x, corner.y);
  ::InvalidateRect(m_hWnd, &rect, TRUE);
  typedCode.clear();
  UpdateData(FALSE);
}

void ChangePasswordDialog::OnOK() {
  UpdateData(TRUE);
  std::string user = Utf8(userName);
  if (user.empty()) return FocusItem(password_ids::kUserName);

  std::string oldText = passwords_[0].GetText(m_hWnd, password_ids::kOld, kTextSize);
  std::string newText = passwords_[1].GetText(m_hWnd, password_ids::kNew, kTextSize);
  std::string confirmation = passwords_[2].GetText(m_hWnd, password_ids::kConfirm, kTextSize);
  if (oldText.empty()) return FocusItem(password_ids::kOld);
  if (newText.empty()) return FocusItem(password_ids::kNew);
  if (newText.size() < kPasswordMin) {
    char text[kTextSize];
    FormatBounded(text, sizeof text, "对不起，您的新密码不能小与 %d 位！", kPasswordMin);
    return Notice(text, password_ids::kNew);
  }
  if (confirmation.empty()) return FocusItem(password_ids::kConfirm);
  if (confirmation != newText) {
    HostMessageBox(services_, "您两次输入的新密码不一致，请重新输入！", "提示", kNotice);
    passwords_[2].SetText(m_hWnd, password_ids::kConfirm, "");
    return FocusItem(password_ids::kConfirm);
  }

  oldPassword = oldText;
  newPassword = newText;
  if (!code_.Matches(Utf8(typedCode).c_str())) {
    FocusItem(password_ids::kCode);
    return RenewCode();
  }
  if (newPassword == oldPassword &&
      HostMessageBox(services_, "您修改的新密码同旧密码相同。是否继续？", "提示", kBoxQuestion) != IDYES) {
    passwords_[1].SetText(m_hWnd, password_ids::kNew, "");
    passwords_[2].SetText(m_hWnd, password_ids::kConfirm, "");
    return FocusItem(password_ids::kNew);
  }
  if (!StartConnectJob(sites_, services_, user.c_str(), m_hWnd)) {
    HostMessageBox(services_, "未知错误", "错误", kBoxError);
  }
}

LRESULT ChangePasswordDialog::OnJobNotify(WPARAM handle, LPARAM code) {
  Steps steps(this);
  return connection_.OnJobNotify(services_, m_hWnd, handle, code, steps);
}

void ChangePasswordDialog::OnPaint() {
  CPaintDC dc(this);
  POINT corner = CodeAreaCorner(m_hWnd, password_ids::kCodeArea);
  code_.Paint(dc.m_hDC, corner.x, corner.y);
}
