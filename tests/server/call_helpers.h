// Small helpers of the server tests: one call through libvanto.
#pragma once

#include <string>
#include <vector>

#include <vanto/vanto.h>

namespace servertest {

inline vanto::EqData get(vanto::EqCall& call, const std::string& address,
                         vanto::EqData* in = nullptr) {
  vanto::EqAdr adr(address);
  vanto::EqData empty, out;
  call.get(&adr, in != nullptr ? in : &empty, &out);
  return out;
}

inline vanto::EqData get(const std::string& address, vanto::EqData* in = nullptr) {
  vanto::EqCall call;
  return get(call, address, in);
}

inline vanto::EqData set(vanto::EqCall& call, const std::string& address, vanto::EqData& in) {
  vanto::EqAdr adr(address);
  vanto::EqData out;
  call.set(&adr, &in, &out);
  return out;
}

// The texts of the records of a name list.
inline std::vector<std::string> names(const std::string& address, int* code = nullptr) {
  vanto::EqCall call;
  vanto::EqAdr adr(address);
  vanto::EqData out;
  const int rc = call.names(&adr, &out);
  if (code != nullptr) *code = rc;
  std::vector<std::string> texts;
  for (int k = 0; rc == 0 && k < out.array_length(); ++k) texts.push_back(out.get_ustr(k).str_data);
  return texts;
}

}  // namespace servertest
