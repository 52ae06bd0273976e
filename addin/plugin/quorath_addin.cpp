#include "addin/plugin/quorath_addin.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

#include "addin/plugin/account_dialogs.h"
#include "platform/controls/win_controls.h"

namespace {

constexpr int kStringCacheSize = 10240;
constexpr int kSetResourceModuleEvent = -65530;
constexpr UINT kNcMouseMove = 0x00A0;  // WM_NCMOUSEMOVE (the layer sends none)

const InterfaceVersionRow kVersionRows[17] = {
    {"IAddinPort", "6.12", 4},          {"IXMLProfile", "6.01", 4},       {"IGallery", "6.02", 4},
    {"IAddin", "6.03", 4},              {"IFeatureEntry", "6.05", 4},     {"IFeature", "6.03", 4},
    {"IHelper", "6.06", 4},             {"IQarnSkinUtility", "6.03", 4},  {"IQarnGUIUtility", "6.07", 4},
    {"IQarnComm", "6.03", 4},           {"IQarnClient", "6.11", 4},       {"IQarnUser", "6.05", 4},
    {"IQarnJob", "6.08", 4},            {"IControl", "6.01", 4},          {"IFeatureForMainView", "6.03", 4},
    {"IFeatureForPopView", "6.03", 4},  {"IFeatureForOption", "6.02", 4},
};

}  // namespace

// --- CQuorathFeatureEntry ---------------------------------------------------------

const char* CQuorathFeatureEntry::GetCaption() {
  PluginModuleScope scope;
  auto value = reinterpret_cast<std::uintptr_t>(caption_);
  if (value < 0x10000) return LoadResString(static_cast<UINT>(value));
  return caption_;
}

const FeatureClassRecord* CQuorathFeatureEntry::GetRuntimeClass() {
  return record_ != nullptr && record_->flags != 0 ? record_ : nullptr;
}

FeatureObject* CQuorathFeatureEntry::MakeObject(std::intptr_t argument) {
  if (record_ == nullptr || record_->create == nullptr) return nullptr;
  FeatureObject* object = record_->create();
  if (object == nullptr) return nullptr;
  object->services.Attach(owner_->GetHost());
  object->services.ownerAddin = owner_;
  object->services.ownerEntry = reinterpret_cast<std::intptr_t>(this);
  object->services.argument = argument;
  object->dataSaverRef = owner_->DataSaverRef();
  return object;
}

int CQuorathFeatureEntry::CreateFeature(std::intptr_t argument, void* existing, void** resultSlot) {
  PluginModuleScope scope;
  if (resultSlot != nullptr) *resultSlot = nullptr;
  int resultValue = 0;
  if (owner_->OnBeforeCreateFeature(this, argument, existing, resultSlot, &resultValue) == 0) return resultValue;
  if (callback_ != nullptr) return callback_(owner_, this, argument, existing, resultSlot);
  if (resultSlot != nullptr) *resultSlot = existing;

  if (kind_ == 1 || (kind_ >= 100 && kind_ <= 104)) {
    FeatureObject* object = MakeObject(argument);
    if (object == nullptr) return 0;
    if (resultSlot != nullptr) *resultSlot = object->GetInterface();
    return 1;
  }
  if (kind_ < 107 || kind_ > 109) return 0;

  auto* view = static_cast<ViewFeatureObject*>(existing);
  if (view != nullptr) {
    if (kind_ == 107) {
      if (view->services.ownerEntry != reinterpret_cast<std::intptr_t>(this)) {
        view->services.ownerEntry = reinterpret_cast<std::intptr_t>(this);
      }
      ::PostMessageW(view->GetWindow(), WM_FEATURE_VIEW_INIT, 0, view->OwnerNumber());
      return 1;
    }
    ::PostMessageW(view->GetWindow(), WM_FEATURE_VIEW_INIT, 0, 0);
    return 1;
  }
  view = static_cast<ViewFeatureObject*>(MakeObject(argument));
  if (view == nullptr) return 0;
  if (kind_ == 107) {
    view->Initialise(argument, extra_);
    if (resultSlot != nullptr) *resultSlot = view;
    HWND window = view->GetWindow();
    view->FinishSetup();
    ::PostMessageW(window, WM_FEATURE_VIEW_INIT, 1, 1);
    return 1;
  }
  view->InitialiseSecond(argument, extra_);
  if (resultSlot != nullptr) *resultSlot = view;
  ::PostMessageW(view->GetWindow(), WM_FEATURE_VIEW_INIT, 1, 0);
  return 1;
}

// --- CQuorathAddin -----------------------------------------------------------------

CQuorathAddin::CQuorathAddin() {
  for (const InterfaceVersionRow& row : kVersionRows) AppendVersion(row);
  AddEntry(std::make_unique<CQuorathFeatureEntry>(this, 1, "GETTMSSOCOM", "获取COM组建", nullptr, &kGetSafeComClass));
  AddEntry(std::make_unique<CQuorathFeatureEntry>(this, 110, "EmbDialog.FN3", "注册用户", &RunAccountEntryDialog,
                                                  nullptr));
  AddEntry(std::make_unique<CQuorathFeatureEntry>(this, 102, "Gina.VelmicRegAuth", "用户认证", nullptr,
                                                  &kGinaExtentAuthClass));
}

CQuorathAddin::~CQuorathAddin() {
  DetachMainWindow();
  ReleaseDataSaver(dataSaver_);
  delete[] versions_;
}

void CQuorathAddin::AppendVersion(const InterfaceVersionRow& row) {
  if (versionCount_ == versionCapacity_) {
    int grow = versionGrowStep_ != 0 ? versionGrowStep_ : std::clamp(versionCount_ / 8, 4, 1024);
    int capacity = std::max(versionCapacity_ + grow, versionCount_ + 1);
    auto* rows = new InterfaceVersionRow[static_cast<std::size_t>(capacity)];
    if (versionCount_ > 0) std::copy(versions_, versions_ + versionCount_, rows);
    delete[] versions_;
    versions_ = rows;
    versionCapacity_ = capacity;
  }
  versions_[versionCount_++] = row;
}

CQuorathFeatureEntry* CQuorathAddin::AddEntry(std::unique_ptr<CQuorathFeatureEntry> entry) {
  entries_.push_back(std::move(entry));
  return entries_.back().get();
}

int CQuorathAddin::GetInterfaceVersions(InterfaceVersionRow* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return versionCount_;
  int count = std::min(capacity, versionCount_);
  std::copy(versions_, versions_ + count, buffer);
  return count;
}

int CQuorathAddin::GetFeatureEntries(IFeatureEntry** buffer, int capacity) {
  int total = static_cast<int>(entries_.size());
  if (buffer == nullptr || capacity <= 0) return total;
  int count = std::min(capacity, total);
  for (int i = 0; i < count; ++i) buffer[i] = entries_[static_cast<std::size_t>(i)].get();
  return count;
}

int CQuorathAddin::AttachHost(IAddinPort* port) {
  PluginModuleScope scope;
  services_.Attach(port);
  if (port == nullptr) return 1;
  HWND main = port->GetMainWindow();
  if (mainWindow_.m_hWnd != main) {
    DetachMainWindow();
    // Attached in the plug-in's own window map: the host's object for its
    // main window stays in place and keeps the window's messages.
    if (main != nullptr && ::IsWindow(main)) mainWindow_.Attach(main);
  }
  if (dataSaver_ == nullptr) dataSaver_ = BindDataSaver();
  return 1;
}

void CQuorathAddin::DetachMainWindow() {
  if (mainWindow_.m_hWnd != nullptr) mainWindow_.Detach();
}

int CQuorathAddin::PreTranslateAddinMessage(HWND window, MSG* message) {
  PluginModuleScope scope;
  CWnd* object = CWnd::FromHandlePermanent(window);
  if (object == nullptr || message == nullptr) return 0;
  return object->PreTranslateMessage(message);
}

int CQuorathAddin::OnHostEvent(int code, std::intptr_t value, std::intptr_t, std::intptr_t, std::intptr_t) {
  if (code != kSetResourceModuleEvent) return 0;
  PluginModuleScope scope;
  ResetStringCache(value != 0 ? reinterpret_cast<HINSTANCE>(value) : ownModule_);
  return 0;
}

int CQuorathAddin::RunAccountEntryDialog(CQuorathAddin* addin, IFeatureEntry*, std::intptr_t, void*, void**) {
  addin->services_.Attach(addin->services_.port);
  AccountEntryDialog dialog(&addin->services_, nullptr);
  dialog.DoModal();
  return 1;
}

// --- CQuorathApp -------------------------------------------------------------------

namespace {

CQuorathApp* g_app = nullptr;  // the loaded plug-in's application object

// The plug-in's own string table: no strings of its own; the host may
// point the cache at a resource module (OnHostEvent).
const StringResource kOwnStrings[1] = {{0, u""}};

BOOL FilterPluginMessage(MSG* message) { return g_app != nullptr && g_app->PreTranslateMessage(message); }

}  // namespace

CQuorathApp::CQuorathApp() : addinRef_(&addin_) {}

CQuorathApp::~CQuorathApp() {
  if (g_app == this) ExitInstance();
}

BOOL CQuorathApp::InitInstance() {
  if (module_ == nullptr) module_ = RegisterStringResources(kOwnStrings, 0);
  addin_.SetOwnModule(module_);
  // The library's load address names its resource module: unique in the
  // process, unlike the string module's handle.
  Dl_info library{};
  templateModule_ = dladdr(reinterpret_cast<void*>(&FilterPluginMessage), &library) != 0
                        ? static_cast<HINSTANCE>(library.dli_fbase)
                        : reinterpret_cast<HINSTANCE>(this);
  SetPluginModule(templateModule_);
  {
    PluginModuleScope scope;
    RegisterAccountDialogTemplates();
  }
  InstallStringCache(&cache_, module_, kStringCacheSize);
  g_app = this;
  SetAddinMessageFilter(&FilterPluginMessage);
  SetModuleMessageFilter(templateModule_, &FilterPluginMessage);
  return TRUE;
}

int CQuorathApp::ExitInstance() {
  InstallStringCache(nullptr, nullptr, kStringCacheSize);
  if (g_app == this) {
    g_app = nullptr;
    SetAddinMessageFilter(nullptr);
    SetModuleMessageFilter(templateModule_, nullptr);
  }
  addin_.DetachMainWindow();
  ForgetDialogTemplates(templateModule_);
  if (PluginModule() == templateModule_) SetPluginModule(nullptr);
  if (module_ != nullptr) UnregisterStringResources(module_);
  module_ = nullptr;
  return 0;
}

BOOL CQuorathApp::PreTranslateMessage(MSG* message) {
  if (message == nullptr) return FALSE;
  if (message->hwnd == nullptr) return TRUE;  // a thread message
  IAddinPort* port = addinRef_->GetHost();
  UINT id = message->message;
  if (port != nullptr && (id == WM_LBUTTONDOWN || id == WM_KEYDOWN)) port->NotifyUserActivity();
  if (port != nullptr && port->IsBusy()) {
    if (id == WM_MOUSEMOVE || id == kNcMouseMove) ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    if (id >= WM_LBUTTONDOWN && id <= WM_MBUTTONDBLCLK) {
      ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
      return TRUE;
    }
  }

  CWnd* main = AfxGetMainWnd();
  HWND mainWindow = main != nullptr ? main->m_hWnd : nullptr;
  for (HWND window = message->hwnd; window != nullptr; window = ::GetParent(window)) {
    CWnd* object = CWnd::FromHandlePermanent(window);
    BOOL handled = FALSE;
    if (object != nullptr) {
      handled = PluginPreTranslate(object, message);
    } else if (port != nullptr) {
      handled = port->PreTranslateHostMessage(window, message) != 0;
    }
    if (handled) return TRUE;
    if (window == mainWindow) break;
  }
  if (main != nullptr && ::GetAncestor(message->hwnd, GA_ROOT) != mainWindow) return main->PreTranslateMessage(message);
  return FALSE;
}
