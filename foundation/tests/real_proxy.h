// Debian's dante-server (danted, SOCKS4/5) and tinyproxy (HTTP CONNECT),
// started by a test in the foreground on a free loopback port with a
// configuration file of its own, and stopped (its process group) at the end.
#pragma once

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "net_test_util.h"

namespace nettest {

class ProxyProcess {
 public:
  // Writes config into a fresh folder, runs exe with args (the text CONF in
  // an argument is replaced by the config path) and waits until port accepts.
  ProxyProcess(const std::string& exe, std::vector<std::string> args, const std::string& config, int port)
      : port_(port) {
    char folder[] = "/tmp/orv-proxy-XXXXXX";
    if (mkdtemp(folder) == nullptr) return;
    folder_ = folder;
    chmod(folder, 0755);
    std::string conf = folder_ + "/proxy.conf";
    std::ofstream(conf) << config;
    std::string log = folder_ + "/proxy.log";
    for (auto& a : args)
      if (a == "CONF") a = conf;
    pid_ = fork();
    if (pid_ == 0) {
      setpgid(0, 0);
      FILE* out = std::freopen(log.c_str(), "w", stderr);
      (void)out;
      std::freopen(log.c_str(), "a", stdout);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(exe.c_str()));
      for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(exe.c_str(), argv.data());
      _exit(127);
    }
    if (pid_ > 0) setpgid(pid_, pid_);
    ready_ = WaitFor(
        [&] {
          int fd = ConnectLoopback(port_);
          if (fd < 0) return false;
          ::close(fd);
          return true;
        },
        5000);
  }
  ~ProxyProcess() {
    if (pid_ > 0) {
      kill(-pid_, SIGTERM);
      int status = 0;
      for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i) usleep(20000);
      kill(-pid_, SIGKILL);
      waitpid(pid_, &status, WNOHANG);
    }
    if (!folder_.empty()) {
      std::string command = "rm -rf '" + folder_ + "'";
      int rc = std::system(command.c_str());
      (void)rc;
    }
  }
  ProxyProcess(const ProxyProcess&) = delete;
  ProxyProcess& operator=(const ProxyProcess&) = delete;

  bool ready() const { return ready_; }
  int port() const { return port_; }
  std::string Log() const {
    std::ifstream in(folder_ + "/proxy.log");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  int port_;
  pid_t pid_ = -1;
  bool ready_ = false;
  std::string folder_;
};

inline bool Installed(const char* path) { return access(path, X_OK) == 0; }

inline const char* kDanted = "/usr/sbin/danted";
inline const char* kTinyproxy = "/usr/bin/tinyproxy";

inline std::unique_ptr<ProxyProcess> StartDante(int port) {
  std::string config = "logoutput: stderr\n"
                       "internal: 127.0.0.1 port = " + std::to_string(port) + "\n"
                       "external: 127.0.0.1\n"
                       "clientmethod: none\n"
                       "socksmethod: none\n";
  if (geteuid() == 0) config += "user.privileged: root\nuser.unprivileged: nobody\n";
  config += "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
            "socks pass { from: 127.0.0.0/8 to: 127.0.0.0/8 protocol: tcp }\n";
  return std::make_unique<ProxyProcess>(kDanted, std::vector<std::string>{"-f", "CONF", "-N", "1"}, config, port);
}

// user empty: no authentication.
inline std::unique_ptr<ProxyProcess> StartTinyproxy(int port, const std::string& user = "",
                                                    const std::string& password = "") {
  std::string config = "Port " + std::to_string(port) + "\nListen 127.0.0.1\nTimeout 30\nMaxClients 50\n"
                       "Allow 127.0.0.1\nLogLevel Info\n";
  if (geteuid() == 0) config += "User nobody\nGroup nogroup\n";
  if (!user.empty()) config += "BasicAuth " + user + " " + password + "\n";
  return std::make_unique<ProxyProcess>(kTinyproxy, std::vector<std::string>{"-d", "-c", "CONF"}, config, port);
}

}  // namespace nettest
