// The templates of the plug-in's three dialogs, in dialog units of 宋体 9 pt
// (base units 6 x 16 pixels: a unit is 1.5 pixels wide and 2 high). The
// optional block of the sign-up dialog spans 155 units, the 310 pixels the
// details toggle moves. Every item is visible (the layer adds only WS_CHILD).
#include "addin/plugin/account_dialogs.h"

namespace {

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
constexpr DWORD kCaption = WS_VISIBLE | SS_RIGHT;
constexpr DWORD kEdit = WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kNumber = kEdit | ES_NUMBER;
constexpr DWORD kHint = WS_VISIBLE | SS_LEFT;
constexpr DWORD kGroup = WS_VISIBLE | BS_GROUPBOX;

const DialogTemplate kAccountEntry = {
    kDialogStyle, 0, 0, 0, 180, 104, u"欢迎使用注册用户系统", 9, u"宋体",
    {
        {5001, WC_BUTTON, u"注册用户管理", kGroup, 8, 6, 164, 68},
        {entry_ids::kSignUp, WC_BUTTON, u"新用户注册", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 30, 22, 120, 18},
        {entry_ids::kChangePassword, WC_BUTTON, u"用户资料及密码修改", WS_VISIBLE | WS_TABSTOP, 30, 46, 120, 18},
        {entry_ids::kExit, WC_BUTTON, u"退出", WS_VISIBLE | WS_TABSTOP, 116, 82, 56, 16},
    },
};

// Columns of the sign-up dialog: captions, fields, hints.
constexpr int kCapX = 10, kCapW = 48, kFieldX = 62, kFieldW = 150, kHintX = 218, kHintW = 196;

DialogItem Caption(int id, const WCHAR* text, int y) { return {id, WC_STATIC, text, kCaption, kCapX, y + 2, kCapW, 10}; }
DialogItem Field(int id, int y, DWORD style = kEdit, int x = kFieldX, int w = kFieldW) {
  return {id, WC_EDIT, u"", style, x, y, w, 13};
}
DialogItem Hint(int id, int y, int h = 10, int w = kHintW) { return {id, WC_STATIC, u"", kHint, kHintX, y + 2, w, h}; }

const DialogTemplate kRegister = {
    kDialogStyle, 0, 0, 0, 420, 322, u"用户注册", 9, u"宋体",
    {
        {5027, WC_BUTTON, u"注册信息（必填）", kGroup, 6, 4, 408, 126},
        Caption(5022, u"用户名:", 16), Field(register_ids::kUserName, 16), Hint(5058, 16),
        Caption(5023, u"用户密码:", 32), Field(register_ids::kPassword, 32, kEdit | ES_PASSWORD), Hint(5059, 32),
        Caption(5024, u"确认密码:", 48), Field(register_ids::kConfirm, 48, kEdit | ES_PASSWORD), Hint(5060, 48),
        Caption(5021, u"用户姓名:", 64), Field(register_ids::kPersonalName, 64), Hint(5061, 64),
        {5028, WC_BUTTON, u"任选一项填写，也可两项都填写", kGroup, 12, 80, 396, 44},
        Caption(5026, u"移动电话:", 92),
        {5057, WC_STATIC, u"86-", WS_VISIBLE | SS_RIGHT, kFieldX, 94, 16, 10},
        Field(register_ids::kMobile, 92, kNumber, kFieldX + 18, kFieldW - 18),
        Caption(5048, u"电子邮箱:", 108), Field(register_ids::kEmail, 108),
        Hint(5062, 90, 28, kHintW - 10),
        {register_ids::kDetails, WC_BUTTON, u"高级信息", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 12, 134, 80, 10},
        // The optional block: 146 to 301.
        {5035, WC_BUTTON, u"客户资料（选填）", kGroup, 6, 146, 408, 148},
        Caption(5038, u"性别:", 158),
        {register_ids::kMale, WC_BUTTON, u"男", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, kFieldX, 160, 30, 10},
        {register_ids::kFemale, WC_BUTTON, u"女", WS_VISIBLE | BS_AUTORADIOBUTTON, kFieldX + 36, 160, 30, 10},
        {5036, WC_STATIC, u"可不选", kHint, kHintX, 160, kHintW, 10},
        Caption(5025, u"证件信息:", 173),
        {register_ids::kDocumentType, WC_COMBOBOX, u"", WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, kFieldX, 173, 58, 13},
        {5037, WC_STATIC, u"号码:", kCaption, kFieldX + 60, 175, 22, 10},
        Field(register_ids::kDocumentNumber, 173, kEdit, kFieldX + 84, kFieldW - 84), Hint(5065, 173),
        Caption(5039, u"出生日期:", 188), Field(register_ids::kBirthDate, 188, kNumber), Hint(5064, 188),
        Caption(5040, u"邮政编码:", 203), Field(register_ids::kPostCode, 203, kNumber), Hint(5066, 203),
        Caption(5041, u"联系地址:", 218), Field(register_ids::kAddress, 218), Hint(5067, 218),
        Caption(5042, u"办公电话:", 233), Field(register_ids::kOfficePhone, 233), Hint(5068, 233),
        Caption(5043, u"家庭电话:", 248), Field(register_ids::kHomePhone, 248), Hint(5069, 248),
        Caption(5044, u"传真电话:", 263), Field(register_ids::kFax, 263), Hint(5070, 263),
        Caption(5045, u"学历:", 278),
        {register_ids::kEducation, WC_COMBOBOX, u"", WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, kFieldX, 278, 58, 13},
        {5047, WC_STATIC, u"", WS_VISIBLE | SS_ETCHEDHORZ, 6, 297, 408, 1},
        // Below the optional block.
        {register_ids::kCodeCaption, WC_STATIC, u"验证码:", kCaption, kCapX, 308, kCapW, 10},
        Field(register_ids::kCode, 306, kNumber, kFieldX, 56),
        {register_ids::kCodeArea, WC_STATIC, u"", WS_VISIBLE | SS_LEFT, kFieldX + 60, 305, 56, 12},
        {register_ids::kOk, WC_BUTTON, u"注册", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 296, 305, 56, 15},
        {register_ids::kCancel, WC_BUTTON, u"取消", WS_VISIBLE | WS_TABSTOP, 358, 305, 56, 15},
    },
};

const DialogTemplate kChangePassword = {
    kDialogStyle, 0, 0, 0, 230, 150, u"修改注册用户密码", 9, u"宋体",
    {
        {5057, WC_STATIC, u"注册用户密码修改，密码支持6-20位任意字符", WS_VISIBLE | SS_LEFT, 12, 10, 206, 10},
        {5060, WC_STATIC, u"用户名:", kCaption, 10, 30, 56, 10},
        {password_ids::kUserName, WC_EDIT, u"", kEdit, 70, 28, 140, 13},
        {5061, WC_STATIC, u"原密码:", kCaption, 10, 48, 56, 10},
        {password_ids::kOld, WC_EDIT, u"", kEdit | ES_PASSWORD, 70, 46, 140, 13},
        {5062, WC_STATIC, u"新密码:", kCaption, 10, 66, 56, 10},
        {password_ids::kNew, WC_EDIT, u"", kEdit | ES_PASSWORD, 70, 64, 140, 13},
        {5063, WC_STATIC, u"新密码确认:", kCaption, 10, 84, 56, 10},
        {password_ids::kConfirm, WC_EDIT, u"", kEdit | ES_PASSWORD, 70, 82, 140, 13},
        {5064, WC_STATIC, u"验证码:", kCaption, 10, 102, 56, 10},
        {password_ids::kCode, WC_EDIT, u"", kNumber, 70, 100, 56, 13},
        {password_ids::kCodeArea, WC_STATIC, u"", WS_VISIBLE | SS_LEFT, 130, 99, 48, 12},
        {IDOK, WC_BUTTON, u"确定", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 100, 126, 56, 15},
        {IDCANCEL, WC_BUTTON, u"取消", WS_VISIBLE | WS_TABSTOP, 162, 126, 56, 15},
    },
};

}  // namespace

void RegisterAccountDialogTemplates() {
  RegisterDialogTemplate(IDD_ACCOUNT_ENTRY, &kAccountEntry);
  RegisterDialogTemplate(IDD_REGISTER, &kRegister);
  RegisterDialogTemplate(IDD_CHANGE_PASSWORD, &kChangePassword);
}
