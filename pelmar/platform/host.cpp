#include "host.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

extern char** environ;

namespace pelmar::platform {

bool HoldInstanceLock() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string path;
  if (runtime && *runtime == '/')
    path = std::string(runtime) + "/Corvane Pelmar.lock";
  else
    path = "/tmp/Corvane Pelmar." + std::to_string(::getuid()) + ".lock";
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  // Deliberately kept open (and locked) until the process ends.
  return ::flock(fd, LOCK_SH | LOCK_NB) == 0;
}

bool ProbeSocketLayer() {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool SendPickerReply(int port, const std::string& payload) {
  if (port < 1 || port > 65535) return false;
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  any.sin_port = 0;
  bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(static_cast<uint16_t>(port));
  ok = ok && ::sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to),
                      sizeof to) == static_cast<ssize_t>(payload.size());
  ::close(fd);
  return ok;
}

bool OpenWithShell(const std::string& text) {
  const char* argv[] = {"xdg-open", text.c_str(), nullptr};
  pid_t pid = 0;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  int rc = ::posix_spawnp(&pid, "xdg-open", &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  // Reaped in the background so it leaves no zombie; nobody waits for it.
  std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
  return true;
}

}  // namespace pelmar::platform
