/* Preloaded into a program under test: every socket, exec and dlopen it
 * attempts is written as one line to the file named by SIDE_EFFECT_LOG.
 * Sockets and execs are refused as well, so a program that regresses still
 * sends nothing and starts nothing. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static void Note(const char* what, const char* detail) {
  const char* path = getenv("SIDE_EFFECT_LOG");
  if (!path || !*path) return;
  int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  char line[512];
  size_t n = 0;
  for (const char* parts[] = {what, " ", detail ? detail : "", "\n"}, **p = parts;
       p < parts + 4 && n < sizeof line; ++p) {
    size_t len = strlen(*p);
    if (len > sizeof line - n) len = sizeof line - n;
    memcpy(line + n, *p, len);
    n += len;
  }
  ssize_t written = write(fd, line, n);
  (void)written;
  close(fd);
}

int socket(int domain, int type, int protocol) {
  (void)domain, (void)type, (void)protocol;
  Note("socket", NULL);
  errno = EACCES;
  return -1;
}

int execve(const char* path, char* const argv[], char* const envp[]) {
  (void)argv, (void)envp;
  Note("exec", path);
  errno = EACCES;
  return -1;
}

int execv(const char* path, char* const argv[]) {
  (void)argv;
  Note("exec", path);
  errno = EACCES;
  return -1;
}

void* dlopen(const char* file, int mode) {
  /* A handle to the program itself loads nothing (the Qt libraries ask for
     one as they start). */
  if (file) Note("dlopen", file);
  void* (*next)(const char*, int) = (void* (*)(const char*, int))dlsym(RTLD_NEXT, "dlopen");
  return next ? next(file, mode) : NULL;
}
