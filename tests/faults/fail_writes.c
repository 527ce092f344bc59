/* Preloaded into a program under test (LD_PRELOAD), makes writes to regular
 * files fail as a failing device would:
 *   KORVA_FAIL=write:EIO   every write() to a regular file fails with EIO
 *   KORVA_FAIL=fsync:EIO   every fsync() of a regular file fails with EIO
 *   KORVA_FAIL=rename:EIO  every rename() of a regular file fails with EIO
 *   KORVA_FAIL_AFTER=N     the first N such calls succeed (default 0)
 *   KORVA_FAIL_TIMES=N     only N calls fail, the later ones succeed (default: all)
 * The error may be EIO or ENOSPC. Pipes and terminals are never touched, so
 * the program's messages still get out. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

/* `regular`: the call concerns a regular file. */
static int Fails(const char* call, int regular) {
  static long passed = 0, failed = 0;
  const char* spec = getenv("KORVA_FAIL");
  const size_t length = strlen(call);
  if (spec == NULL || strncmp(spec, call, length) != 0 || spec[length] != ':' || !regular) return 0;
  const char* after = getenv("KORVA_FAIL_AFTER");
  if (after != NULL && passed < atol(after)) {
    ++passed;
    return 0;
  }
  const char* times = getenv("KORVA_FAIL_TIMES");
  if (times != NULL && failed >= atol(times)) return 0;
  ++failed;
  errno = strcmp(spec + length + 1, "ENOSPC") == 0 ? ENOSPC : EIO;
  return 1;
}

static int IsRegular(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

ssize_t write(int fd, const void* data, size_t size) {
  static ssize_t (*real)(int, const void*, size_t);
  if (real == NULL) real = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
  if (Fails("write", IsRegular(fd))) return -1;
  return real(fd, data, size);
}

int fsync(int fd) {
  static int (*real)(int);
  if (real == NULL) real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
  if (Fails("fsync", IsRegular(fd))) return -1;
  return real(fd);
}

int rename(const char* from, const char* to) {
  static int (*real)(const char*, const char*);
  struct stat st;
  if (real == NULL) real = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
  if (Fails("rename", stat(from, &st) == 0 && S_ISREG(st.st_mode))) return -1;
  return real(from, to);
}
