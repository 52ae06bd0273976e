// The feature objects the factory makes for the host: CGetSafeCom (kind 1,
// "GETTMSSOCOM"), which only keeps one value for the host, and
// CGinaExtentAuth (kind 102, "Gina.VelmicRegAuth"), the extension of the
// host's login: before the login of types 28 and 29 it sends one extra
// account request when the server supports it; after a successful answer
// it copies the summary code into the host's settings and hands the login
// token with the customer code to the token store.
//
// Both begin life through their class record's create function; the
// factory then fills their HostServiceSet and the add-in's data-saver
// reference. The host ends them with their Release.
#pragma once

#include <cstdint>

#include "addin/host_interfaces.h"
#include "addin/plugin/host_services.h"

class IDataSaver;  // tokenstore/data_saver.h

// The token store's data saver by its ProgID, or null when the store is
// not registered or cannot be made. The caller releases it with
// ReleaseDataSaver.
IDataSaver* BindDataSaver();
void ReleaseDataSaver(IDataSaver* saver);

// The base of the plug-in's feature objects: three slots (deleting
// destructor, the interface handed to the host, the class record).
class FeatureObject {
 public:
  virtual ~FeatureObject() = default;
  virtual void* GetInterface() = 0;
  virtual const FeatureClassRecord* GetClassRecord() = 0;

  HostServiceSet services;                   // filled by the factory
  IDataSaver* const* dataSaverRef = nullptr; // the add-in's reference, or null
};

extern const FeatureClassRecord kGetSafeComClass;
extern const FeatureClassRecord kGinaExtentAuthClass;

// Hands a token over through saver: SetToken(atoll(customerCode),
// userType, token as UTF-16). With no saver, or a failed call, the port
// (when there is one) gets failTrace; the caller goes on either way.
void HandTokenOver(IDataSaver* saver, IAddinPort* port, const char* customerCode, int userType,
                   const char* token, const char* failTrace);

class CGetSafeCom final : public FeatureObject {
 public:
  CGetSafeCom() : face_(this) {}
  void* GetInterface() override { return static_cast<IValueFeature*>(&face_); }
  const FeatureClassRecord* GetClassRecord() override { return &kGetSafeComClass; }
  IValueFeature* Feature() { return &face_; }

 private:
  class Face final : public IValueFeature {
   public:
    explicit Face(CGetSafeCom* owner) : owner_(owner) {}
    void* GetOwner() override { return owner_; }
    std::intptr_t GetValue() override { return owner_->services.ownerEntry; }
    void SetValue(std::intptr_t value) override { owner_->services.ownerEntry = value; }
    void Release() override {
      PluginModuleScope scope;
      delete owner_;
    }
    IValueFeature* QueryFeature(int flag) override { return flag == 0 ? this : nullptr; }
    int AttachHost(IAddinPort* port) override;
    void Idle1() override {}
    void Idle2() override {}
    void Idle3(std::intptr_t) override {}
    void Idle4(std::intptr_t) override {}
    void Idle5(std::intptr_t) override {}
    void Idle6(std::intptr_t) override {}
    void Idle7(std::intptr_t) override {}
    void Idle8(std::intptr_t) override {}
    void Idle9(std::intptr_t) override {}
    void Idle10(std::intptr_t) override {}
    void Idle11(std::intptr_t) override {}
    void Idle12(std::intptr_t) override {}
    void Idle13(std::intptr_t) override {}
    void Idle14(std::intptr_t) override {}
    void Idle15(std::intptr_t) override {}
    void Idle16(std::intptr_t) override {}
    void Idle17(std::intptr_t) override {}
    void Idle18(std::intptr_t, std::intptr_t) override {}
    int Idle19(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t) override { return 0; }

   private:
    CGetSafeCom* owner_;
  };

  Face face_;  // the part handed to the host
};

class CGinaExtentAuth final : public ILoginExtension, public FeatureObject {
 public:
  void* GetSelf() override { return this; }
  std::intptr_t GetValue() override { return services.ownerEntry; }
  void SetValue(std::intptr_t value) override { services.ownerEntry = value; }
  void Release() override {
    PluginModuleScope scope;
    delete this;
  }
  // 1: the extra request was sent; 0: nothing to do (or not a login this
  // extension handles); -1: the login job was failed (no request job).
  int OnBeforeLogin(IQarnJob* login) override;
  // 0: done (or the error dropped); -1: the login job was failed or given
  // the error answer.
  int OnLoginAnswer(IQarnJob* login, IQarnAnswerRef* answer) override;
  const FeatureClassRecord* GetRuntimeClass() override { return &kGinaExtentAuthClass; }

  void* GetInterface() override { return static_cast<ILoginExtension*>(this); }
  const FeatureClassRecord* GetClassRecord() override { return &kGinaExtentAuthClass; }

  // Read by OnBeforeLogin for types 28 and 29 from the client's settings.
  int isHasScntr = 0;
  int scntrSupported = 0;
  int scntrErrCtlOn = 0;

 private:
  IDataSaver* DataSaver() const { return dataSaverRef != nullptr ? *dataSaverRef : nullptr; }
};
