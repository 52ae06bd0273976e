// Icon resources (pictures of the resource folder kept by handle) and
// window pictures written to files.
#include "platform/window/win_system.h"
#include "platform/window/win_icons.h"
#include "platform/window/win_internal.h"

#include "platform/gdi/win_gdi.h"
#include "platform/kernel/debug_sink.h"

#include <QImage>

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <unordered_map>

namespace {

// Icon handles are numbers above every standard cursor id, never reused.
std::mutex g_iconLock;
std::unordered_map<std::uintptr_t, QImage> g_icons;
std::uintptr_t g_nextIcon = 0x10000;

}  // namespace

HICON LoadIconW(HINSTANCE, LPCWSTR name) {
  const auto id = reinterpret_cast<std::uintptr_t>(name);
  if (id == 0 || id > 0xFFFF) {
    OutputDebugStringA("LoadIconW: only numbered icon resources are kept\n");
    return nullptr;
  }
  const std::string path = ResourceFolder() + "icon/" + std::to_string(id) + ".png";
  QImage picture(QString::fromStdString(path));
  if (picture.isNull()) {
    char line[600];
    std::snprintf(line, sizeof line, "LoadIconW: %s cannot be read\n", path.c_str());
    OutputDebugStringA(line);
    return nullptr;
  }
  std::lock_guard<std::mutex> hold(g_iconLock);
  const std::uintptr_t handle = g_nextIcon++;
  g_icons.emplace(handle, picture.convertToFormat(QImage::Format_ARGB32));
  return reinterpret_cast<HICON>(handle);
}

BOOL DestroyIcon(HICON icon) {
  std::lock_guard<std::mutex> hold(g_iconLock);
  return g_icons.erase(reinterpret_cast<std::uintptr_t>(icon)) ? TRUE : FALSE;
}

QImage IconPicture(HICON icon) {
  std::lock_guard<std::mutex> hold(g_iconLock);
  auto it = g_icons.find(reinterpret_cast<std::uintptr_t>(icon));
  return it == g_icons.end() ? QImage() : it->second;
}

BOOL SaveWindowPicture(HWND hwnd, const char* path) {
  if (!path || !IsWindow(hwnd)) return FALSE;
  QImage* backing = TopLevelBacking(GetAncestor(hwnd, GA_ROOT));
  QRect r;
  if (!backing || !WindowRectInBacking(hwnd, &r)) return FALSE;
  return backing->copy(r).save(QString::fromUtf8(path), "PNG") ? TRUE : FALSE;
}
