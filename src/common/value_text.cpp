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

namespace vantocli {

bool check_strarg_type(const vanto::EqData& data) {
  switch (data.type()) {
    case vanto::DATA_STRING:
    case vanto::DATA_TEXT:
    case vanto::DATA_SPECTRUM:
    case vanto::DATA_IMAGE:
    case vanto::DATA_A_USTR:
    case vanto::DATA_A_XYZS:
    case vanto::DATA_MDA_FLOAT: return true;
    default: return false;
  }
}

}  // namespace vantocli
