#include <cerrno>
#include <cstdio>
#include <cstring>

#include "names_file.h"
#include "small_file.h"

namespace pelmar {
namespace {

enum class ReadResult { Ok, Missing, TooLarge, Failed };

ReadResult ReadBounded(const std::string& path, std::string& bytes) {
  // One byte past the limit tells a file that is too large.
  if (!platform::ReadSmallFile(path, kNamesFileLimit + 1, &bytes))
    return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  return bytes.size() > kNamesFileLimit ? ReadResult::TooLarge : ReadResult::Ok;
}

}  // namespace

std::string NamesPathBeside(const std::string& settingsPath) {
  return platform::FileBesideSettings(settingsPath, "names.txt");
}

NamesLoad LoadNames(const std::string& path, ModuleNames& names, std::string& warning) {
  names = ModuleNames{};
  warning.clear();
  if (path.empty()) return NamesLoad::Missing;
  std::string bytes;
  switch (ReadBounded(path, bytes)) {
    case ReadResult::Missing: return NamesLoad::Missing;
    case ReadResult::Failed:
      warning = "The names file " + path + " could not be read (" + std::strerror(errno) +
                "); names and notes are not shown.";
      return NamesLoad::Unreadable;
    case ReadResult::TooLarge:
    case ReadResult::Ok: break;
  }
  if (!names.Parse(bytes)) {
    warning = "The names file " + path +
              " is damaged and was ignored. It is kept as " + path +
              ".damaged when a name is next saved.";
    return NamesLoad::Damaged;
  }
  return NamesLoad::Loaded;
}

bool SaveNames(const std::string& path, const ModuleNames& names, std::string& error) {
  error.clear();
  if (path.empty() || !platform::MakeFoldersOf(path)) {
    error = "cannot create the folder of " + path;
    return false;
  }
  // Never overwrite a file we could not read: the user may want it back.
  std::string old;
  ModuleNames check;
  const ReadResult read = ReadBounded(path, old);
  if ((read == ReadResult::Ok && !check.Parse(old)) || read == ReadResult::TooLarge) {
    if (::rename(path.c_str(), (path + ".damaged").c_str()) != 0) {
      error = "cannot keep the damaged " + path + " aside: " + std::strerror(errno);
      return false;
    }
  } else if (read == ReadResult::Failed) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  if (!platform::WriteFileWhole(path, names.Compose())) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace pelmar
