#include "platform/kernel/debug_sink.h"

#include <unistd.h>

#include <mutex>

namespace {

std::mutex& SinkLock() {
  static std::mutex lock;
  return lock;
}

DebugCapture*& CurrentCapture() {
  static DebugCapture* capture = nullptr;
  return capture;
}

void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = ::write(fd, text.data(), text.size());
    if (n <= 0) return;
    text.remove_prefix(static_cast<size_t>(n));
  }
}

}  // namespace

void DebugWrite(DebugChannel channel, std::string_view text) {
  std::lock_guard<std::mutex> guard(SinkLock());
  if (DebugCapture* capture = CurrentCapture()) {
    capture->entries_.push_back({channel, std::string(text)});
    return;
  }
  WriteAll(STDERR_FILENO, text);
}

void OutputDebugStringA(const char* text) {
  if (!text) return;
  DebugWrite(DebugChannel::Debugger, text);
}

DebugCapture::DebugCapture() {
  std::lock_guard<std::mutex> guard(SinkLock());
  previous_ = CurrentCapture();
  CurrentCapture() = this;
}

DebugCapture::~DebugCapture() {
  std::lock_guard<std::mutex> guard(SinkLock());
  // Captures are scoped objects, so they end in the reverse order of their
  // start; restore whatever was installed before this one.
  if (CurrentCapture() == this) CurrentCapture() = previous_;
}

std::string DebugCapture::Text() const {
  std::lock_guard<std::mutex> guard(SinkLock());
  std::string all;
  for (const Entry& e : entries_) all += e.text;
  return all;
}

std::string DebugCapture::Text(DebugChannel channel) const {
  std::lock_guard<std::mutex> guard(SinkLock());
  std::string all;
  for (const Entry& e : entries_)
    if (e.channel == channel) all += e.text;
  return all;
}

bool DebugCapture::Contains(std::string_view needle) const {
  return Text().find(needle) != std::string::npos;
}

void DebugCapture::Clear() {
  std::lock_guard<std::mutex> guard(SinkLock());
  entries_.clear();
}
