// Internal: the cross-process side of the window system (win_remote.cpp),
// called by the in-process functions when a handle or thread id belongs to
// another process. Not for use outside platform/.
#pragma once

#include "platform/window/win_user.h"

#include <cstdint>
#include <functional>
#include <vector>

// The high half of this process's window handles (0 until it joined).
std::uintptr_t HandleInstanceBits();
// True for a handle whose high half names another process.
bool IsForeignHandle(HWND hwnd);

// FindWindowW over this process's windows only.
HWND FindLocalWindow(LPCWSTR className, LPCWSTR title);
// Runs a window procedure as for a send from another thread or process
// (InSendMessage answers TRUE inside).
LRESULT CallWindowAsSend(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Queues a call for the UI thread's next look at its queue without waiting
// for it; RunQueuedCalls runs the queued calls now (UI thread).
void QueueUiCall(std::function<void()> fn);
void RunQueuedCalls();
void SetUiThreadIdForPorts(DWORD id);

HWND RemoteFindWindow(LPCWSTR className, LPCWSTR title);
BOOL RemoteIsWindow(HWND hwnd);
BOOL RemoteGetWindowRect(HWND hwnd, RECT* rect);
WString RemoteGetWindowText(HWND hwnd);
BOOL RemoteShowWindow(HWND hwnd, int cmd);
BOOL RemoteSetForegroundWindow(HWND hwnd);
BOOL RemotePostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL RemotePostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
// *ok (optional) tells success from failure (GetLastError set then).
LRESULT RemoteSendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, DWORD timeoutMs, bool* ok);
std::uintptr_t RemoteNativeWindowId(HWND hwnd);

// The child-process message-box switch: when ORV_TEST_BOXES names a file,
// appends the box to it, sets *answer (ORV_TEST_BOX_ANSWER, default IDOK)
// and answers true.
bool RecordTestBox(const WString& text, const WString& caption, UINT type, int* answer);

// Embedding, host side: a slot (a child window with a native window) that a
// client of another process was put into moved, resized, was shown, hidden
// or destroyed.
void EmbeddingSlotChanged(HWND slot);
void EmbeddingSlotDestroyed(HWND slot);
struct EmbeddingInfo {
  HWND slot;
  int clientPid;
  SIZE size;
  bool visible;
};
std::vector<EmbeddingInfo> CurrentEmbeddings();
