#include "history_print.h"

#include <cmath>
#include <ctime>
#include <limits>
#include <ostream>

#include "printf_text.h"
#include "value_text.h"

namespace vantoget {

namespace {

// The time-stamped histories print two blanks after "bin:".
constexpr const char* kStampedBinLabel = ", bin:  ";

std::string stamp_text(int64_t seconds, int msec) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&t, &local);
  return printf_text("%d-%02d-%02d  %02d:%02d:%02d,%03d \t", local.tm_year + 1900, local.tm_mon + 1,
                     local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, msec);
}

std::string tds_line(const HistoryPoint& p, const HistoryPrintOptions& o) {
  std::string line;
  if (o.plot) {
    char extra[vantocli::kValueTextSize];
    line += p.chunk->get_string_extra(p.index, extra, sizeof extra);
    line += '\t';
  }
  line += vantocli::element_text(*p.chunk, p.index);
  if (o.int_form != vantocli::IntForm::none) {
    int64_t tm = 0;
    float value = 0;
    uint8_t status = 0;
    p.chunk->get_tds(&tm, &value, &status, p.index);
    line += vantocli::int_form_suffix(truncated_int(value), o.int_form);
  }
  return line + '\n';
}

// A time-stamped INT or FLOAT point: the value, or with -C its integer form
// and a tab after it.
std::string stamped_number_line(const std::string& head, int32_t as_int,
                                const HistoryPrintOptions& o) {
  if (o.int_form == vantocli::IntForm::none) return head + '\n';
  return head + vantocli::int_form_suffix(as_int, o.int_form, kStampedBinLabel) + "\t\n";
}

std::string stamped_line(int type, const HistoryPoint& p, const HistoryPrintOptions& o) {
  int64_t sec = 0;
  int msec = 0;
  uint32_t status = 0;
  const vanto::EqData& d = *p.chunk;
  switch (type) {
    case vanto::DATA_A_TS_FLOAT: {
      float v = 0;
      d.get_ts_float(&sec, &msec, &status, &v, p.index);
      const std::string head = printf_text(
          "%s %lld \t%d \t%d : \t%.7e", stamp_text(sec, msec).c_str(), static_cast<long long>(sec),
          msec, static_cast<int>(status), static_cast<double>(v));
      return stamped_number_line(head, truncated_int(v), o);
    }
    case vanto::DATA_A_TS_INT: {
      int v = 0;
      d.get_ts_int(&sec, &msec, &status, &v, p.index);
      const std::string head =
          printf_text("%s %lld \t%d \t%d : \t%d", stamp_text(sec, msec).c_str(),
                      static_cast<long long>(sec), msec, static_cast<int>(status), v);
      return stamped_number_line(head, v, o);
    }
    case vanto::DATA_A_TS_DOUBLE: {
      double v = 0;
      d.get_ts_double(&sec, &msec, &status, &v, p.index);
      return printf_text("%s %lld \t%d \t%d : \t%.7e\n", stamp_text(sec, msec).c_str(),
                         static_cast<long long>(sec), msec, static_cast<int>(status), v);
    }
    case vanto::DATA_A_TS_BOOL: {
      bool v = false;
      d.get_ts_bool(&sec, &msec, &status, &v, p.index);
      return printf_text("%s %lld \t%d \t%d : \t%d\n", stamp_text(sec, msec).c_str(),
                         static_cast<long long>(sec), msec, static_cast<int>(status),
                         static_cast<int>(v));
    }
    default: return "";  // STRING, XML and IIII histories print no points
  }
}

}  // namespace

int32_t truncated_int(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

void print_history(std::ostream& out, int type, const std::vector<HistoryPoint>& points,
                   const HistoryPrintOptions& options) {
  out << "# TDS array LENGTH = " << points.size() << '\n';
  for (const HistoryPoint& p : points) {
    out << (type == vanto::DATA_A_TDS ? tds_line(p, options) : stamped_line(type, p, options));
  }
}

}  // namespace vantoget
