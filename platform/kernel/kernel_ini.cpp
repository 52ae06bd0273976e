// The file is parsed into lines, each classified once; lookups walk the
// lines, and writes edit the line list and join it again.
#include "platform/kernel/kernel_ini.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_utf.h"

namespace {

std::mutex g_profileLock;  // serialises every profile read and write

enum class LineKind { Other, Section, Key };

struct Line {
  std::string text;  // the line as in the file, without its line end
  LineKind kind = LineKind::Other;
  std::string name;   // section or key name, trimmed
  std::string value;  // key value, trimmed and unquoted
};

struct Profile {
  std::vector<Line> lines;
  std::string lineEnd = "\n";  // "\r\n" when the file uses it
  bool byteOrderMark = false;  // kept when the file is written back
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

Line Classify(std::string text) {
  Line line;
  line.text = std::move(text);
  std::string_view body = Trim(line.text);
  if (body.empty() || body.front() == ';') return line;
  if (body.front() == '[') {
    body.remove_prefix(1);
    size_t close = body.find(']');
    line.kind = LineKind::Section;
    line.name = std::string(Trim(body.substr(0, close)));
    return line;
  }
  size_t eq = body.find('=');
  line.kind = LineKind::Key;
  line.name = std::string(Trim(body.substr(0, eq)));
  if (eq == std::string_view::npos) return line;
  std::string_view value = Trim(body.substr(eq + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  line.value = std::string(value);
  return line;
}

Profile Parse(const std::string& bytes) {
  Profile profile;
  std::string_view rest(bytes);
  if (rest.substr(0, 3) == "\xEF\xBB\xBF") {
    profile.byteOrderMark = true;
    rest.remove_prefix(3);
  }
  if (rest.find("\r\n") != std::string_view::npos) profile.lineEnd = "\r\n";
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    std::string_view text = rest.substr(0, end);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    profile.lines.push_back(Classify(std::string(text)));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return profile;
}

Profile Load(std::string_view path, bool* exists) {
  std::string bytes;
  *exists = ReadWholeFile(path, &bytes);
  return Parse(bytes);
}

bool Save(std::string_view path, const Profile& profile) {
  std::string bytes = profile.byteOrderMark ? "\xEF\xBB\xBF" : "";
  for (const Line& line : profile.lines) {
    bytes += line.text;
    bytes += profile.lineEnd;
  }
  return WriteWholeFile(path, bytes.data(), bytes.size());
}

// Index of the first line of the first section named section, or npos.
size_t FindSection(const Profile& profile, std::string_view section) {
  for (size_t i = 0; i < profile.lines.size(); ++i)
    if (profile.lines[i].kind == LineKind::Section && SameName(profile.lines[i].name, section)) return i;
  return std::string::npos;
}

// One past the last line of the section starting at header.
size_t SectionEnd(const Profile& profile, size_t header) {
  size_t i = header + 1;
  while (i < profile.lines.size() && profile.lines[i].kind != LineKind::Section) ++i;
  return i;
}

// The key's line within the section at header, or npos.
size_t FindKey(const Profile& profile, size_t header, std::string_view key) {
  size_t end = SectionEnd(profile, header);
  for (size_t i = header + 1; i < end; ++i)
    if (profile.lines[i].kind == LineKind::Key && SameName(profile.lines[i].name, key)) return i;
  return std::string::npos;
}

// Looks the value up; false when the section or key is missing.
bool Lookup(const Profile& profile, std::string_view section, std::string_view key, std::string* value) {
  size_t header = FindSection(profile, section);
  if (header == std::string::npos) return false;
  size_t at = FindKey(profile, header, key);
  if (at == std::string::npos) return false;
  *value = profile.lines[at].value;
  return true;
}

std::vector<std::string> SectionNames(const Profile& profile) {
  std::vector<std::string> names;
  for (const Line& line : profile.lines)
    if (line.kind == LineKind::Section) names.push_back(line.name);
  return names;
}

std::vector<std::string> KeyNames(const Profile& profile, std::string_view section) {
  std::vector<std::string> names;
  size_t header = FindSection(profile, section);
  if (header == std::string::npos) return names;
  size_t end = SectionEnd(profile, header);
  for (size_t i = header + 1; i < end; ++i)
    if (profile.lines[i].kind == LineKind::Key) names.push_back(profile.lines[i].name);
  return names;
}

DWORD CopyText(const std::string& text, char* out, DWORD size) {
  size_t count = std::min<size_t>(text.size(), size - 1);
  std::memcpy(out, text.data(), count);
  out[count] = '\0';
  return static_cast<DWORD>(count);
}

DWORD CopyList(const std::vector<std::string>& names, char* out, DWORD size) {
  std::string list;
  for (const std::string& name : names) {
    list += name;
    list += '\0';
  }
  if (list.size() + 1 <= size) {
    std::memcpy(out, list.data(), list.size());
    out[list.size()] = '\0';
    if (list.empty() && size >= 2) out[1] = '\0';  // an empty list still ends in two zeros
    return static_cast<DWORD>(list.size());
  }
  if (size < 2) {
    out[0] = '\0';
    return 0;
  }
  std::memcpy(out, list.data(), size - 2);
  out[size - 2] = '\0';
  out[size - 1] = '\0';
  return size - 2;
}

}  // namespace

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* deflt, char* out, DWORD size,
                               const char* path) {
  if (!out || size == 0) return 0;
  if (!path) path = "";
  bool exists = false;
  std::lock_guard<std::mutex> guard(g_profileLock);
  Profile profile = Load(path, &exists);
  if (!section) return CopyList(SectionNames(profile), out, size);
  if (!key) return CopyList(KeyNames(profile, section), out, size);
  std::string value;
  if (!Lookup(profile, section, key, &value)) {
    std::string_view fallback = deflt ? deflt : "";
    while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);
    value = std::string(fallback);
  }
  return CopyText(value, out, size);
}

UINT GetPrivateProfileIntA(const char* section, const char* key, INT deflt, const char* path) {
  if (!section || !key || !path) return static_cast<UINT>(deflt);
  bool exists = false;
  std::string value;
  {
    std::lock_guard<std::mutex> guard(g_profileLock);
    Profile profile = Load(path, &exists);
    if (!Lookup(profile, section, key, &value)) return static_cast<UINT>(deflt);
  }
  size_t i = 0;
  bool negative = false;
  if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
  UINT number = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) number = number * 10u + static_cast<UINT>(value[i] - '0');
  return negative ? 0u - number : number;
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* path) {
  if (!path || !*path) return FALSE;
  if (!section) return (!key && !value) ? TRUE : FALSE;  // all null: the platform's "flush", nothing to do
  std::lock_guard<std::mutex> guard(g_profileLock);
  bool exists = false;
  Profile profile = Load(path, &exists);
  size_t header = FindSection(profile, section);
  if (!key || !value) {
    if (header == std::string::npos) return TRUE;
    if (!key) {
      profile.lines.erase(profile.lines.begin() + static_cast<long>(header),
                          profile.lines.begin() + static_cast<long>(SectionEnd(profile, header)));
    } else {
      size_t at = FindKey(profile, header, key);
      if (at == std::string::npos) return TRUE;
      profile.lines.erase(profile.lines.begin() + static_cast<long>(at));
    }
    return Save(path, profile) ? TRUE : FALSE;
  }
  std::string_view text(value);
  text = text.substr(0, text.find_first_of("\r\n"));
  Line line = Classify(std::string(key) + "=" + std::string(text));
  if (header == std::string::npos) {
    std::string head = "[";  // built by appends: g++ 12 misreads "[" + std::string
    head.append(section).append("]");
    profile.lines.push_back(Classify(head));
    profile.lines.push_back(std::move(line));
    return Save(path, profile) ? TRUE : FALSE;
  }
  size_t at = FindKey(profile, header, key);
  if (at != std::string::npos) {
    profile.lines[at] = std::move(line);
    return Save(path, profile) ? TRUE : FALSE;
  }
  // After the section's last non-empty line, so blank separators stay below.
  size_t insertAt = SectionEnd(profile, header);
  while (insertAt > header + 1 && Trim(profile.lines[insertAt - 1].text).empty()) --insertAt;
  profile.lines.insert(profile.lines.begin() + static_cast<long>(insertAt), std::move(line));
  return Save(path, profile) ? TRUE : FALSE;
}

std::string GetProfileText(std::string_view path, std::string_view section, std::string_view key,
                           std::string_view deflt) {
  std::lock_guard<std::mutex> guard(g_profileLock);
  bool exists = false;
  Profile profile = Load(path, &exists);
  std::string value;
  if (Lookup(profile, section, key, &value)) return value;
  return std::string(deflt);
}

std::vector<std::string> GetProfileSectionNames(std::string_view path) {
  std::lock_guard<std::mutex> guard(g_profileLock);
  bool exists = false;
  return SectionNames(Load(path, &exists));
}

namespace {
// A UTF-16 argument as UTF-8, remembering whether it was null.
struct Narrow {
  explicit Narrow(const WCHAR* w) : null(w == nullptr), text(w ? WideToUtf8(std::u16string_view(w)) : std::string()) {}
  const char* get() const { return null ? nullptr : text.c_str(); }
  bool null;
  std::string text;
};
}  // namespace

DWORD GetPrivateProfileStringW(const WCHAR* section, const WCHAR* key, const WCHAR* deflt, WCHAR* out, DWORD size,
                               const WCHAR* path) {
  if (!out || size == 0) return 0;
  Narrow s(section), k(key), d(deflt), p(path);
  // The whole answer in UTF-8 first, then cut in UTF-16 units.
  std::vector<char> buf(1024);
  DWORD n = 0;
  for (;;) {
    n = GetPrivateProfileStringA(s.get(), k.get(), d.get(), buf.data(), static_cast<DWORD>(buf.size()), p.get());
    if (n + 2 < buf.size()) break;
    buf.resize(buf.size() * 4);
  }
  bool list = !section || !key;
  if (!list) {
    WString w = Utf8ToWide(std::string_view(buf.data(), n));
    DWORD copied = std::min<DWORD>(static_cast<DWORD>(w.size()), size - 1);
    std::copy(w.begin(), w.begin() + copied, out);
    out[copied] = 0;
    return copied;
  }
  // Names each followed by a zero, the list by one more.
  WString all;
  for (DWORD i = 0; i < n;) {
    DWORD j = i;
    while (j < n && buf[j]) ++j;
    all += Utf8ToWide(std::string_view(buf.data() + i, j - i));
    all += u'\0';
    i = j + 1;
  }
  if (all.size() + 1 <= size) {
    std::copy(all.begin(), all.end(), out);
    out[all.size()] = 0;
    return static_cast<DWORD>(all.size());
  }
  if (size < 2) {
    out[0] = 0;
    return 0;
  }
  std::copy(all.begin(), all.begin() + (size - 2), out);
  out[size - 2] = 0;
  out[size - 1] = 0;
  return size - 2;
}

UINT GetPrivateProfileIntW(const WCHAR* section, const WCHAR* key, INT deflt, const WCHAR* path) {
  Narrow s(section), k(key), p(path);
  return GetPrivateProfileIntA(s.get(), k.get(), deflt, p.get());
}

BOOL WritePrivateProfileStringW(const WCHAR* section, const WCHAR* key, const WCHAR* value, const WCHAR* path) {
  Narrow s(section), k(key), v(value), p(path);
  return WritePrivateProfileStringA(s.get(), k.get(), v.get(), p.get());
}
