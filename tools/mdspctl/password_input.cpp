#include "password_input.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace mdspctl {
namespace {

bool OnTerminal() { return isatty(STDIN_FILENO) == 1; }

bool ReadLine(std::string& out) {
  if (!std::getline(std::cin, out)) return false;
  if (!out.empty() && out.back() == '\r') out.pop_back();
  return true;
}

bool ReadHidden(const std::string& prompt, std::string& out) {
  std::fprintf(stderr, "%s", prompt.c_str());
  std::fflush(stderr);
  termios saved{};
  bool restore = tcgetattr(STDIN_FILENO, &saved) == 0;
  if (restore) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  bool ok = ReadLine(out);
  if (restore) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  std::fprintf(stderr, "\n");
  return ok;
}

}  // namespace

bool ReadPassword(const std::string& prompt, std::string& out, std::string& error) {
  bool ok = OnTerminal() ? ReadHidden(prompt, out) : ReadLine(out);
  if (!ok) error = "no password: standard input ended";
  return ok;
}

bool ReadNewPassword(std::string& out, std::string& error) {
  if (!OnTerminal()) {
    if (ReadLine(out)) return true;
    error = "no new password: standard input ended (expected a second line)";
    return false;
  }
  std::string again;
  if (!ReadHidden("New password: ", out) || !ReadHidden("Repeat new password: ", again)) {
    error = "no new password given";
    return false;
  }
  if (out != again) {
    error = "the new passwords do not match";
    return false;
  }
  return true;
}

}  // namespace mdspctl
