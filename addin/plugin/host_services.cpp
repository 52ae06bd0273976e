#include "addin/plugin/host_services.h"

#include <unistd.h>

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "addin/xml_profile.h"
#include "platform/kernel/kernel_ini.h"

namespace {

HINSTANCE g_pluginModule = nullptr;  // the plug-in's resource module

}  // namespace

HINSTANCE PluginModule() { return g_pluginModule; }
void SetPluginModule(HINSTANCE module) { g_pluginModule = module; }

void HostServiceSet::Attach(IAddinPort* newPort) {
  port = newPort;
  if (port == nullptr) {
    skin = nullptr;
    gui = nullptr;
    comm = nullptr;
    gina = nullptr;
    note = nullptr;
    return;
  }
  skin = port->GetService(kServiceSkin);
  gui = static_cast<IQarnGUIUtility*>(port->GetService(kServiceGui));
  comm = static_cast<IQarnComm*>(port->GetService(kServiceComm));
  gina = port->GetService(kServiceGina);
  note = port->GetService(kServiceNote);
}

int HostMessageBox(const HostServiceSet& services, const char* text, const char* caption, UINT flags) {
  if (text == nullptr) text = "";
  if (services.gui != nullptr) return services.gui->MessageBox(text, caption, flags, 0, 0);
  if (services.port != nullptr) services.port->Trace("MessageBox: %s: %s", caption, text);
  return 0;
}

int CopyTextBounded(char* buffer, int size, const char* text) {
  if (buffer == nullptr || size < 1) return 0;
  if (text == nullptr) text = "";
  std::size_t length = std::strlen(text);
  std::size_t limit = static_cast<std::size_t>(size) - 1;
  if (length > limit) {
    length = limit;
    // Back up over the continuation bytes of a character the cut would split.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  }
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  return static_cast<int>(length);
}

int FormatBounded(char* buffer, int size, const char* format, ...) {
  if (buffer == nullptr || size < 1) return 0;
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  int result = 0;
  if (needed < 0) {
    buffer[0] = '\0';
  } else {
    std::string text(static_cast<std::size_t>(needed) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    result = CopyTextBounded(buffer, size, text.c_str());
  }
  va_end(args);
  return result;
}

namespace {

// A value of section read into a buffer of size bytes, cut on a character
// boundary (the profile itself cuts on a byte).
void ReadValue(XmlProfileSection& section, const char* key, char* buffer, int size) {
  char value[1024];
  section.ReadString(key, value, sizeof value, "");
  CopyTextBounded(buffer, size, value);
}

bool ItemMatches(const char* qstag, int classification, const char* nameText) {
  bool byNumber = qstag[0] >= '0' && qstag[0] <= '9' && std::atoi(qstag) == classification;
  return byNumber || std::strcmp(qstag, nameText) == 0;
}

void ReadSites(SiteTable* table, XmlProfileSection& item) {
  XmlProfileSection site = item.GetChild("Site", 2);
  XmlProfileEnum sites = site.Enumerate("ITEM", 0);
  if (sites.GetCount() == 0) return;
  int count = 0;
  HXMLNODE position = sites.First();
  while (position != nullptr && count < kMaxSites) {
    XmlProfileSection entry(nullptr, nullptr, nullptr);
    sites.Next(&entry, &position);
    HostSite& target = table->sites[count];
    ReadValue(entry, "Name", target.name, kSiteTextSize);
    ReadValue(entry, "Address", target.address, kSiteTextSize);
    char number[64];
    ReadValue(entry, "Port", number, sizeof number);
    target.port = static_cast<std::uint16_t>(std::atol(number));
    ReadValue(entry, "HostType", number, sizeof number);
    target.hostType = static_cast<std::int32_t>(std::atol(number));
    ++count;
  }
  table->siteCount = count;
}

}  // namespace

void ReadConnectionSettings(SiteTable* table, IAddinPort* port) {
  if (table == nullptr) return;
  char directory[260] = {};
  if (getcwd(directory, sizeof directory - 1) == nullptr) directory[0] = '\0';
  std::size_t length = std::strlen(directory);
  if (length == 0 || (directory[length - 1] != '\\' && directory[length - 1] != '/')) {
    directory[length] = '\\';
    directory[length + 1] = '\0';
  }
  std::string userComm = std::string(directory) + "t0002\\usercomm.ini";
  std::string sysComm = std::string(directory) + "syscomm.ini";
  table->primaryHost = static_cast<int>(GetPrivateProfileIntA("WTHOST", "PrimaryHost", 0, userComm.c_str()));
  table->nlb = static_cast<int>(GetPrivateProfileIntA("other", "NLB", 0, sysComm.c_str()));
  if (port == nullptr) return;

  HostXmlDocument document(port->GetConfigXml());
  XmlProfile profile(&document, 1, 0);
  XmlProfileSection classificationSection = profile.GetRoot().GetChild("Classification", 2);
  XmlProfileEnum items = classificationSection.Enumerate("ITEM", 0);

  char nameText[260];
  CopyTextBounded(nameText, sizeof nameText, port->GetClassificationName());
  table->classification = port->GetClassificationId(nameText);
  if (items.GetCount() == 0) return;

  HXMLNODE position = items.First();
  while (position != nullptr) {
    XmlProfileSection item(nullptr, nullptr, nullptr);
    items.Next(&item, &position);
    char qstag[260];
    ReadValue(item, "qstag", qstag, sizeof qstag);
    if (!ItemMatches(qstag, table->classification, nameText)) continue;
    ReadValue(item, "ClassificationName", table->classificationName, sizeof table->classificationName);
    if (table->siteCount == 0) ReadSites(table, item);
  }
}

int SelectPrimarySite(const SiteTable& table) {
  if (table.siteCount <= 0) return -1;
  constexpr int kPreferredHostType = 3;
  int firstPreferred = -1;
  for (int i = 0; i < table.siteCount; ++i) {
    if (table.sites[i].hostType == kPreferredHostType) {
      firstPreferred = i;
      break;
    }
  }
  int primary = table.primaryHost;
  if (primary < 0 || primary >= table.siteCount) return firstPreferred >= 0 ? firstPreferred : 0;
  if (table.sites[primary].hostType == kPreferredHostType) return primary;
  return firstPreferred >= 0 ? firstPreferred : primary;
}

bool StartConnectJob(const SiteTable& table, const HostServiceSet& services, const char* user, HWND dialog) {
  if (services.comm == nullptr) return false;
  ConnectJobRef<IQarnConnectJob> job(services.comm->CreateConnectJob(3, 2, 0));
  if (!job) return false;
  job->SetClassificationName(table.classificationName);
  job->SetClassification(table.classification, "");
  job->SetNlb(table.nlb);
  int selected = SelectPrimarySite(table);
  if (selected >= 0) job->SelectSite(selected);
  for (int i = 0; i < table.siteCount && i < kMaxSites; ++i) {
    const HostSite& site = table.sites[i];
    job->AddSite(site.name, site.address, site.port, 1, 0);
    job->SetSiteHostType(site.hostType);
  }
  job->SetTimeout(10000);
  job->SetUser(0, user != nullptr ? user : "", "", "");
  job->Start(dialog, dialog, WM_ACCOUNT_JOB_NOTIFY, kJobCodeConnected, 0);
  return true;
}

LRESULT AccountConnection::OnJobNotify(const HostServiceSet& services, HWND dialog, WPARAM handle, LPARAM code,
                                       AccountRequestSteps& steps) {
  JobRef job(services.port != nullptr ? services.port->GetJob(handle) : nullptr);
  if (!job) {
    HostMessageBox(services, "未知错误", "错误", kBoxError);
    steps.OnUnknownJob();
    return 0;
  }
  if (job->GetErrorKind() != 0) {
    HostMessageBox(services, job->GetErrorText(), "错误", kBoxError);
    steps.OnErrorAnswer();
    return 0;
  }
  if (code == kJobCodeConnected) {
    IQarnJobOwner* owner = job->GetOwner();
    HostRef<IQarnClient> client(owner != nullptr ? owner->GetClient() : nullptr);
    JobRef request(client ? client->CreateJob(nullptr, 0) : nullptr);
    if (!request) {
      // The link's answer carries no usable client: the user may try again.
      HostMessageBox(services, "未知错误", "错误", kBoxError);
      steps.OnErrorAnswer();
      return 0;
    }
    request->SetRequestMode(1);
    request->SetFunction(kAccountFunction);
    steps.FillRequest(request.Get());
    request->Submit(dialog, WM_ACCOUNT_JOB_NOTIFY, steps.FinalCode(), 0);
    if (client_ != nullptr) client_->Release();
    client_ = client.Detach();
    return 0;
  }
  if (code != steps.FinalCode() || client_ == nullptr) return 0;
  steps.ShowSuccess();
  IQarnClient* client = client_;
  client_ = nullptr;
  client->Disconnect(dialog, 0, 0, 0, 0);
  client->Release();
  steps.CloseCancelled();
  return 0;
}

int HostXmlDocument::GetNodeType(HXMLNODE node) {
  return host_ != nullptr ? host_->GetNodeType(node) : LiteXmlDocumentEx::GetNodeType(node);
}

const char* HostXmlDocument::GetNodeName(HXMLNODE node) {
  return host_ != nullptr ? host_->GetNodeName(node) : LiteXmlDocumentEx::GetNodeName(node);
}

const char* HostXmlDocument::GetNodeText(HXMLNODE node) {
  return host_ != nullptr ? host_->GetNodeText(node) : LiteXmlDocumentEx::GetNodeText(node);
}

HXMLNODE HostXmlDocument::GetParent(HXMLNODE node) {
  return host_ != nullptr ? host_->GetParent(node) : LiteXmlDocumentEx::GetParent(node);
}

HXMLNODE HostXmlDocument::GetFirstChild(HXMLNODE node) {
  return host_ != nullptr ? host_->GetFirstChild(node) : LiteXmlDocumentEx::GetFirstChild(node);
}

HXMLNODE HostXmlDocument::GetNextSibling(HXMLNODE node) {
  return host_ != nullptr ? host_->GetNextSibling(node) : LiteXmlDocumentEx::GetNextSibling(node);
}

HXMLNODE HostXmlDocument::FindChild(HXMLNODE parent, const char* name) {
  return host_ != nullptr ? host_->FindChild(parent, name) : LiteXmlDocumentEx::FindChild(parent, name);
}

HXMLNODE HostXmlDocument::InsertNode(HXMLNODE parent, HXMLNODE after, const char* text, int length, int type) {
  return host_ != nullptr ? host_->InsertNode(parent, after, text, length, type) : LiteXmlDocumentEx::InsertNode(parent, after, text, length, type);
}

HXMLNODE HostXmlDocument::AddChild(HXMLNODE parent, const char* name, int type, int flags) {
  return host_ != nullptr ? host_->AddChild(parent, name, type, flags) : LiteXmlDocumentEx::AddChild(parent, name, type, flags);
}

HXMLNODE HostXmlDocument::MakePath(const char* path, int type, int flags) {
  return host_ != nullptr ? host_->MakePath(path, type, flags) : LiteXmlDocumentEx::MakePath(path, type, flags);
}

HXMLNODE HostXmlDocument::FindPath(const char* path) {
  return host_ != nullptr ? host_->FindPath(path) : LiteXmlDocumentEx::FindPath(path);
}

int HostXmlDocument::DeleteChildrenByAttribute(HXMLNODE parent, const char* name, const char* attrName, const char* attrValue) {
  return host_ != nullptr ? host_->DeleteChildrenByAttribute(parent, name, attrName, attrValue) : LiteXmlDocumentEx::DeleteChildrenByAttribute(parent, name, attrName, attrValue);
}

int HostXmlDocument::DeleteChildren(HXMLNODE parent, const char* name) {
  return host_ != nullptr ? host_->DeleteChildren(parent, name) : LiteXmlDocumentEx::DeleteChildren(parent, name);
}

int HostXmlDocument::DeleteNode(HXMLNODE node) {
  return host_ != nullptr ? host_->DeleteNode(node) : LiteXmlDocumentEx::DeleteNode(node);
}

int HostXmlDocument::SetNodeText(HXMLNODE node, const char* text) {
  return host_ != nullptr ? host_->SetNodeText(node, text) : LiteXmlDocumentEx::SetNodeText(node, text);
}

int HostXmlDocument::SetNodeType(HXMLNODE node, int type) {
  return host_ != nullptr ? host_->SetNodeType(node, type) : LiteXmlDocumentEx::SetNodeType(node, type);
}

const char* HostXmlDocument::GetAttrName(HXMLATTR attr) {
  return host_ != nullptr ? host_->GetAttrName(attr) : LiteXmlDocumentEx::GetAttrName(attr);
}

const char* HostXmlDocument::GetAttributeValue(HXMLNODE node, const char* name) {
  return host_ != nullptr ? host_->GetAttributeValue(node, name) : LiteXmlDocumentEx::GetAttributeValue(node, name);
}

const char* HostXmlDocument::GetAttrValue(HXMLATTR attr) {
  return host_ != nullptr ? host_->GetAttrValue(attr) : LiteXmlDocumentEx::GetAttrValue(attr);
}

HXMLATTR HostXmlDocument::GetFirstAttribute(HXMLNODE node) {
  return host_ != nullptr ? host_->GetFirstAttribute(node) : LiteXmlDocumentEx::GetFirstAttribute(node);
}

HXMLATTR HostXmlDocument::GetNextAttribute(HXMLATTR attr) {
  return host_ != nullptr ? host_->GetNextAttribute(attr) : LiteXmlDocumentEx::GetNextAttribute(attr);
}

HXMLATTR HostXmlDocument::FindAttribute(HXMLNODE node, const char* name) {
  return host_ != nullptr ? host_->FindAttribute(node, name) : LiteXmlDocumentEx::FindAttribute(node, name);
}

HXMLATTR HostXmlDocument::AppendAttribute(HXMLNODE node, HXMLATTR last) {
  return host_ != nullptr ? host_->AppendAttribute(node, last) : LiteXmlDocumentEx::AppendAttribute(node, last);
}

HXMLATTR HostXmlDocument::AddEmptyAttribute(HXMLNODE node, const char* name) {
  return host_ != nullptr ? host_->AddEmptyAttribute(node, name) : LiteXmlDocumentEx::AddEmptyAttribute(node, name);
}

int HostXmlDocument::SetAttribute(HXMLNODE node, const char* name, const char* value) {
  return host_ != nullptr ? host_->SetAttribute(node, name, value) : LiteXmlDocumentEx::SetAttribute(node, name, value);
}

int HostXmlDocument::SetAttrNameValue(HXMLATTR attr, const char* name, const char* value) {
  return host_ != nullptr ? host_->SetAttrNameValue(attr, name, value) : LiteXmlDocumentEx::SetAttrNameValue(attr, name, value);
}

int HostXmlDocument::RemoveAttribute(HXMLNODE node, const char* name) {
  return host_ != nullptr ? host_->RemoveAttribute(node, name) : LiteXmlDocumentEx::RemoveAttribute(node, name);
}

int HostXmlDocument::RemoveAllAttributes(HXMLNODE node) {
  return host_ != nullptr ? host_->RemoveAllAttributes(node) : LiteXmlDocumentEx::RemoveAllAttributes(node);
}
