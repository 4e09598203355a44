#include <locale.h>

#include "thread_locale.h"

namespace versioning::platform {
namespace {

// Locale names tried for a language identifier, best first.
const char* const* LocaleNames(uint16_t language) {
  static const char* const kEnglishUs[] = {"en_US.UTF-8", "en_US.utf8", "en_US", nullptr};
  static const char* const kGerman[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE", nullptr};
  switch (language) {
    case 0x0409: return kEnglishUs;
    case 0x0407: return kGerman;
  }
  return nullptr;
}

}  // namespace

ScopedThreadLocale::ScopedThreadLocale(uint16_t language) {
  locale_t saved = uselocale(static_cast<locale_t>(0));
  saved_ = saved;
  const char* const* names = LocaleNames(language);
  for (; names && *names; ++names) {
    locale_t made = newlocale(LC_ALL_MASK, *names, static_cast<locale_t>(0));
    if (!made) continue;
    if (uselocale(made) == static_cast<locale_t>(0)) {
      uselocale(saved);
      freelocale(made);
      return;
    }
    chosen_ = made;
    return;
  }
}

ScopedThreadLocale::~ScopedThreadLocale() {
  uselocale(static_cast<locale_t>(saved_));
  if (chosen_) freelocale(static_cast<locale_t>(chosen_));
}

}  // namespace versioning::platform
