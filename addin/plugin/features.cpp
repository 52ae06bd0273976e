#include "addin/plugin/features.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "addin/xml_profile.h"
#include "platform/kernel/kernel_utf.h"
#include "tokenstore/data_saver.h"

namespace {

FeatureObject* CreateGetSafeCom() { return new CGetSafeCom(); }
FeatureObject* CreateGinaExtentAuth() { return new CGinaExtentAuth(); }

constexpr int kLoginFailCode = -10000;
constexpr int kTokenFieldSize = 1024;
constexpr int kCustomerFieldSize = 128;
constexpr int kAccountSize = 64;

// A field of the current row as a bounded, terminated text ("" when the
// row has none).
void ReadField(IQarnJob* job, int id, char* buffer, int size) {
  buffer[0] = '\0';
  if (job->GetField(id, buffer, size, 0) < 0) buffer[0] = '\0';
  buffer[size - 1] = '\0';
  CopyTextBounded(buffer, size, std::string(buffer).c_str());
}

int LoginUserType(int loginType) {
  if (loginType == 28) return 1;
  if (loginType == 29) return 2;
  return 0;
}

bool IsTokenLoginType(int loginType) { return loginType == 28 || loginType == 29; }

}  // namespace

const FeatureClassRecord kGetSafeComClass = {"CGetSafeCom", sizeof(CGetSafeCom), 0, &CreateGetSafeCom};
const FeatureClassRecord kGinaExtentAuthClass = {"CGinaExtentAuth", sizeof(CGinaExtentAuth), 0,
                                                 &CreateGinaExtentAuth};

IDataSaver* BindDataSaver() {
  void* saver = nullptr;
  if (FAILED(CoCreateInstanceByProgID(kDataSaverProgId, IID_IDataSaver, &saver))) return nullptr;
  return static_cast<IDataSaver*>(saver);
}

void ReleaseDataSaver(IDataSaver* saver) {
  if (saver != nullptr) saver->Release();
}

void HandTokenOver(IDataSaver* saver, IAddinPort* port, const char* customerCode, int userType,
                   const char* token, const char* failTrace) {
  bool handed = false;
  if (saver != nullptr) {
    std::u16string wide = Utf8ToWide(token != nullptr ? token : "");
    BSTR text = SysAllocString(wide.c_str());
    if (text != nullptr) {
      long long code = std::atoll(customerCode != nullptr ? customerCode : "");
      handed = SUCCEEDED(saver->SetToken(code, userType, text));
      SysFreeString(text);
    }
  }
  if (!handed && port != nullptr) port->Trace("%s", failTrace);
}

int CGetSafeCom::Face::AttachHost(IAddinPort* port) {
  PluginModuleScope scope;
  owner_->services.Attach(port);
  return 1;
}

int CGinaExtentAuth::OnBeforeLogin(IQarnJob* login) {
  PluginModuleScope scope;
  if (login == nullptr) return 0;
  IQarnJobOwner* owner = login->GetOwner();
  if (owner == nullptr) return 0;
  ConnectJobRef<IQarnClient> client(owner->GetClient());
  if (!client) return 0;
  if (client->GetMode() == 3 || client->GetPhase() == 2) return 0;

  JobRef request(client->CreateJob(login->GetOrigin(), login->GetOriginCode()));
  int type = client->GetLoginType() & 0xFF;
  if (!IsTokenLoginType(type)) {
    HostXmlDocument document(client->GetConfigXml());
    XmlProfile profile(&document, 1, 0);
    XmlProfileSection uid = profile.GetRoot().GetChild("UID", 2);
    char key[16];
    FormatBounded(key, sizeof key, "F%d", 1264);
    char token[kTokenFieldSize];
    uid.ReadString(key, token, sizeof token, "");
    CopyTextBounded(token, sizeof token, std::string(token).c_str());
    HandTokenOver(DataSaver(), services.port, client->GetCustomerCode(), 0, token, "TokenFaild");
    return 0;
  }
  if (!request) {
    login->Fail(kLoginFailCode, "作业句柄无效");
    return -1;
  }

  HostXmlDocument document(client->GetConfigXml());
  XmlProfile profile(&document, 1, 0);
  XmlProfileSection status = profile.GetSection("ServerStatus", 2);
  if (status.IsValid()) {
    status.ReadBool("ScntrSupported", &scntrSupported, 0);
    status.ReadBool("ScntrErrCtlOn", &scntrErrCtlOn, 0);
  }
  XmlProfileSection option = profile.GetSection("ServerOption", 2);
  if (option.IsValid()) option.ReadBool("IsHasScntr", &isHasScntr, 0);
  if (!isHasScntr || !scntrSupported) return 0;

  char account[kAccountSize] = {};
  client->GetAccount(account, kAccountSize);
  account[kAccountSize - 1] = '\0';
  CopyTextBounded(account, kAccountSize, std::string(account).c_str());
  request->SetRequestMode(1);
  request->SetFunction(kAccountFunction);
  request->SetField(802, nullptr, 0);
  request->SetField(803, account, 1);
  request->SetField(4225, type == 29 ? "7" : "1", 0);
  request->Submit(nullptr, 0, 0, 0);
  return 1;
}

int CGinaExtentAuth::OnLoginAnswer(IQarnJob* login, IQarnAnswerRef* answerRef) {
  PluginModuleScope scope;
  JobRef answer(answerRef != nullptr ? answerRef->GetJob() : nullptr);
  IQarnJobOwner* owner = answer ? answer->GetOwner() : nullptr;
  ConnectJobRef<IQarnClient> client(owner != nullptr ? owner->GetClient() : nullptr);
  if (!client) {
    if (login != nullptr) login->Fail(kLoginFailCode, "CA校验作业无效");
    return -1;
  }

  int type = client->GetLoginType() & 0xFF;
  if (answer->GetErrorKind() == 0) {
    HostXmlDocument document(client->GetConfigXml());
    XmlProfile profile(&document, 0, 0);
    XmlProfileSection summary = profile.GetRoot().GetChild("Summary", 2);
    answer->FirstRow();
    if (answer->HasRow() == 0) return 0;
    char qxdm[kTokenFieldSize];
    ReadField(answer.Get(), 807, qxdm, sizeof qxdm);
    if (std::atoi(qxdm) != 0) summary.WriteString("QXDM", qxdm);
    if (services.port != nullptr) services.port->Trace("QXDM: %s\r\n", qxdm);
    char token[kTokenFieldSize];
    ReadField(answer.Get(), 825, token, sizeof token);
    char customer[kCustomerFieldSize];
    ReadField(answer.Get(), 809, customer, sizeof customer);
    HandTokenOver(DataSaver(), services.port, customer, LoginUserType(type), token, "SetToken Faild");
    return 0;
  }

  int kind = answer->GetErrorKind();
  int code = answer->GetErrorCode();
  bool tolerated = scntrErrCtlOn && (kind == 4 || kind == 6) && (code == -10013 || code == -6 || code == -7) &&
                   !IsTokenLoginType(type) && !(type >= 32 && type <= 36);
  if (tolerated) return 0;
  if (login != nullptr) login->TakeAnswer(answer.Get());
  return -1;
}
