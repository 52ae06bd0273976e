// quorath_host: a scripted host terminal that loads libQuorath.so the way
// the real host does (dlopen, Addin_GetObject, AttachHost) and drives it.
//
//   quorath_host [--plugin PATH] --list
//   quorath_host [--plugin PATH] --sign-up [--snapshot DIR]
//   quorath_host [--plugin PATH] --change-password [--snapshot DIR]
//   quorath_host [--plugin PATH] --login TYPE
//
// --sign-up and --change-password run feature "EmbDialog.FN3" with a host
// that answers the connection and the request. On screen the user fills the
// dialogs; with --snapshot (or on the offscreen platform) a script fills
// them, writes a picture of each dialog into DIR and finishes the flow.
// --login plays the login extension for a login of TYPE with a scripted
// client and prints what it sent and handed over. Exit code 0 on success.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "addin/host_interfaces.h"
#include "addin/plugin/account_dialogs.h"
#include "addin/testhost/fake_host.h"
#include "addin/testhost/host_script.h"
#include "addin/testhost/token_readback.h"
#include "platform/mfc/afx.h"
#include "platform/window/win_desktop.h"

namespace {

struct Options {
  std::string plugin;
  std::string snapshotDir;
  bool list = false;
  bool signUp = false;
  bool changePassword = false;
  int loginType = -1;
  bool help = false;
  bool bad = false;
};

const char kUsage[] =
    "usage: quorath_host [--plugin PATH] (--list | --sign-up | --change-password | --login TYPE)\n"
    "                    [--snapshot DIR]\n"
    "  --plugin PATH      the plug-in to load (default: libQuorath.so beside this program)\n"
    "  --list             print the add-in's name, build, interface versions and features\n"
    "  --sign-up          run the sign-up through feature EmbDialog.FN3\n"
    "  --change-password  run the password change through feature EmbDialog.FN3\n"
    "  --snapshot DIR     offscreen: fill the dialogs by script and save a picture of each in DIR\n"
    "  --login TYPE       play the login extension for login type TYPE (28, 29, 30, ...)\n"
    "  --help             this text\n";

std::string ProgramFolder() {
  char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  std::string folder(path, static_cast<std::size_t>(length));
  return folder.substr(0, folder.find_last_of('/'));
}

// path made absolute against the folder the program was started in (the
// framework enters the program folder before the dialogs run).
std::string Absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char folder[4096];
  if (getcwd(folder, sizeof folder) == nullptr) return path;
  return std::string(folder) + "/" + path;
}

Options Parse(int argc, char** argv) {
  Options options;
  options.plugin = ProgramFolder() + "/libQuorath.so";
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--plugin" && hasValue) {
      options.plugin = Absolute(argv[++i]);
    } else if (arg == "--snapshot" && hasValue) {
      options.snapshotDir = Absolute(argv[++i]);
    } else if (arg == "--login" && hasValue) {
      char* end = nullptr;
      long type = std::strtol(argv[++i], &end, 10);
      if (end == nullptr || *end != '\0' || type < 0 || type > 255) options.bad = true;
      options.loginType = static_cast<int>(type);
    } else if (arg == "--list") {
      options.list = true;
    } else if (arg == "--sign-up") {
      options.signUp = true;
    } else if (arg == "--change-password") {
      options.changePassword = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else {
      options.bad = true;
    }
  }
  int actions = options.list + options.signUp + options.changePassword + (options.loginType >= 0);
  if (actions != 1 && !options.help) options.bad = true;
  return options;
}

// The loaded plug-in; unloaded on destruction.
class Plugin {
 public:
  explicit Plugin(const std::string& path) {
    library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
      std::fprintf(stderr, "quorath_host: cannot load %s: %s\n", path.c_str(), dlerror());
      return;
    }
    auto get = reinterpret_cast<AddinGetObjectFunction>(dlsym(library_, "Addin_GetObject"));
    addin_ = get != nullptr ? get() : nullptr;
    if (addin_ == nullptr) std::fprintf(stderr, "quorath_host: %s has no add-in object\n", path.c_str());
  }
  ~Plugin() {
    if (library_ != nullptr) dlclose(library_);
  }
  IAddin* Addin() const { return addin_; }
  IFeatureEntry* Entry(const char* name) const {
    IFeatureEntry* entries[16] = {};
    int count = addin_->GetFeatureEntries(entries, 16);
    for (int i = 0; i < count; ++i) {
      if (std::strcmp(entries[i]->GetName(), name) == 0) return entries[i];
    }
    return nullptr;
  }

 private:
  void* library_ = nullptr;
  IAddin* addin_ = nullptr;
};

int List(IAddin* addin) {
  std::printf("name: %s\ndescription: %s\nbuilt: %s %s\n", addin->GetName(), addin->GetDescription(),
              addin->GetBuildDate(), addin->GetBuildTime());
  InterfaceVersionRow rows[64];
  int count = addin->GetInterfaceVersions(rows, 64);
  std::printf("interfaces: %d\n", count);
  for (int i = 0; i < count; ++i) std::printf("  %-20s %s (%d)\n", rows[i].name, rows[i].version, rows[i].number);
  IFeatureEntry* entries[16] = {};
  int entryCount = addin->GetFeatureEntries(entries, 16);
  std::printf("features: %d\n", entryCount);
  for (int i = 0; i < entryCount; ++i) {
    std::printf("  kind %-4d id %-3d %-20s %s\n", entries[i]->GetKind(), entries[i]->GetId(), entries[i]->GetName(),
                entries[i]->GetCaption());
  }
  return 0;
}

void PrintCalls(const char* title, const CallLog& calls) {
  std::printf("%s:\n", title);
  for (const std::string& call : calls) std::printf("  %s\n", call.c_str());
}

class AnswerRef final : public IQarnAnswerRef {
 public:
  explicit AnswerRef(IQarnJob* job) : job_(job) {}
  IQarnJob* GetJob() override { return job_; }

 private:
  IQarnJob* job_;
};

void SetSetting(ILiteXmlDocument& xml, const char* section, const char* key, const char* value) {
  HXMLNODE node = xml.FindChild(xml.GetRootElement(), section);
  if (node == nullptr) node = xml.AddChild(xml.GetRootElement(), section, 2, 0);
  xml.SetAttribute(node, key, value);
}

int Login(const Plugin& plugin, int type) {
  FakePort port;
  plugin.Addin()->AttachHost(&port);
  IFeatureEntry* entry = plugin.Entry("Gina.VelmicRegAuth");
  void* slot = nullptr;
  if (entry == nullptr || entry->CreateFeature(0, nullptr, &slot) != 1 || slot == nullptr) {
    std::fprintf(stderr, "quorath_host: the login extension could not be made\n");
    return 1;
  }
  auto* login = static_cast<ILoginExtension*>(slot);
  FakeClient* client = port.NewClient();
  client->loginType = type;
  client->account = "880001234";
  client->customerCode = "600123";
  SetSetting(client->config, "ServerStatus", "ScntrSupported", "1");
  SetSetting(client->config, "ServerOption", "IsHasScntr", "YES");
  std::string uidToken = "UID-TOKEN-" + std::to_string(type);
  SetSetting(client->config, "UID", "F1264", uidToken.c_str());
  FakeJob* loginJob = port.NewJob(client);

  std::printf("OnBeforeLogin(type %d): %d\n", type, login->OnBeforeLogin(loginJob));
  for (FakeJob* request : client->createdJobs) {
    if (!request->calls.empty()) PrintCalls("request", request->calls);
  }
  FakeJob* answer = port.NewJob(client);
  std::string token = "TOKEN-" + std::to_string(type);
  answer->rows = {{{807, "5"}, {825, token}, {809, "600123"}}};
  AnswerRef ref(answer);
  int result = login->OnLoginAnswer(loginJob, &ref);
  std::printf("OnLoginAnswer: %d\n", result);
  PrintCalls("login job", loginJob->calls);
  std::printf("traces:\n");
  for (std::string trace : port.traces) {
    for (std::size_t at = trace.find("\r\n"); at != std::string::npos; at = trace.find("\r\n")) {
      trace.replace(at, 2, "\\r\\n");
    }
    std::printf("  %s\n", trace.c_str());
  }
  std::printf("token store: %s\n", ReadTokenBack(600123).c_str());
  login->Release();
  return result == 0 ? 0 : 1;
}

// The host's classification "Orvenna" (1) with two trading sites.
void AddSites(FakePort& port) {
  port.classificationName = "Orvenna";
  port.classificationIds["Orvenna"] = 1;
  ILiteXmlDocument& xml = port.config;
  HXMLNODE classification = xml.AddChild(xml.GetRootElement(), "Classification", 2, 0);
  HXMLNODE item = xml.AddChild(classification, "ITEM", 2, kXmlAlwaysNew);
  xml.SetAttribute(item, "qstag", "1");
  xml.SetAttribute(item, "ClassificationName", "Orvenna证券");
  HXMLNODE sites = xml.AddChild(item, "Site", 2, 0);
  const char* const rows[2][4] = {{"上海电信", "127.0.0.1", "7708", "1"}, {"北京联通", "127.0.0.1", "7709", "3"}};
  for (const auto& row : rows) {
    HXMLNODE site = xml.AddChild(sites, "ITEM", 2, kXmlAlwaysNew);
    xml.SetAttribute(site, "Name", row[0]);
    xml.SetAttribute(site, "Address", row[1]);
    xml.SetAttribute(site, "Port", row[2]);
    xml.SetAttribute(site, "HostType", row[3]);
  }
}

// Delivers the host's due answers while the user works on screen.
class AnswerPump : public CWnd {
 public:
  explicit AnswerPump(FakePort* port) : port_(port) {}
  bool Make() {
    if (!CreateEx(0, nullptr, u"answers", WS_POPUP, CRect(0, 0, 1, 1), nullptr, 0)) return false;
    SetTimer(1, 100);
    return true;
  }
  void OnTimer(UINT_PTR) override { port_->DeliverDue(); }

 private:
  FakePort* port_;
};

// The picture code the dialog made this second (the same C library
// generator, seeded the same way).
std::u16string CodeOfThisSecond() {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  std::u16string code;
  for (int i = 0; i < 5; ++i) code += static_cast<char16_t>(u'0' + std::rand() % 10);
  return code;
}

void Save(TestDesktop* desk, HWND window, const std::string& dir, const char* name) {
  if (desk == nullptr || dir.empty()) return;
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  std::string path = dir + "/" + name;
  if (desk->SavePng(window, path)) std::printf("picture: %s\n", path.c_str());
}

void Click(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// Types the code and presses OK until the dialog starts a connection (a
// wrong code makes a new one, from the second of the press).
void AddCodeAndOk(HostScript& script, FakePort& port, HWND* dialog, int codeId, int okId) {
  auto attempts = std::make_shared<int>(0);
  script.Add([&port, dialog, codeId, okId, attempts] {
    if (!port.comm.jobs.empty()) return true;
    if (*attempts > 0 && IsWindowEnabled(GetDlgItem(*dialog, okId)) == FALSE) return false;
    if (++*attempts > 5) return true;
    SetDlgItemTextW(*dialog, codeId, CodeOfThisSecond().c_str());
    Click(*dialog, okId);
    return false;
  });
}

// The scripted answers: link up, then the request's answer.
void AddAnswers(HostScript& script, FakePort& port, HWND* dialog) {
  script.Then([&port] { port.DeliverDue(); });
  script.Add([&port] { return !port.connectionClient->createdJobs.empty() || port.PendingCount() == 0; });
  script.Then([&port] { port.DeliverDue(); });
  script.Add([dialog] { return !IsWindow(*dialog); });
}

int Dialogs(const Plugin& plugin, const Options& options) {
  bool scripted = !options.snapshotDir.empty();
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && std::string(platform) == "offscreen") scripted = true;
  std::unique_ptr<TestDesktop> desk;
  if (scripted) desk = std::make_unique<TestDesktop>();
  std::error_code ignored;
  if (!options.snapshotDir.empty()) std::filesystem::create_directories(options.snapshotDir, ignored);

  FakePort port;
  AddSites(port);
  port.connectAnswer.delayMs = scripted ? 0 : 600;
  port.requestAnswer.delayMs = scripted ? 0 : 600;
  plugin.Addin()->AttachHost(&port);
  IFeatureEntry* entry = plugin.Entry("EmbDialog.FN3");
  if (entry == nullptr) return 1;

  AnswerPump pump(&port);
  if (!scripted && !pump.Make()) return 1;
  HostScript script;
  HWND entryDialog = nullptr;
  HWND dialog = nullptr;
  const std::string& dir = options.snapshotDir;
  TestDesktop* desktop = desk.get();
  if (scripted) {
    if (!script.Make()) return 1;
    script.Add([&] { return (entryDialog = FindTopLevel(u"欢迎使用注册用户系统")) != nullptr; });
    script.Then([&] {
      Save(desktop, entryDialog, dir, "entry.png");
      Click(entryDialog, options.signUp ? entry_ids::kSignUp : entry_ids::kChangePassword);
    });
    if (options.signUp) {
      script.Add([&] { return (dialog = FindTopLevel(u"用户注册")) != nullptr; });
      script.Then([&] {
        SetDlgItemTextW(dialog, register_ids::kUserName, u"wangwu");
        SetDlgItemTextW(dialog, register_ids::kPassword, u"secret1");
        SetDlgItemTextW(dialog, register_ids::kConfirm, u"secret1");
        SetDlgItemTextW(dialog, register_ids::kPersonalName, u"王小五");
        SetDlgItemTextW(dialog, register_ids::kMobile, u"13800138000");
        SetDlgItemTextW(dialog, register_ids::kEmail, u"wang@example.com");
        Save(desktop, dialog, dir, "sign_up.png");
        Click(dialog, register_ids::kDetails);
      });
      script.Add([&] { return SendDlgItemMessageW(dialog, register_ids::kDetails, BM_GETCHECK, 0, 0) == BST_CHECKED; });
      script.Then([&] {
        SetDlgItemTextW(dialog, register_ids::kAddress, u"上海市浦东新区");
        Save(desktop, dialog, dir, "sign_up_details.png");
      });
      AddCodeAndOk(script, port, &dialog, register_ids::kCode, register_ids::kOk);
    } else {
      script.Add([&] { return (dialog = FindTopLevel(u"修改注册用户密码")) != nullptr; });
      script.Then([&] {
        SetDlgItemTextW(dialog, password_ids::kUserName, u"wangwu");
        SetDlgItemTextW(dialog, password_ids::kOld, u"secret1");
        SetDlgItemTextW(dialog, password_ids::kNew, u"secret2");
        SetDlgItemTextW(dialog, password_ids::kConfirm, u"secret2");
        Save(desktop, dialog, dir, "change_password.png");
      });
      AddCodeAndOk(script, port, &dialog, password_ids::kCode, IDOK);
    }
    AddAnswers(script, port, &dialog);
    script.Then([&] { Click(entryDialog, entry_ids::kExit); });
    script.Start();
  }

  void* slot = nullptr;
  int created = entry->CreateFeature(0, nullptr, &slot);
  std::printf("EmbDialog.FN3: %d\n", created);
  for (const auto& job : port.comm.jobs) PrintCalls("connection job", job->calls);
  for (FakeJob* request : port.connectionClient->createdJobs) PrintCalls("request", request->calls);
  bool succeeded = false;
  std::printf("message boxes:\n");
  for (const FakeGui::Box& box : port.gui.boxes) {
    std::printf("  [%s %u] %s\n", box.caption.c_str(), box.flags, box.text.c_str());
    succeeded = succeeded || box.caption == "注册成功";
  }
  if (scripted && script.GaveUp()) std::fprintf(stderr, "quorath_host: the script could not finish\n");
  return created == 1 && succeeded ? 0 : 1;
}

Options g_options;
int g_exitCode = 1;

class HostApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    Plugin plugin(g_options.plugin);
    if (plugin.Addin() != nullptr) g_exitCode = Dialogs(plugin, g_options);
    return FALSE;
  }
  int ExitInstance() override { return g_exitCode; }
};

}  // namespace

int main(int argc, char** argv) {
  g_options = Parse(argc, argv);
  if (g_options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (g_options.bad) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (g_options.list || g_options.loginType >= 0) {
    Plugin plugin(g_options.plugin);
    if (plugin.Addin() == nullptr) return 1;
    return g_options.list ? List(plugin.Addin()) : Login(plugin, g_options.loginType);
  }
  if (!g_options.snapshotDir.empty()) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  HostApp app;
  return AfxWinMain(argc, argv);
}
