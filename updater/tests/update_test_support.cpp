#include "updater/tests/update_test_support.h"

#include <filesystem>

#include "platform/kernel/kernel_files.h"
#include "tools/simbroker/http/sim_http_content.h"

namespace updatetest {

namespace fs = std::filesystem;

const char kOldHelp[] = "<html><body>old help</body></html>";
const char kOldLog[] = "1.0.0.1 release notes\r\n";

namespace {
const char* const kPictures[] = {"res/update.png", "res/updateBG.png", "res/updateBtn.png", "res/processBG.png",
                                 "res/process.png", "res/icon/128.png", "res/fonts.conf"};
}  // namespace

TestInstall::TestInstall() {
  if (temp_.Path().empty()) return;
  program_ = temp_.Path() + "program/";
  std::error_code error;
  fs::create_directories(TempPath(), error);
  simhttp::SimHttpOptions options;
  options.port = 0;
  options.holdMs = 60000;
  server_ = std::make_unique<simhttp::SimHttpServer>(options);
  if (server_->Start() != 1) return;
  for (const auto& [path, content] : simhttp::BuildDemoSeedFiles()) Write(path, content);
  Write("res/default_html/help.html", kOldHelp);
  Write("res/updatelog.txt", kOldLog);
  const std::string build = orvtest::BuildProgramFolder();
  for (const char* picture : kPictures) {
    fs::create_directories(fs::path(program_ + picture).parent_path(), error);
    fs::copy_file(build + picture, program_ + picture, fs::copy_options::overwrite_existing, error);
  }
  working_ = std::make_unique<orvtest::ScopedWorkingFolder>(program_);
  ok_ = working_->Ok();
}

TestInstall::~TestInstall() {
  if (server_) server_->Stop();
  working_.reset();
}

void TestInstall::Scenario(const std::function<void(simhttp::SimHttpScenario&)>& change) {
  simhttp::SimHttpScenario s = server_->Scenario();
  change(s);
  server_->SetScenario(s);
}

std::string TestInstall::DescriptionAddress() const { return Base() + "/update/update.ini"; }

std::string TestInstall::Base() const { return server_->BaseUrl(0); }

std::vector<std::string> TestInstall::FileRequests() const {
  std::vector<std::string> out;
  for (const auto& r : server_->Requests("update.file")) out.push_back(r.path);
  return out;
}

std::string TestInstall::Read(const std::string& relative) const {
  std::string out;
  ReadWholeFile(program_ + relative, &out);
  return out;
}

bool TestInstall::Exists(const std::string& relative) const {
  std::error_code error;
  return fs::exists(fs::symlink_status(NativePath(program_ + relative), error));
}

void TestInstall::Write(const std::string& relative, const std::string& content) {
  std::error_code error;
  fs::create_directories(fs::path(NativePath(program_ + relative)).parent_path(), error);
  WriteWholeFile(program_ + relative, content.data(), content.size());
}

std::map<std::string, std::string> TestInstall::Files() const {
  std::map<std::string, std::string> out;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(program_, error); it != fs::recursive_directory_iterator();
       it.increment(error)) {
    const std::string relative = fs::relative(it->path(), program_, error).string();
    if (relative.size() > 4 && (relative.substr(relative.size() - 4) == ".png" || relative == "res/fonts.conf"))
      continue;
    if (it->is_directory(error)) {
      out[relative + "/"] = "";
      continue;
    }
    out[relative] = Read(relative);
  }
  return out;
}

std::vector<std::string> TestInstall::Leftovers() const {
  std::vector<std::string> out;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(program_, error); it != fs::recursive_directory_iterator();
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    const std::string tail = name.size() >= 4 ? name.substr(name.size() - 4) : "";
    if (tail == ".upg" || tail == ".old" || name == "update.swap") out.push_back(name);
  }
  return out;
}

std::string ServerFile(const std::string& name) {
  int found = 0;
  return simhttp::UpdateFileContent(name, &found);
}

}  // namespace updatetest
