// Shared fixture of the HTTP service tests: three loopback sites on one free
// port, short holds, and small helpers to talk to them.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <string>

#include "tools/simbroker/http/sim_http_services.h"

using namespace simhttp;

class SimHttpFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    SimHttpOptions options;
    options.sites = {{"127.0.0.1", "演示站", "本地", "1"},
                     {"127.0.0.2", "电信主站", "电信", "2"},
                     {"127.0.0.3", "联通主站", "联通", "-1"}};
    options.port = 0;
    options.holdMs = 1500;
    options.historyPort = 18111;
    server_ = std::make_unique<SimHttpServer>(options);
    ASSERT_EQ(1, server_->Start());
  }
  void TearDown() override { server_->Stop(); }

  std::unique_ptr<httplib::Client> Client(int site = 0, int timeoutMs = 5000) {
    auto client = std::make_unique<httplib::Client>(server_->BaseUrl(site));
    client->set_connection_timeout(0, timeoutMs * 1000);
    client->set_read_timeout(timeoutMs / 1000, (timeoutMs % 1000) * 1000);
    client->set_decompress(false);
    return client;
  }
  std::string Post(const std::string& path, const std::string& body, int site = 0) {
    auto r = Client(site)->Post(path, body, "application/x-www-form-urlencoded");
    EXPECT_TRUE(r) << path;
    if (!r) return "";
    EXPECT_EQ(200, r->status) << path;
    return r->body;
  }
  std::string Get(const std::string& target, int site = 0) {
    auto r = Client(site)->Get(target);
    EXPECT_TRUE(r) << target;
    if (!r) return "";
    EXPECT_EQ(200, r->status) << target;
    return r->body;
  }
  void Set(const SimHttpScenario& s) { server_->SetScenario(s); }

  std::unique_ptr<SimHttpServer> server_;
};

// The text between the first <name> and </name>, or "<missing>".
inline std::string Between(const std::string& text, const std::string& name) {
  size_t open = text.find("<" + name + ">");
  if (open == std::string::npos) return "<missing>";
  open += name.size() + 2;
  size_t close = text.find("</" + name + ">", open);
  return close == std::string::npos ? "<missing>" : text.substr(open, close - open);
}
