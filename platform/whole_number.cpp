#include "platform/whole_number.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace ruvelo {

namespace {

// strtol and strtof skip leading blanks and take a plus sign: neither is part of a plain number.
bool startsPlain(const std::string& text) {
  return !text.empty() && (text[0] == '-' || text[0] == '.' || (text[0] >= '0' && text[0] <= '9'));
}

}  // namespace

bool parseWhole(const std::string& text, long& out) {
  if (!startsPlain(text)) return false;
  char* end = nullptr;
  errno = 0;
  out = std::strtol(text.c_str(), &end, 10);
  return errno == 0 && end == text.c_str() + text.size();
}

bool parseWhole(const std::string& text, float& out) {
  if (!startsPlain(text)) return false;
  char* end = nullptr;
  errno = 0;
  out = std::strtof(text.c_str(), &end);
  if (errno == ERANGE && std::fabs(out) <= 1.0f) {
    errno = 0;
    out = 0.0f;
  }
  return errno == 0 && end == text.c_str() + text.size() && std::isfinite(out);
}

}  // namespace ruvelo
