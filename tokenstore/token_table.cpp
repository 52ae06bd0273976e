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

#include "platform/kernel/debug_sink.h"

namespace {

// The shared object: the table first, then the mutex and the mark that the
// first loader finished setting both up.
struct SharedSection {
  TokenTable table;
  pthread_mutex_t mutex;  // "TMRQTokenShared"
  std::uint32_t ready;    // 1 once table and mutex are set up
};

constexpr std::uint32_t kReadyMark = 1;
constexpr int kAttachAttempts = 200;

// Process state; written only by the library's load and unload, which the
// loader runs before and after any other call into the library.
struct SectionState {
  char name[256] = {};                // shared object name, "/..."
  int fd = -1;                        // holds the shared flock while attached
  SharedSection* section = nullptr;   // mapping, null when detached
  pid_t attachedPid = 0;              // the process that attached
};
SectionState g_state;

void Trace(const char* what) {
  char line[400];
  std::snprintf(line, sizeof line, "TMRQCommon: %s (%s, errno %d)\n", what, g_state.name, errno);
  OutputDebugStringA(line);
}

// The environment's name is taken as it is; one that shm_open refuses
// leaves the table unavailable rather than falling back to the shared one.
void ChooseName() {
  const char* fromEnv = std::getenv("TMRQ_SECTION_NAME");
  if (fromEnv && fromEnv[0] != 0 && std::strlen(fromEnv) < sizeof g_state.name) {
    std::snprintf(g_state.name, sizeof g_state.name, "%s", fromEnv);
    return;
  }
  std::snprintf(g_state.name, sizeof g_state.name, "/TMRQToke.%u", static_cast<unsigned>(getuid()));
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
  int fd = shm_open(g_state.name, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    Trace("cannot open the shared token table");
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
    section->ready = kReadyMark;
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
  if (!StillLinked(fd) || fstat(fd, &st) != 0 || st.st_size < static_cast<off_t>(sizeof(SharedSection))) {
    close(fd);  // removed meanwhile, or its first loader died while setting it up
    return AttachStep::Retry;
  }
  SharedSection* section = MapSection(fd);
  if (!section) {
    Trace("cannot map the shared token table");
    close(fd);
    return AttachStep::Failed;
  }
  if (section->ready != kReadyMark) {
    munmap(section, sizeof(SharedSection));
    close(fd);
    return AttachStep::Retry;
  }
  g_state.fd = fd;
  g_state.section = section;
  return AttachStep::Attached;
}

}  // namespace

bool AttachTokenSection() {
  if (g_state.section) return true;
  ChooseName();
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
    shm_unlink(g_state.name);  // the last one: the table goes with it
  }
  close(g_state.fd);
  g_state.fd = -1;
}

const char* TokenSectionName() { return g_state.name; }

TokenLock::TokenLock() {
  SharedSection* section = g_state.section;
  if (!section) return;
  int rc = pthread_mutex_lock(&section->mutex);
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
