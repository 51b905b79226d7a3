#include "value_text.h"

namespace vantocli {

std::string value_text(const vanto::EqData& data) {
  char buf[kValueTextSize];
  return data.get_string(buf, sizeof buf);
}

std::string value_text_arg(const vanto::EqData& data) {
  char buf[kValueTextSize];
  return data.get_string_arg(buf, sizeof buf);
}

std::string element_text(const vanto::EqData& data, int index) {
  char buf[kValueTextSize];
  return data.get_string(index, buf, sizeof buf);
}

}  // namespace vantocli
