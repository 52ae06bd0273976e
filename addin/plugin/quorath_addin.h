// The plug-in's add-in object, its feature entries and its application
// object: what the host reaches through Addin_GetObject.
//
// The host loads the library (which constructs the application object and
// in it the add-in with its 17 version rows and three entries), calls
// Addin_GetObject, then AttachHost, and creates features through the
// entries. Everything runs on the host's user-interface thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "addin/host_interfaces.h"
#include "addin/plugin/features.h"
#include "addin/res_string_cache.h"
#include "platform/mfc/afx.h"

class CQuorathAddin;

// The callback of an entry that makes its feature itself; it receives the
// add-in object.
using FeatureCallback = int (*)(CQuorathAddin* addin, IFeatureEntry* entry, std::intptr_t argument, void* existing,
                                void** resultSlot);

// A view feature (kinds 107 to 109): the host's view-feature operations
// the factory calls. No entry of this plug-in makes one.
class ViewFeatureObject : public FeatureObject {
 public:
  virtual void Initialise(std::intptr_t argument, int extra) = 0;
  virtual void InitialiseSecond(std::intptr_t argument, int extra) = 0;
  virtual HWND GetWindow() = 0;
  virtual void FinishSetup() = 0;
  // The number the feature's owner object reports (0 without one).
  virtual LPARAM OwnerNumber() = 0;
};

class CQuorathFeatureEntry final : public IFeatureEntry {
 public:
  // caption: a text, or a string id below 0x10000 cast to a pointer.
  CQuorathFeatureEntry(CQuorathAddin* owner, int kind, const char* name, const char* caption, FeatureCallback callback,
                       const FeatureClassRecord* record, int extra = 0)
      : owner_(owner), kind_(kind), name_(name), caption_(caption), callback_(callback), record_(record),
        extra_(extra) {}

  int GetKind() override { return kind_; }
  int GetId() override { return id_; }
  const char* GetName() override { return name_; }
  // The stored text, or the string resource of a stored id.
  const char* GetCaption() override;
  // The class record when it has one with a non-zero flag word, else null.
  const FeatureClassRecord* GetRuntimeClass() override;
  // The feature factory: 1 when a feature was made or reused, else 0.
  int CreateFeature(std::intptr_t argument, void* existing, void** resultSlot) override;

 private:
  FeatureObject* MakeObject(std::intptr_t argument);

  CQuorathAddin* owner_;
  int kind_;
  int id_ = -1;
  const char* name_;
  const char* caption_;
  FeatureCallback callback_;          // or null
  const FeatureClassRecord* record_;  // or null
  int extra_;                         // passed to new view features
};

class CQuorathAddin final : public IAddin {
 public:
  CQuorathAddin();
  ~CQuorathAddin() override;
  CQuorathAddin(const CQuorathAddin&) = delete;
  CQuorathAddin& operator=(const CQuorathAddin&) = delete;

  const char* GetName() override { return "Quorath"; }
  const char* GetDescription() override { return "Welmar注册用户认证"; }
  const char* GetBuildDate() override { return "Jun 11 2012"; }
  const char* GetBuildTime() override { return "09:53:09"; }
  int GetInterfaceVersions(InterfaceVersionRow* buffer, int capacity) override;
  // Keeps port and looks its services up; with a port attaches a window
  // object to the host's main window (unless the host has its own object
  // for it) and binds the token store's data saver. Returns 1.
  int AttachHost(IAddinPort* port) override;
  void NoOperation() override {}
  IAddinPort* GetHost() override { return services_.port; }
  int GetFeatureEntries(IFeatureEntry** buffer, int capacity) override;
  // The window object's own pre-translation when the window has one; else 0.
  int PreTranslateAddinMessage(HWND window, MSG* message) override;
  int OnBeforeCreateFeature(IFeatureEntry*, std::intptr_t, void*, void**, int*) override { return 1; }
  void RefreshServices(std::intptr_t) override {
    PluginModuleScope scope;
    services_.Attach(services_.port);
  }
  void IgnoreNotification1(std::intptr_t) override {}
  void IgnoreNotification2(std::intptr_t) override {}
  void IgnoreNotification3(std::intptr_t) override {}
  void IgnoreNotification4(std::intptr_t) override {}
  void IgnoreNotification5(std::intptr_t) override {}
  void IgnoreNotification6(std::intptr_t) override {}
  void IgnoreNotification7(std::intptr_t) override {}
  void IgnoreNotification8(std::intptr_t) override {}
  void IgnoreNotification9(std::intptr_t) override {}
  void IgnoreNotification10(std::intptr_t) override {}
  void IgnoreNotification11(std::intptr_t) override {}
  void IgnoreNotification12(std::intptr_t) override {}
  void IgnoreNotification13(std::intptr_t) override {}
  void IgnoreNotification14(std::intptr_t) override {}
  void IgnoreNotificationPair(std::intptr_t, std::intptr_t) override {}
  // Code -65530: the string cache reads from the module value (0: the
  // plug-in's own). Every code returns 0.
  int OnHostEvent(int code, std::intptr_t value, std::intptr_t, std::intptr_t, std::intptr_t) override;

  // Appends a row to the version table (grows as the table's rule says).
  void AppendVersion(const InterfaceVersionRow& row);
  int VersionCapacity() const { return versionCapacity_; }
  // Adds an entry (owned by the add-in).
  CQuorathFeatureEntry* AddEntry(std::unique_ptr<CQuorathFeatureEntry> entry);
  // Lets go of the host's main window (it is never destroyed here).
  void DetachMainWindow();

  HostServiceSet& Services() { return services_; }
  CWnd& MainWindowObject() { return mainWindow_; }
  IDataSaver* const* DataSaverRef() const { return &dataSaver_; }
  void SetOwnModule(HINSTANCE module) { ownModule_ = module; }

  // The callback of "EmbDialog.FN3": the account entry dialog, modally.
  static int RunAccountEntryDialog(CQuorathAddin* addin, IFeatureEntry* entry, std::intptr_t argument, void* existing,
                                   void** resultSlot);

 private:
  HostServiceSet services_;                                    // the port and its five services
  std::vector<std::unique_ptr<CQuorathFeatureEntry>> entries_; // in the order added
  InterfaceVersionRow* versions_ = nullptr;                    // the version table
  int versionCount_ = 0;
  int versionCapacity_ = 0;
  int versionGrowStep_ = 0;                                    // 0: count / 8 within 4 .. 1024
  CWnd mainWindow_;                                            // attached to the host's main window
  IDataSaver* dataSaver_ = nullptr;                            // the token store, or null
  HINSTANCE ownModule_ = nullptr;                              // the plug-in's string module
};

// The plug-in's application object: made at load, destroyed at unload. The
// host owns the process's framework application; this one installs the
// plug-in's string cache and filters the messages of the plug-in's dialogs.
class CQuorathApp {
 public:
  CQuorathApp();
  ~CQuorathApp();
  CQuorathApp(const CQuorathApp&) = delete;
  CQuorathApp& operator=(const CQuorathApp&) = delete;

  // Installs the string cache on the plug-in's module (10,240 bytes) and the
  // dialogs' message filter. TRUE.
  BOOL InitInstance();
  // Releases the cache and the filter and lets go of the host's main window.
  int ExitInstance();
  // The message filter of the plug-in's dialogs; TRUE: the message is
  // handled (dropped).
  BOOL PreTranslateMessage(MSG* message);

  CQuorathAddin& Addin() { return addin_; }

 private:
  ResStringCache cache_;
  CQuorathAddin addin_;
  CQuorathAddin* addinRef_;            // how PreTranslateMessage reaches the host
  HINSTANCE module_ = nullptr;         // the string module (its own, empty table)
  HINSTANCE templateModule_ = nullptr; // the resource module of its dialog templates
};
