#include "time_format.h"

namespace vantocli {

std::string time_head(int f) {
  switch (f) {
    case 1: return "#_Date____ Time____ Year\tUNIX_time";
    case 2: return "#_UNIX_time";
    case 3:
    case 4: return "#_Date__";
    case 5: return "#_Date_____ Time____";
    default: return "";
  }
}

namespace {
std::string local_strftime(const char* format, std::time_t now) {
  std::tm local{};
  localtime_r(&now, &local);
  char buf[100];
  // format is always one of the fixed formats of time_show below.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  size_t n = std::strftime(buf, sizeof buf, format, &local);
#pragma GCC diagnostic pop
  return std::string(buf, n);
}
}  // namespace

std::string time_show(int f, std::time_t now) {
  switch (f) {
    case 1: {
      char buf[32];  // ctime_r needs at least 26 bytes
      std::string text = ctime_r(&now, buf) ? buf : "";
      if (!text.empty() && text.back() == '\n') text.pop_back();
      return text + "\t" + std::to_string(static_cast<long long>(now));
    }
    case 2: return std::to_string(static_cast<long long>(now)) + "  ";
    case 3: return local_strftime("%d.%m.%y", now);
    case 4: return local_strftime("%m.%d.%y", now);
    case 5: return local_strftime("%d %b %Y %X", now);
    default: return "";
  }
}

}  // namespace vantocli
