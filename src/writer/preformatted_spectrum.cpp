#include "preformatted_spectrum.h"

#include "spectrum_text.h"

namespace vantoput {

int write_spec_to_dev(WriterSession& s, const std::string& chan, int typ, const std::string& value,
                      const std::optional<std::string>& mrg) {
  if (!set_target_address(s, chan, mrg)) return 1;
  if (typ == -1) {
    typ = detect_type(s, chan);
    if (typ == -1) return 1;
  }
  s.data.set_type(typ);
  if (typ != vanto::DATA_SPECTRUM) {
    // Said aloud: a bare status 255 would leave the user guessing.
    s.err << "-s needs a SPECTRUM channel: " << chan << " has type "
          << vanto::EqData::type_string(typ) << " (" << typ << "), nothing set\n";
    return -1;
  }
  const SpectrumParse parse = parse_preformatted_spectrum(value, s.err);
  if (parse.status == -1) {
    s.err << "the spectrum file is empty, nothing set\n";
    return -1;
  }
  if (parse.status != 0) return parse.status;
  const SpectrumValue& v = parse.value;
  s.data.set_spectrum(v.comment.c_str(), v.time, v.start, v.increment, v.status, v.values.data(),
                      v.length);
  return write_value(s, typ);
}

}  // namespace vantoput
