#include "kavex/formats/text_format.h"

#include <clocale>
#include <cstdio>
#include <vector>
#if defined(_WIN32)
#include <stdlib.h>
#else
#include <locale.h>
#endif

namespace kavex {
namespace {

#if !defined(_WIN32)
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

// Switches this thread to the C locale for the lifetime of the guard.
class CLocaleGuard {
 public:
  CLocaleGuard() : previous_(uselocale(CLocale())) {}
  ~CLocaleGuard() { uselocale(previous_); }
  CLocaleGuard(const CLocaleGuard&) = delete;
  CLocaleGuard& operator=(const CLocaleGuard&) = delete;

 private:
  locale_t previous_;
};
#endif

}  // namespace

std::string FormatV(const char* format, va_list args) {
#if defined(_WIN32)
  static const _locale_t c = _create_locale(LC_ALL, "C");
  va_list probe;
  va_copy(probe, args);
  const int size = _vscprintf_l(format, c, probe);
  va_end(probe);
  if (size <= 0) return {};
  std::string out(static_cast<size_t>(size) + 1, '\0');
  _vsnprintf_l(out.data(), out.size(), format, c, args);
  out.resize(static_cast<size_t>(size));
  return out;
#else
  CLocaleGuard guard;
  char small[256];
  va_list probe;
  va_copy(probe, args);
  const int size = std::vsnprintf(small, sizeof small, format, probe);
  va_end(probe);
  if (size < 0) return {};
  if (static_cast<size_t>(size) < sizeof small)
    return std::string(small, static_cast<size_t>(size));
  std::string out(static_cast<size_t>(size) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), format, args);
  out.resize(static_cast<size_t>(size));
  return out;
#endif
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = FormatV(format, args);
  va_end(args);
  return out;
}

}  // namespace kavex
