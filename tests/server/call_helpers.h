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
  (void)call.get(&adr, in != nullptr ? in : &empty, &out);  // the tests look at out's error
  return out;
}

inline vanto::EqData get(const std::string& address, vanto::EqData* in = nullptr) {
  vanto::EqCall call;
  return get(call, address, in);
}

inline vanto::EqData set(vanto::EqCall& call, const std::string& address, vanto::EqData& in) {
  vanto::EqAdr adr(address);
  vanto::EqData out;
  (void)call.set(&adr, &in, &out);  // the tests look at out's error
  return out;
}

// The parts of a spectrum reply a test looks at; ok is false for anything
// that is not a spectrum.
struct SpectrumParts {
  bool ok = false;
  std::vector<float> values;
  float start = 0;
  float increment = 0;
};

inline SpectrumParts spectrum_of(const vanto::EqData& s) {
  SpectrumParts parts;
  const std::optional<vanto::SpectrumView> view = s.spectrum();
  parts.ok = view.has_value();
  if (!view) return parts;
  parts.values = view->values();
  parts.start = view->start;
  parts.increment = view->increment;
  return parts;
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
