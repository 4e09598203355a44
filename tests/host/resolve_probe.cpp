// Prints the library file the tool would load, as resolved from wherever
// this program sits; the tests give it the run path of an installed tool.
#include <cstdio>

#include "library_binding.h"

int main() {
  std::printf("%s\n", pelmar::platform::ResolveLibraryFile().c_str());
  return 0;
}
