#include "tokenstore/token_table.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_files.h"

namespace {

// The shared object: the table first, then the mutex and the header that the
// first loader writes last, once table and mutex are set up.
struct SharedSection {
  TokenTable table;
  pthread_mutex_t mutex;  // "TMRQTokenShared"
  std::uint32_t magic;    // kSectionMagic once set up, 0 before
  std::uint32_t size;     // sizeof(SharedSection)
};

constexpr std::uint32_t kSectionMagic = 0x51524D54;  // "TMRQ"
constexpr int kAttachAttempts = 200;
constexpr int kLockWaitSeconds = 3;

// Process state; written only by the library's load and unload, which the
// loader runs before and after any other call into the library.
struct SectionState {
  char name[512] = {};                // the table's file, empty when refused
  int fd = -1;                        // holds the shared flock while attached
  SharedSection* section = nullptr;   // mapping, null when detached
  pid_t attachedPid = 0;              // the process that attached
};
SectionState g_state;

void Trace(const char* what) {
  int error = errno;
  std::string line = std::string("TMRQCommon: ") + what + " (" + g_state.name + ", errno " + std::to_string(error) + ")\n";
  OutputDebugStringA(line.c_str());
}

// The table's file in the user's private runtime folder. The environment's
// name is taken as it is; one that is not "/<name>" leaves the table
// unavailable rather than falling back to the shared one.
void ChooseName() {
  g_state.name[0] = 0;
  std::string name = "/TMRQToke";
  if (const char* fromEnv = std::getenv("TMRQ_SECTION_NAME"); fromEnv && fromEnv[0] != 0) name = fromEnv;
  if (name.size() < 2 || name[0] != '/' || name.find('/', 1) != std::string::npos || name == "/." || name == "/..") {
    std::snprintf(g_state.name, sizeof g_state.name, "%s", name.c_str());
    errno = EINVAL;
    Trace("cannot open the shared token table");
    g_state.name[0] = 0;
    return;
  }
  std::string folder = PrivateRuntimeFolder();
  if (folder.empty()) {
    Trace("cannot open the shared token table: no private runtime folder");
    return;
  }
  std::string path = folder + name.substr(1);
  if (path.size() < sizeof g_state.name) std::snprintf(g_state.name, sizeof g_state.name, "%s", path.c_str());
}

// True when the open file is one only this user could have made and may
// reach: a regular file of ours without group or other permission bits.
bool PrivateToUs(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

// The header another loader wrote: Retry while it is not set up (its first
// loader died setting it up), Failed for anything that is not our table.
enum class HeaderCheck { Valid, NotSetUp, Foreign };
// The file's size was checked before it was mapped.
HeaderCheck CheckHeader(const SharedSection* section) {
  if (section->magic == 0 && section->size == 0) return HeaderCheck::NotSetUp;
  if (section->magic != kSectionMagic || section->size != sizeof(SharedSection)) return HeaderCheck::Foreign;
  return HeaderCheck::Valid;
}

int FlockRetrying(int fd, int op) {
  int rc;
  do {
    rc = flock(fd, op);
  } while (rc != 0 && errno == EINTR);
  return rc;
}

// True while the object behind fd is still the one under the name: an
// unloader that removed it leaves it with no links.
bool StillLinked(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && st.st_nlink > 0;
}

bool InitMutex(pthread_mutex_t* mutex) {
  pthread_mutexattr_t attr;
  if (pthread_mutexattr_init(&attr) != 0) return false;
  bool ok = pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED) == 0 &&
            pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST) == 0 &&
            pthread_mutex_init(mutex, &attr) == 0;
  pthread_mutexattr_destroy(&attr);
  return ok;
}

SharedSection* MapSection(int fd) {
  void* p = mmap(nullptr, sizeof(SharedSection), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return p == MAP_FAILED ? nullptr : static_cast<SharedSection*>(p);
}

enum class AttachStep { Attached, Retry, Failed };

// One attempt on the object now under the name. On Attached, g_state holds
// the descriptor (with its shared flock) and the mapping.
AttachStep TryAttach() {
  // Made exclusively, or opened as it is; never through a link.
  int fd = open(g_state.name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0 && errno == EEXIST) {
    fd = open(g_state.name, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) return AttachStep::Retry;  // removed meanwhile
  }
  if (fd < 0) {
    Trace("cannot open the shared token table");
    return AttachStep::Failed;
  }
  if (!PrivateToUs(fd)) {
    Trace("refused a token table that is not private to this user");
    close(fd);
    return AttachStep::Failed;
  }
  if (FlockRetrying(fd, LOCK_EX | LOCK_NB) == 0) {
    // No other process has the table: it starts from zero.
    if (!StillLinked(fd)) {
      close(fd);
      return AttachStep::Retry;
    }
    SharedSection* section = nullptr;
    if (ftruncate(fd, sizeof(SharedSection)) != 0 || !(section = MapSection(fd))) {
      Trace("cannot size or map the shared token table");
      close(fd);
      return AttachStep::Failed;
    }
    std::memset(section, 0, sizeof(SharedSection));
    if (!InitMutex(&section->mutex)) {
      Trace("cannot set up the token mutex");
      munmap(section, sizeof(SharedSection));
      close(fd);
      return AttachStep::Failed;
    }
    section->size = sizeof(SharedSection);
    section->magic = kSectionMagic;
    // flock converts by dropping and re-taking; a loader that slips in
    // between finds no holder and zeroes the table again, which is harmless
    // because nothing has used it yet.
    if (FlockRetrying(fd, LOCK_SH) != 0) {
      munmap(section, sizeof(SharedSection));
      close(fd);
      return AttachStep::Retry;
    }
    g_state.fd = fd;
    g_state.section = section;
    return AttachStep::Attached;
  }
  if (errno != EWOULDBLOCK) {
    Trace("cannot lock the shared token table");
    close(fd);
    return AttachStep::Failed;
  }
  // Others have it (or one is setting it up): wait for a shared hold.
  if (FlockRetrying(fd, LOCK_SH) != 0) {
    Trace("cannot lock the shared token table");
    close(fd);
    return AttachStep::Failed;
  }
  struct stat st {};
  if (!StillLinked(fd) || fstat(fd, &st) != 0 || st.st_size == 0) {
    close(fd);  // removed meanwhile, or its first loader died while setting it up
    return AttachStep::Retry;
  }
  if (st.st_size != static_cast<off_t>(sizeof(SharedSection))) {
    Trace("refused a token table of a foreign size");
    close(fd);
    return AttachStep::Failed;
  }
  SharedSection* section = MapSection(fd);
  if (!section) {
    Trace("cannot map the shared token table");
    close(fd);
    return AttachStep::Failed;
  }
  switch (CheckHeader(section)) {
    case HeaderCheck::Valid:
      break;
    case HeaderCheck::NotSetUp:
      munmap(section, sizeof(SharedSection));
      close(fd);
      return AttachStep::Retry;
    case HeaderCheck::Foreign:
      Trace("refused a token table with a foreign header");
      munmap(section, sizeof(SharedSection));
      close(fd);
      return AttachStep::Failed;
  }
  g_state.fd = fd;
  g_state.section = section;
  return AttachStep::Attached;
}

}  // namespace

bool AttachTokenSection() {
  if (g_state.section) return true;
  ChooseName();
  if (g_state.name[0] == 0) return false;
  for (int attempt = 0; attempt < kAttachAttempts; ++attempt) {
    switch (TryAttach()) {
      case AttachStep::Attached:
        g_state.attachedPid = getpid();
        return true;
      case AttachStep::Failed:
        return false;
      case AttachStep::Retry:
        usleep(1000);
        break;
    }
  }
  Trace("gave up attaching the shared token table");
  return false;
}

void DetachTokenSection() {
  if (!g_state.section) return;
  if (getpid() != g_state.attachedPid) {
    // A forked child shares the parent's open file and so its flock: it must
    // neither convert that lock nor remove the table.
    close(g_state.fd);
    g_state.fd = -1;
    g_state.section = nullptr;
    return;
  }
  munmap(g_state.section, sizeof(SharedSection));
  g_state.section = nullptr;
  if (FlockRetrying(g_state.fd, LOCK_EX | LOCK_NB) == 0 && StillLinked(g_state.fd)) {
    unlink(g_state.name);  // the last one: the table goes with it
  }
  close(g_state.fd);
  g_state.fd = -1;
}

const char* TokenSectionName() { return g_state.name; }

TokenLock::TokenLock() {
  SharedSection* section = g_state.section;
  if (!section) return;
  // Bounded: a holder that never lets go (a stuck process, or a mutex
  // planted already held) costs a caller a few seconds, never its thread.
  timespec deadline {};
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += kLockWaitSeconds;
  int rc = pthread_mutex_timedlock(&section->mutex, &deadline);
  if (rc == EOWNERDEAD) {
    // The holder died inside the lock; take the lock over and go on.
    OutputDebugStringA("TMRQCommon: token lock abandoned by a dead holder\n");
    rc = pthread_mutex_consistent(&section->mutex);
  }
  if (rc != 0) {
    errno = rc;
    Trace("cannot take the token lock");
    return;
  }
  table_ = &section->table;
}

TokenLock::~TokenLock() {
  if (table_) pthread_mutex_unlock(&g_state.section->mutex);
}

bool HoldTokenLockForever() {
  auto* lock = new TokenLock;  // never ends: the process dies holding it
  return lock->Table() != nullptr;
}
