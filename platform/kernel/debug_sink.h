// The process's one debug-output sink.
//
// Every trace of the system ends here: the debugger-output lines of
// DebugPrintf (OutputDebugStringA), and the few texts that low-level code
// writes to the standard output and error streams. By default every channel
// is written to standard error, unbuffered, one call at a time. A test can
// install a capture that receives the texts instead.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum class DebugChannel {
  Debugger,  // OutputDebugStringA
  Stdout,    // texts the system prints to standard output
  Stderr,    // texts the system prints to standard error
};

// Writes text to the sink. Safe from any thread; texts of concurrent calls
// never interleave.
void DebugWrite(DebugChannel channel, std::string_view text);

// The platform's debugger output: text up to its terminating zero. A null
// pointer writes nothing.
void OutputDebugStringA(const char* text);

// Replaces the sink for as long as the object lives (tests). The sink
// function is called under the sink's lock, so it needs none of its own.
// Captures nest: the innermost one receives the texts.
class DebugCapture {
 public:
  DebugCapture();
  ~DebugCapture();
  DebugCapture(const DebugCapture&) = delete;
  DebugCapture& operator=(const DebugCapture&) = delete;

  // Everything written since the capture began, all channels in order.
  std::string Text() const;
  // Only what was written to one channel.
  std::string Text(DebugChannel channel) const;
  // True when some write contained needle.
  bool Contains(std::string_view needle) const;
  void Clear();

 private:
  struct Entry {
    DebugChannel channel;
    std::string text;
  };
  std::vector<Entry> entries_;  // guarded by the sink's lock
  DebugCapture* previous_ = nullptr;
  friend void DebugWrite(DebugChannel, std::string_view);
};
