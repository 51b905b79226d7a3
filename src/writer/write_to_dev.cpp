#include "write_to_dev.h"

#include <value_text.h>

#include "spectrum_text.h"

namespace vantoput {
namespace {

// Fills s.data with value in the form of type typ. Returns false after the
// messages when the text is no value of that type.
bool build_value(WriterSession& s, int typ, const std::string& value) {
  s.data.set_type(typ);
  switch (typ) {
    case vanto::DATA_XML: s.data.set_xml(value.c_str()); return true;
    case vanto::DATA_SPECTRUM: {
      // One line without the "#" header line is the library's own text form,
      // the form a save & restore file holds.
      if (value.rfind('#', 0) != 0 && value.find('\n') == std::string::npos) break;
      const SpectrumParse parse = parse_header_spectrum(value, s.err);
      if (parse.status != 0) {
        // Among many channels the parser's messages alone do not say which one.
        if (s.many_channels)
          s.err << "vantoput: nothing set for address " << s.address.show_adr() << "\n";
        return false;
      }
      const SpectrumValue& v = parse.value;
      s.data.set_spectrum(v.comment.c_str(), v.time, v.start, v.increment, v.status,
                          v.values.data(), v.length);
      return true;
    }
    default: break;
  }
  // A text that is no value of the type would otherwise be sent as whatever
  // the failed conversion left behind.
  if (s.data.set_from_string(value) != 0) {
    s.err << "cannot convert value text to " << vanto::EqData::type_string(typ) << " for address "
          << s.address.show_adr() << ": " << vantocli::value_text(s.data)
          << " , data.error() = " << s.data.error() << " , nothing set\n";
    return false;
  }
  return true;
}

}  // namespace

int prepare_write(WriterSession& s, const std::string& chan, int typ, const std::string& value,
                  const std::optional<std::string>& mrg) {
  if (!set_target_address(s, chan, mrg)) return -1;
  if (typ == -1) {
    typ = detect_type(s, chan);
    if (typ == -1) return -1;
  }
  if (!build_value(s, typ, value)) return -1;
  return typ;
}

int write_to_dev(WriterSession& s, const std::string& chan, int typ, const std::string& value,
                 const std::optional<std::string>& mrg) {
  const int type = prepare_write(s, chan, typ, value, mrg);
  if (type == -1) return 1;
  return write_value(s, type);
}

int write_direct(WriterSession& s, const std::string& chan, int typ,
                 const std::string& chan_to_read, const std::optional<std::string>& mrg) {
  if (!set_target_address(s, chan, mrg)) return 1;
  s.data.init();
  (void)s.call.get(&s.address, &s.data, &s.result);  // judged by the result's error below
  if (s.result.error() != 0 && !goes_on_after_failed_read(chan)) {
    s.err << vantocli::value_text(s.result) << " , result.error() = " << s.result.error()
          << " for address " << chan << "\n";
    return 1;
  }
  const int target_type = s.result.type();

  vanto::EqData result_r;
  if (!set_target_address(s, chan_to_read, std::nullopt)) return 1;
  s.data.init();
  (void)s.call.get(&s.address, &s.data, &result_r);  // judged by result_r's error below
  // The source value is what gets written: a failed read is never copied,
  // whatever the target address says.
  if (result_r.error() != 0) {
    s.err << vantocli::value_text(result_r) << " , result_r.error() = " << result_r.error()
          << "for address " << chan_to_read << "\n";
    return 1;
  }
  if (typ == -1) typ = result_r.type();
  if (target_type != typ) {
    s.err << "type mismatch for two addresses : " << chan << " (type = " << target_type << ") , "
          << chan_to_read << " (type = " << typ << "),  exit without setting\n";
    return 1;
  }

  vanto::EqData result_set;
  s.data.init();
  if (!set_target_address(s, chan, mrg)) return 1;
  s.data.copy_from(&result_r);
  set_and_read_back(s, result_set);
  if (result_set.error() != 0) {
    s.err << vantocli::value_text(result_set) << " , error = " << result_set.error() << "\n";
    return 1;
  }
  print_read_back(s, typ, s.read_back);
  return 0;
}

}  // namespace vantoput
