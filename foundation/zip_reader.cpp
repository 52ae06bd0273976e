// Zip archive reader over minizip.
//
// States of an archive object: open (minizip positioned on some item or
// none), with at most one item's data open at a time, inside one call.
// `position` mirrors the minizip cursor so that stepping to an index goes
// back to the first item only when the cursor lies after it.
#include "foundation/zip_reader.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>
#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr size_t kTransferBytes = 16 * 1024;
constexpr size_t kMaxPathUnits = PATH_MAX - 1;
constexpr unsigned kUtf8NameFlag = 0x800;   // general-purpose bit 11: the name is UTF-8
constexpr ULONGLONG kUnixEpochAsFileTime = 116444736000000000ull;
constexpr ULONGLONG kFileTimeTicksPerSecond = 10000000ull;

// ---- Text ---------------------------------------------------------------

void AppendUtf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    out->push_back(char(c));
  } else if (c < 0x800) {
    out->push_back(char(0xC0 | (c >> 6)));
    out->push_back(char(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(char(0xE0 | (c >> 12)));
    out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(char(0x80 | (c & 0x3F)));
  } else {
    out->push_back(char(0xF0 | (c >> 18)));
    out->push_back(char(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(char(0x80 | (c & 0x3F)));
  }
}

// UTF-16 to a native UTF-8 path: '\' becomes '/'; a lone surrogate becomes
// U+FFFD.
std::string NativePathFromUtf16(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (c == u'\\') c = u'/';
    AppendUtf8(&out, c);
  }
  return out;
}

void AppendUtf16(std::u16string* out, char32_t c) {
  if (c < 0x10000) {
    out->push_back(char16_t(c));
    return;
  }
  c -= 0x10000;
  out->push_back(char16_t(0xD800 + (c >> 10)));
  out->push_back(char16_t(0xDC00 + (c & 0x3FF)));
}

// Decodes UTF-8; false at the first invalid sequence. A sequence cut by the
// end of the bytes (a name cut at its length limit) is dropped.
bool DecodeUtf8(std::string_view bytes, std::u16string* out) {
  out->clear();
  size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char b = bytes[i];
    int extra = 0;
    char32_t c = 0;
    if (b < 0x80) {
      c = b;
    } else if ((b & 0xE0) == 0xC0 && b >= 0xC2) {
      extra = 1;
      c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0 && b <= 0xF4) {
      extra = 3;
      c = b & 0x07;
    } else {
      return false;
    }
    if (extra > 0 && i + size_t(extra) >= bytes.size()) {
      // The sequence runs past the end: accept only when all that is left
      // are continuation bytes.
      for (size_t k = i + 1; k < bytes.size(); ++k)
        if ((static_cast<unsigned char>(bytes[k]) & 0xC0) != 0x80) return false;
      return true;
    }
    for (int k = 1; k <= extra; ++k) {
      const unsigned char cb = bytes[i + size_t(k)];
      if ((cb & 0xC0) != 0x80) return false;
      c = (c << 6) | (cb & 0x3F);
    }
    if ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c < 0xE000))
      return false;
    AppendUtf16(out, c);
    i += size_t(extra) + 1;
  }
  return true;
}

// An item's name is UTF-8 when its UTF-8 flag (general-purpose bit 11) is
// set, and otherwise in the system's ANSI code page, code page 936 (GBK) on
// the systems the packages are made for. The flag alone decides: many GBK
// names also form valid UTF-8 ('系统' is CF B5 CD B3). A flagged name that is
// not valid UTF-8 is read as GBK too; bytes GBK cannot map become '_'.
std::u16string NameFromArchiveBytes(std::string_view bytes, bool utf8Flag) {
  std::u16string out;
  if (utf8Flag && DecodeUtf8(bytes, &out)) return out;
  out.clear();
  iconv_t cd = iconv_open("UTF-16LE", "GBK");
  if (cd == iconv_t(-1)) {
    for (unsigned char b : bytes) out.push_back(b < 0x80 ? char16_t(b) : u'_');
    return out;
  }
  std::string in(bytes);
  char* inPtr = in.data();
  size_t inLeft = in.size();
  std::vector<char> buffer(in.size() * 4 + 8);
  while (inLeft > 0) {
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    const size_t produced = buffer.size() - outLeft;
    for (size_t k = 0; k + 1 < produced; k += 2)
      out.push_back(char16_t(static_cast<unsigned char>(buffer[k]) |
                             (static_cast<unsigned char>(buffer[k + 1]) << 8)));
    if (r != size_t(-1)) break;
    if (errno == EILSEQ) {
      out.push_back(u'_');
      ++inPtr;
      --inLeft;
      continue;
    }
    break;  // EINVAL: a cut character at the end
  }
  iconv_close(cd);
  return out;
}

// Drops what could lead out of the base folder: a drive prefix, leading
// separators, everything through the first '..' step, a leading '..' step;
// repeated until none applies.
std::u16string SanitiseItemName(std::u16string name) {
  static const char16_t* const kSteps[] = {u"\\..\\", u"\\../", u"/../", u"/..\\"};
  for (bool changed = true; changed;) {
    changed = false;
    if (name.size() >= 2 && name[1] == u':') {
      name.erase(0, 2);
      changed = true;
    }
    if (!name.empty() && (name[0] == u'\\' || name[0] == u'/')) {
      name.erase(0, 1);
      changed = true;
    }
    size_t first = std::u16string::npos;
    for (const char16_t* step : kSteps) first = std::min(first, name.find(step));
    if (first != std::u16string::npos) {
      name.erase(0, first + 4);
      changed = true;
    }
    if (name.size() >= 3 && name[0] == u'.' && name[1] == u'.' &&
        (name[2] == u'/' || name[2] == u'\\')) {
      name.erase(0, 3);
      changed = true;
    }
  }
  return name;
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsAbsoluteTarget(std::u16string_view target) {
  return (!target.empty() && IsSeparator(target[0])) || (target.size() >= 2 && target[1] == u':');
}

// True when some step of the path is "..".
bool HasParentStep(std::u16string_view path) {
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !IsSeparator(path[i])) continue;
    if (i - start == 2 && path[start] == u'.' && path[start + 1] == u'.') return true;
    start = i + 1;
  }
  return false;
}

// ---- Times --------------------------------------------------------------

ULONGLONG FileTimeFromUnix(long long seconds) {
  return ULONGLONG(seconds * (long long)kFileTimeTicksPerSecond + (long long)kUnixEpochAsFileTime);
}

// MS-DOS date and time (local time) to a UTC FILETIME.
ULONGLONG FileTimeFromDos(unsigned long dosDate) {
  const unsigned time = dosDate & 0xFFFF;
  const unsigned date = (dosDate >> 16) & 0xFFFF;
  std::tm tm{};
  tm.tm_sec = int(time & 0x1F) * 2;
  tm.tm_min = int((time >> 5) & 0x3F);
  tm.tm_hour = int(time >> 11);
  tm.tm_mday = int(date & 0x1F);
  tm.tm_mon = int((date >> 5) & 0x0F) - 1;
  tm.tm_year = int(date >> 9) + 80;
  tm.tm_isdst = -1;
  const std::time_t t = std::mktime(&tm);
  if (t == std::time_t(-1)) return 0;
  return FileTimeFromUnix((long long)t);
}

timespec TimespecFromFileTime(ULONGLONG fileTime) {
  const long long ticks = (long long)fileTime - (long long)kUnixEpochAsFileTime;
  long long seconds = ticks / (long long)kFileTimeTicksPerSecond;
  long long rest = ticks % (long long)kFileTimeTicksPerSecond;
  if (rest < 0) {
    rest += (long long)kFileTimeTicksPerSecond;
    --seconds;
  }
  timespec ts{};
  ts.tv_sec = std::time_t(seconds);
  ts.tv_nsec = long(rest * 100);
  return ts;
}

inline unsigned Le16(const BYTE* p) { return unsigned(p[0]) | (unsigned(p[1]) << 8); }
inline std::int32_t Le32(const BYTE* p) {
  return std::int32_t(std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                      (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24));
}

// Walks the local extra field; the first "UT" block replaces the times it
// carries (flags bit 0 write, bit 1 access, bit 2 creation, in that order).
// Every bound is compared before a read: a UT block without its flags byte
// is ignored, and a time that does not fit in the block's data (cut at the
// end of the field) is not read, so the DOS time stands for it and those
// after it.
void ApplyUnixTimes(const std::vector<BYTE>& extra, ZipEntry* entry) {
  size_t pos = 0;
  while (pos + 4 <= extra.size()) {
    const unsigned id = Le16(&extra[pos]);
    const size_t size = Le16(&extra[pos + 2]);
    const size_t dataStart = pos + 4;
    if (id != 0x5455) {  // "UT"
      pos = dataStart + size;
      continue;
    }
    const size_t dataEnd = std::min(extra.size(), dataStart + size);
    if (dataStart >= dataEnd) return;  // no flags byte
    const BYTE flags = extra[dataStart];
    size_t at = dataStart + 1;
    ULONGLONG* targets[3] = {&entry->lastWriteTime, &entry->lastAccessTime, &entry->creationTime};
    for (int bit = 0; bit < 3; ++bit) {
      if (!(flags & (1 << bit))) continue;
      if (at + 4 > dataEnd) return;
      *targets[bit] = FileTimeFromUnix(Le32(&extra[at]));
      at += 4;
    }
    return;
  }
}

DWORD AttributesFromItem(const unz_file_info64& info) {
  const unsigned creator = (info.version >> 8) & 0xFF;
  const unsigned long external = info.external_fa;
  if (creator == 0 || creator == 7 || creator == 11 || creator == 14)
    return DWORD(external & (kZipAttrReadOnly | kZipAttrHidden | kZipAttrSystem |
                             kZipAttrFolder | kZipAttrArchive));
  DWORD attributes = kZipAttrArchive;
  if (external & 0x40000000ul) attributes |= kZipAttrFolder;
  if (!(external & 0x00800000ul)) attributes |= kZipAttrReadOnly;
  return attributes;
}

// ---- File source ----------------------------------------------------------

struct FileSource {
  int fd = -1;
  bool failed = false;
};

voidpf ZCALLBACK SourceOpen(voidpf opaque, const void*, int) { return opaque; }

uLong ZCALLBACK SourceRead(voidpf, voidpf stream, void* buf, uLong size) {
  auto* src = static_cast<FileSource*>(stream);
  uLong done = 0;
  while (done < size) {
    const ssize_t n = ::read(src->fd, static_cast<char*>(buf) + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) src->failed = true;
    if (n <= 0) break;
    done += uLong(n);
  }
  return done;
}

uLong ZCALLBACK SourceWrite(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK SourceTell(voidpf, voidpf stream) {
  const off_t at = ::lseek(static_cast<FileSource*>(stream)->fd, 0, SEEK_CUR);
  return at < 0 ? ZPOS64_T(-1) : ZPOS64_T(at);
}

long ZCALLBACK SourceSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  int whence = SEEK_SET;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) whence = SEEK_CUR;
  if (origin == ZLIB_FILEFUNC_SEEK_END) whence = SEEK_END;
  return ::lseek(static_cast<FileSource*>(stream)->fd, off_t(offset), whence) < 0 ? -1 : 0;
}

int ZCALLBACK SourceClose(voidpf, voidpf) { return 0; }  // the archive object closes the file

int ZCALLBACK SourceError(voidpf, voidpf stream) {
  return static_cast<FileSource*>(stream)->failed ? 1 : 0;
}

}  // namespace

struct ZipArchive {
  FileSource source;                     // the archive file
  unzFile unz = nullptr;                 // minizip state over `source`
  int itemCount = 0;                     // items in the archive
  int position = -1;                     // index of minizip's current item (-1 unknown)
  unz_file_info64 info{};                // directory information of item `position`
  int cachedIndex = -1;                  // index whose entry was filled last (-1 none)
  ZipEntry cached{};                     // that entry
  std::unique_ptr<BYTE[]> transfer;      // 16 KB, allocated on the first unpack
  std::u16string base;                   // base folder, always ending in a separator

  ~ZipArchive() {
    if (unz) {
      unzCloseCurrentFile(unz);
      unzClose(unz);
    }
    if (source.fd >= 0) ::close(source.fd);
  }
};

namespace {

DWORD CheckHandle(const ZipHandle* handle) {
  if (handle == nullptr) return kZipBadArgument;
  if (handle->kind != kZipHandleUnzip || handle->archive == nullptr) return kZipNotUnzipHandle;
  return kZipOk;
}

// Positions minizip on item `index` and reads its directory information.
DWORD MoveToItem(ZipArchive* a, int index) {
  if (a->position < 0 || a->position > index) {
    if (unzGoToFirstFile(a->unz) != UNZ_OK) {
      a->position = -1;
      return kZipBadArgument;
    }
    a->position = 0;
  }
  while (a->position < index) {
    if (unzGoToNextFile(a->unz) != UNZ_OK) {
      a->position = -1;
      return kZipBadArgument;
    }
    ++a->position;
  }
  return kZipOk;
}

// Positions on item `index` and fills `entry` from its directory record and
// local extra field.
DWORD ReadItemEntry(ZipArchive* a, int index, ZipEntry* entry) {
  DWORD result = MoveToItem(a, index);
  if (result != kZipOk) return result;
  char rawName[kZipNameUnits + 1] = {};
  if (unzGetCurrentFileInfo64(a->unz, &a->info, rawName, kZipNameUnits, nullptr, 0, nullptr, 0) !=
      UNZ_OK)
    return kZipHeaderMismatch;
  const size_t nameBytes = std::min<size_t>(a->info.size_filename, kZipNameUnits);

  // The local extra field: the item's data opened raw only to reach it.
  if (unzOpenCurrentFile2(a->unz, nullptr, nullptr, 1) != UNZ_OK) return kZipHeaderMismatch;
  std::vector<BYTE> extra;
  const int extraSize = unzGetLocalExtrafield(a->unz, nullptr, 0);
  if (extraSize < 0) result = kZipExtraUnreadable;
  if (extraSize > 0) {
    extra.resize(size_t(extraSize));
    if (unzGetLocalExtrafield(a->unz, extra.data(), unsigned(extraSize)) != extraSize)
      result = kZipExtraUnreadable;
  }
  unzCloseCurrentFile(a->unz);
  if (result != kZipOk) return result;

  const std::u16string given =
      NameFromArchiveBytes(std::string_view(rawName, nameBytes), (a->info.flag & kUtf8NameFlag) != 0);
  const std::u16string name = SanitiseItemName(given);
  entry->nameChanged = name != given ? TRUE : FALSE;
  const size_t units = std::min<size_t>(name.size(), kZipNameUnits - 1);
  std::memcpy(entry->name, name.data(), units * sizeof(char16_t));
  entry->name[units] = 0;

  entry->index = index;
  entry->attributes = AttributesFromItem(a->info);
  const ULONGLONG dosTime = FileTimeFromDos(a->info.dosDate);
  entry->lastAccessTime = entry->creationTime = entry->lastWriteTime = dosTime;
  ApplyUnixTimes(extra, entry);
  entry->compressedSize = DWORD(a->info.compressed_size);
  entry->uncompressedSize = DWORD(a->info.uncompressed_size);
  a->cached = *entry;
  a->cachedIndex = index;
  return kZipOk;
}

// Creates base + path and the folders above it that are missing; existing
// folders are left alone and failures ignored (the file's creation reports
// them).
void CreateFolders(const std::string& base, const std::string& path) {
  if (!base.empty()) ::mkdir(base.c_str(), 0777);
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    if (i == 0) continue;
    ::mkdir((base + path.substr(0, i)).c_str(), 0777);
  }
}

// The traditional zip encryption header check: decipher the 12-byte header
// with the empty password (no password is ever given) and compare its last
// byte with the CRC's high byte (or the time's high byte for items with a
// data descriptor).
bool EmptyPasswordMatches(const ZipArchive* a, ZPOS64_T dataOffset) {
  BYTE header[12];
  if (::pread(a->source.fd, header, sizeof header, off_t(dataOffset)) != ssize_t(sizeof header))
    return false;
  const z_crc_t* table = get_crc_table();
  std::uint32_t keys[3] = {305419896u, 591751049u, 878082192u};
  BYTE plain = 0;
  for (BYTE c : header) {
    const std::uint32_t t = (keys[2] & 0xFFFF) | 2;
    plain = BYTE(c ^ ((t * (t ^ 1)) >> 8));
    keys[0] = table[(keys[0] ^ plain) & 0xFF] ^ (keys[0] >> 8);
    keys[1] = (keys[1] + (keys[0] & 0xFF)) * 134775813u + 1;
    keys[2] = table[(keys[2] ^ (keys[1] >> 24)) & 0xFF] ^ (keys[2] >> 8);
  }
  const BYTE expected = (a->info.flag & 0x08) ? BYTE((a->info.dosDate >> 8) & 0xFF)
                                              : BYTE((a->info.crc >> 24) & 0xFF);
  return plain == expected;
}

bool WriteAll(int fd, const BYTE* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

// Copies the current item's data into `fd`, checking its CRC and size.
DWORD CopyItemData(ZipArchive* a, int fd) {
  // minizip would run inflate on an unset stream for other methods; its
  // header check refuses them already, this keeps it so in any build.
  if (a->info.compression_method != 0 && a->info.compression_method != Z_DEFLATED)
    return kZipDataError;
  int opened = UNZ_OK;
  if (a->info.flag & 1) {
    if (unzOpenCurrentFile2(a->unz, nullptr, nullptr, 1) != UNZ_OK) return kZipHeaderMismatch;
    const ZPOS64_T dataOffset = unzGetCurrentFileZStreamPos64(a->unz);
    unzCloseCurrentFile(a->unz);
    if (!EmptyPasswordMatches(a, dataOffset)) return kZipEncrypted;
    opened = unzOpenCurrentFilePassword(a->unz, "");
    if (opened == UNZ_PARAMERROR) return kZipEncrypted;  // minizip built without decryption
  } else {
    opened = unzOpenCurrentFile(a->unz);
  }
  if (opened == UNZ_BADZIPFILE) return kZipHeaderMismatch;
  if (opened != UNZ_OK) return kZipDataError;

  if (!a->transfer) a->transfer.reset(new BYTE[kTransferBytes]);
  DWORD result = kZipOk;
  uLong crc = crc32(0, nullptr, 0);
  ZPOS64_T total = 0;
  for (;;) {
    const int n = unzReadCurrentFile(a->unz, a->transfer.get(), unsigned(kTransferBytes));
    if (n == 0) break;
    if (n < 0) {
      result = kZipDataError;
      break;
    }
    total += ZPOS64_T(n);
    if (total > a->info.uncompressed_size) {
      result = kZipDataError;
      break;
    }
    crc = crc32(crc, a->transfer.get(), uInt(n));
    if (!WriteAll(fd, a->transfer.get(), size_t(n))) {
      result = kZipWriteFailed;
      break;
    }
  }
  const int closed = unzCloseCurrentFile(a->unz);
  if (result != kZipOk) return result;
  if (closed == UNZ_CRCERROR || total != a->info.uncompressed_size || crc != a->info.crc)
    return kZipDataError;
  return kZipOk;
}

}  // namespace

ZipHandle* OpenZipFile(const WCHAR* path) {
  if (path == nullptr) return nullptr;
  auto archive = std::make_unique<ZipArchive>();
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd) != nullptr) {
    DecodeUtf8(cwd, &archive->base);
    archive->base.push_back(u'\\');
  }
  const std::string native = NativePathFromUtf16(path);
  archive->source.fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (archive->source.fd < 0) return nullptr;

  zlib_filefunc64_def io{};
  io.zopen64_file = SourceOpen;
  io.zread_file = SourceRead;
  io.zwrite_file = SourceWrite;
  io.ztell64_file = SourceTell;
  io.zseek64_file = SourceSeek;
  io.zclose_file = SourceClose;
  io.zerror_file = SourceError;
  io.opaque = &archive->source;
  archive->unz = unzOpen2_64(native.c_str(), &io);
  if (archive->unz == nullptr) return nullptr;
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(archive->unz, &global) != UNZ_OK || global.number_entry > 0x7FFFFFFF)
    return nullptr;
  archive->itemCount = int(global.number_entry);
  archive->position = archive->itemCount > 0 ? 0 : -1;
  return new ZipHandle{kZipHandleUnzip, archive.release()};
}

DWORD SetUnzipBaseDir(ZipHandle* handle, const WCHAR* folder) {
  DWORD result = CheckHandle(handle);
  if (result != kZipOk) return result;
  if (folder == nullptr) return kZipBadArgument;
  std::u16string base(folder);
  if (base.empty() || !IsSeparator(base.back())) base.push_back(u'\\');
  if (base.size() > kMaxPathUnits) return kZipBadArgument;
  handle->archive->base = std::move(base);
  return kZipOk;
}

DWORD GetZipItem(ZipHandle* handle, int index, ZipEntry* entry) {
  if (entry != nullptr) {
    entry->index = 0;
    entry->name[0] = entry->name[1] = 0;
    entry->uncompressedSize = 0;
  }
  DWORD result = CheckHandle(handle);
  if (result != kZipOk) return result;
  if (entry == nullptr) return kZipBadArgument;
  ZipArchive* a = handle->archive;
  if (index < -1 || index >= a->itemCount) return kZipBadArgument;
  if (index >= 0 && index == a->cachedIndex) {
    *entry = a->cached;
    return kZipOk;
  }
  if (index == -1) {
    *entry = ZipEntry{};
    entry->index = a->itemCount;
    return kZipOk;
  }
  return ReadItemEntry(a, index, entry);
}

DWORD UnzipItemToFile(ZipHandle* handle, int index, const WCHAR* target) {
  DWORD result = CheckHandle(handle);
  if (result != kZipOk) return result;
  if (target == nullptr || index < 0) return kZipBadArgument;
  ZipArchive* a = handle->archive;
  if (index >= a->itemCount) return kZipOk;

  ZipEntry entry{};
  result = ReadItemEntry(a, index, &entry);
  if (result != kZipOk) return result;

  const std::u16string_view targetText(target);
  const bool absolute = IsAbsoluteTarget(targetText);
  if (!absolute && HasParentStep(targetText)) return kZipCannotOpen;
  const std::string base = absolute ? std::string() : NativePathFromUtf16(a->base);
  if ((entry.attributes & kZipAttrFolder) != 0) {
    CreateFolders(base, NativePathFromUtf16(targetText));
    return kZipOk;
  }

  size_t split = 0;
  for (size_t i = 0; i < targetText.size(); ++i)
    if (IsSeparator(targetText[i])) split = i + 1;
  const std::string folderPart = NativePathFromUtf16(targetText.substr(0, split));
  const std::string fileName = NativePathFromUtf16(targetText.substr(split));
  const std::string outPath = base + folderPart + fileName;
  if (fileName.empty() || outPath.size() > kMaxPathUnits - 16) return kZipCannotOpen;
  if (split > 0) CreateFolders(base, folderPart.substr(0, folderPart.size() - 1));

  // Unpacked beside the target under a short temporary name (a target name
  // near the 255-byte limit leaves no room for a suffix), renamed on success.
  std::string tempPath = base + folderPart + ".unzip-XXXXXX";
  const int fd = ::mkostemp(tempPath.data(), O_CLOEXEC);
  if (fd < 0) return kZipCannotOpen;
  result = CopyItemData(a, fd);
  if (result == kZipOk) {
    const bool readOnly = (entry.attributes & kZipAttrReadOnly) != 0;
    ::fchmod(fd, readOnly ? 0444 : 0644);
    const timespec times[2] = {TimespecFromFileTime(entry.lastAccessTime),
                               TimespecFromFileTime(entry.lastWriteTime)};
    ::futimens(fd, times);  // the creation time has no settable counterpart here
  }
  if (::close(fd) != 0 && result == kZipOk) result = kZipWriteFailed;
  if (result == kZipOk && ::rename(tempPath.c_str(), outPath.c_str()) != 0) result = kZipCannotOpen;
  if (result != kZipOk) ::unlink(tempPath.c_str());
  return result;
}

DWORD CloseZip(ZipHandle* handle) {
  const DWORD result = CheckHandle(handle);
  if (result != kZipOk) return result;
  delete handle->archive;
  delete handle;
  return kZipOk;
}
