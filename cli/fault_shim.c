/* Fails one system call of a program run under LD_PRELOAD, as a full disk, a lost network
 * share or a dying drive would, below every buffer of the C library.
 *
 * glibc's streams call write() and close() from inside the library, where no preloaded
 * function can take their place. So the files a program opens with fopen() or fdopen() are
 * handed back as fopencookie() streams over the same descriptor: the library buffers them as
 * it buffers any file, and every time it writes out or closes, it calls the functions below.
 * Its behaviour on a failure (what a flush inside fseek drops, what fclose reports) is the
 * library's own.
 *
 * Environment:
 *   FAULT_SHIM_FAIL=kind:n   the n-th call of that kind fails with EIO and does nothing
 *                            (a close still releases the descriptor, as close(2) does);
 *                            kinds: write, sync, rename, link, unlink, close
 *   FAULT_SHIM_REPORT=path   at exit, one line per kind "kind count" and "fired 0|1"
 *   FAULT_SHIM_TRACE=path    one line per write "write NAME OFFSET LENGTH", per sync
 *                            "sync NAME" and per change of a folder's names ("rename FROM
 *                            TO", "link FROM TO", "unlink NAME"), in the order the program
 *                            made them
 * Only descriptors above 2 count: the standard streams are the test's, not the program's.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

enum Kind { kWrite, kSync, kRename, kLink, kUnlink, kClose, kKinds };
static const char* const kKindNames[kKinds] = {"write", "sync", "rename", "link", "unlink",
                                               "close"};

static long g_counts[kKinds];
static int g_failKind = -1;
static long g_failAt;
static int g_fired;
static int g_configured;

#define kMaxFds 1024
static char* g_names[kMaxFds]; /* the name each descriptor was opened with, for the trace */

static void Configure(void) {
  if (g_configured) return;
  g_configured = 1;
  const char* want = getenv("FAULT_SHIM_FAIL");
  if (!want) return;
  const char* colon = strchr(want, ':');
  if (!colon) return;
  for (int k = 0; k < kKinds; ++k) {
    if (strlen(kKindNames[k]) == (size_t)(colon - want) &&
        strncmp(want, kKindNames[k], (size_t)(colon - want)) == 0) {
      g_failKind = k;
      g_failAt = atol(colon + 1);
    }
  }
}

/* Counts one call; true when it is the one to fail. */
static int Fails(enum Kind kind) {
  Configure();
  ++g_counts[kind];
  if ((int)kind == g_failKind && g_counts[kind] == g_failAt) {
    g_fired = 1;
    return 1;
  }
  return 0;
}

/* Raw system calls for the shim's own work, so that nothing here counts or recurses. */
static ssize_t RawWrite(int fd, const void* buf, size_t n) { return syscall(SYS_write, fd, buf, n); }
static int RawClose(int fd) { return (int)syscall(SYS_close, fd); }

static void Trace(const char* line) {
  const char* path = getenv("FAULT_SHIM_TRACE");
  if (!path) return;
  int fd = (int)syscall(SYS_openat, AT_FDCWD, path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  RawWrite(fd, line, strlen(line));
  RawClose(fd);
}

static const char* NameOf(int fd) {
  return fd >= 0 && fd < kMaxFds && g_names[fd] ? g_names[fd] : "?";
}

static void Remember(int fd, const char* name) {
  if (fd < 0 || fd >= kMaxFds) return;
  free(g_names[fd]);
  g_names[fd] = name ? strdup(name) : NULL;
}

__attribute__((destructor)) static void Report(void) {
  const char* path = getenv("FAULT_SHIM_REPORT");
  if (!path) return;
  int fd = (int)syscall(SYS_openat, AT_FDCWD, path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  char line[64];
  for (int k = 0; k < kKinds; ++k) {
    int n = snprintf(line, sizeof line, "%s %ld\n", kKindNames[k], g_counts[k]);
    RawWrite(fd, line, (size_t)n);
  }
  int n = snprintf(line, sizeof line, "fired %d\n", g_fired);
  RawWrite(fd, line, (size_t)n);
  RawClose(fd);
}

/* ---- the descriptor calls ---- */

static int CountedClose(int fd) {
  if (fd > 2) Remember(fd, NULL);
  if (fd > 2 && Fails(kClose)) {
    RawClose(fd); /* the descriptor is gone whatever close(2) reports */
    errno = EIO;
    return -1;
  }
  return RawClose(fd);
}

static ssize_t CountedWrite(int fd, const void* buf, size_t n) {
  if (fd <= 2) return RawWrite(fd, buf, n);
  if (Fails(kWrite)) {
    errno = EIO;
    return -1;
  }
  if (getenv("FAULT_SHIM_TRACE")) {
    char line[512];
    snprintf(line, sizeof line, "write %s %lld %zu\n", NameOf(fd),
             (long long)lseek(fd, 0, SEEK_CUR), n);
    Trace(line);
  }
  return RawWrite(fd, buf, n);
}

ssize_t write(int fd, const void* buf, size_t n) { return CountedWrite(fd, buf, n); }
int close(int fd) { return CountedClose(fd); }

static int Sync(int fd, long number) {
  if (fd > 2 && Fails(kSync)) {
    errno = EIO;
    return -1;
  }
  if (fd > 2) {
    char line[512];
    snprintf(line, sizeof line, "sync %s\n", NameOf(fd));
    Trace(line);
  }
  return (int)syscall(number, fd);
}

int fsync(int fd) { return Sync(fd, SYS_fsync); }
int fdatasync(int fd) { return Sync(fd, SYS_fdatasync); }

/* Traces a change of names that took place: "what FROM TO", or "what NAME" without `to`. */
static int TraceNames(int result, const char* what, const char* from, const char* to) {
  if (result == 0 && getenv("FAULT_SHIM_TRACE")) {
    char line[1024];
    snprintf(line, sizeof line, "%s %s%s%s\n", what, from, to ? " " : "", to ? to : "");
    Trace(line);
  }
  return result;
}

int rename(const char* from, const char* to) {
  if (Fails(kRename)) {
    errno = EIO;
    return -1;
  }
  return TraceNames((int)syscall(SYS_renameat, AT_FDCWD, from, AT_FDCWD, to), "rename", from, to);
}

int link(const char* from, const char* to) {
  if (Fails(kLink)) {
    errno = EIO;
    return -1;
  }
  return TraceNames((int)syscall(SYS_linkat, AT_FDCWD, from, AT_FDCWD, to, 0), "link", from, to);
}

int unlink(const char* name) {
  if (Fails(kUnlink)) {
    errno = EIO;
    return -1;
  }
  return TraceNames((int)syscall(SYS_unlinkat, AT_FDCWD, name, 0), "unlink", name, NULL);
}

/* remove() reaches unlink inside the library; the program's own files are never folders. */
int remove(const char* name) { return unlink(name); }

/* ---- streams ---- */

typedef struct {
  int fd;
} Cookie;

static ssize_t CookieRead(void* c, char* buf, size_t n) {
  return syscall(SYS_read, ((Cookie*)c)->fd, buf, n);
}

static ssize_t CookieWrite(void* c, const char* buf, size_t n) {
  size_t done = 0;
  while (done < n) {
    ssize_t w = CountedWrite(((Cookie*)c)->fd, buf + done, n - done);
    if (w < 0) return done > 0 ? (ssize_t)done : -1;
    done += (size_t)w;
  }
  return (ssize_t)n;
}

static int CookieSeek(void* c, off64_t* offset, int whence) {
  off64_t at = lseek64(((Cookie*)c)->fd, *offset, whence);
  if (at < 0) return -1;
  *offset = at;
  return 0;
}

static int CookieClose(void* c) {
  int fd = ((Cookie*)c)->fd;
  free(c);
  return CountedClose(fd);
}

#define kMaxStreams 64
static struct {
  FILE* stream;
  int fd;
} g_streams[kMaxStreams];

static FILE* Wrap(int fd, const char* mode) {
  Cookie* c = malloc(sizeof *c);
  if (!c) return NULL;
  c->fd = fd;
  cookie_io_functions_t io = {CookieRead, CookieWrite, CookieSeek, CookieClose};
  FILE* f = fopencookie(c, mode, io);
  if (!f) {
    free(c);
    return NULL;
  }
  for (int i = 0; i < kMaxStreams; ++i) {
    if (!g_streams[i].stream) {
      g_streams[i].stream = f;
      g_streams[i].fd = fd;
      break;
    }
  }
  return f;
}

static int OpenFlags(const char* mode) {
  int flags = 0;
  int plus = strchr(mode, '+') != NULL;
  switch (mode[0]) {
    case 'r': flags = plus ? O_RDWR : O_RDONLY; break;
    case 'w': flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
    case 'a': flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
    default: return -1;
  }
  if (strchr(mode, 'x')) flags |= O_EXCL;
  if (strchr(mode, 'e')) flags |= O_CLOEXEC;
  return flags;
}

FILE* fopen(const char* name, const char* mode) {
  int flags = OpenFlags(mode);
  if (flags < 0) {
    errno = EINVAL;
    return NULL;
  }
  int fd = (int)syscall(SYS_openat, AT_FDCWD, name, flags, 0666);
  if (fd < 0) return NULL;
  FILE* f = Wrap(fd, mode);
  if (!f) {
    RawClose(fd);
    return NULL;
  }
  Remember(fd, name);
  return f;
}

FILE* fopen64(const char* name, const char* mode) { return fopen(name, mode); }

/* The mode argument of open() and open64(), there only when the call may create a file. */
#define CREATION_MODE(flags, mode)   \
  do {                               \
    if ((flags) & O_CREAT) {         \
      va_list args;                  \
      va_start(args, flags);         \
      (mode) = va_arg(args, mode_t); \
      va_end(args);                  \
    }                                \
  } while (0)

/* Descriptors opened directly (an exclusive creation, a lock file) are named for the trace. */
int open(const char* name, int flags, ...) {
  mode_t mode = 0;
  CREATION_MODE(flags, mode);
  int fd = (int)syscall(SYS_openat, AT_FDCWD, name, flags, mode);
  if (fd >= 0) Remember(fd, name);
  return fd;
}

int open64(const char* name, int flags, ...) {
  mode_t mode = 0;
  CREATION_MODE(flags, mode);
  return open(name, flags, mode);
}

FILE* fdopen(int fd, const char* mode) {
  if (mode[0] == 'a') lseek(fd, 0, SEEK_END);
  return Wrap(fd, mode);
}

static int IsWrapped(FILE* f) {
  for (int i = 0; i < kMaxStreams; ++i) {
    if (g_streams[i].stream == f) return 1;
  }
  return 0;
}

/* glibc (2.36) moves a cookie stream to the wrong place on a seek from the current position
 * that follows a write: it takes the written bytes off the offset once too often. A seek from
 * the start to the position ftell gives is the same move, with the same flush, on any stream. */
int fseeko64(FILE* f, off64_t offset, int whence) {
  static int (*real)(FILE*, off64_t, int);
  if (!real) real = (int (*)(FILE*, off64_t, int))dlsym(RTLD_NEXT, "fseeko64");
  if (whence == SEEK_CUR && IsWrapped(f)) {
    off64_t here = ftello64(f);
    if (here < 0) return -1;
    return real(f, here + offset, SEEK_SET);
  }
  return real(f, offset, whence);
}

int fseeko(FILE* f, off_t offset, int whence) { return fseeko64(f, offset, whence); }
int fseek(FILE* f, long offset, int whence) { return fseeko64(f, offset, whence); }

/* A cookie stream has no descriptor of its own; the program's fsync(fileno(f)) needs it. */
int fileno(FILE* f) {
  for (int i = 0; i < kMaxStreams; ++i) {
    if (g_streams[i].stream == f) return g_streams[i].fd;
  }
  static int (*real)(FILE*);
  if (!real) real = (int (*)(FILE*))dlsym(RTLD_NEXT, "fileno");
  return real(f);
}

int fclose(FILE* f) {
  for (int i = 0; i < kMaxStreams; ++i) {
    if (g_streams[i].stream == f) g_streams[i].stream = NULL;
  }
  static int (*real)(FILE*);
  if (!real) real = (int (*)(FILE*))dlsym(RTLD_NEXT, "fclose");
  return real(f);
}
