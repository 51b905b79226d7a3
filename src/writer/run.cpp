#include "run.h"

#include <optional>
#include <string>

#include "preformatted_spectrum.h"
#include "restore_from_file.h"
#include "session.h"
#include "usage.h"
#include "value_file.h"
#include "wildcard_set.h"
#include "write_to_dev.h"
#include "writer_limits.h"

namespace vantoput {
namespace {

int usage_status(std::ostream& err) {
  write_usage(err);
  return kUsageStatus;
}

// A value file the program cannot use whole: refused before anything is sent.
int refuse_file(std::ostream& err, const char* kind, const std::string& path,
                ValueFileStatus status, std::size_t max_bytes) {
  if (status == ValueFileStatus::too_large) {
    err << kind << " file too large! " << path << " holds more than " << max_bytes
        << " bytes, nothing set\n";
  } else {
    err << kind << " file holds a NUL byte! " << path << " , nothing set\n";
  }
  return 1;
}

int run_restore(const WriterOptions& o, std::ostream& out, std::ostream& err) {
  if (o.xmlfile || o.spectfile) return usage_status(err);
  WriterSession session(out, err);
  RestoreRequest request;
  request.filename = o.filename.value_or("");
  request.copy_flag = o.copy_flag;
  request.merge_address = o.channel;
  request.delay_flag = o.delay_flag;
  request.delay = o.delay;
  return restore_from_file(session, request);
}

}  // namespace

int run_vantoput(const WriterOptions& o, std::ostream& out, std::ostream& err) {
  if (!o.channel && !o.filename) return usage_status(err);
  if (o.filename || !o.channel) return run_restore(o, out, err);

  const std::string& channel = *o.channel;
  std::optional<std::string> setvalue = o.setvalue;

  if (o.xmlfile) {
    ValueFile file = read_value_file(*o.xmlfile, kXmlTextMax);
    if (file.status == ValueFileStatus::cannot_open) {
      err << "Cannot open xml file! " << *o.xmlfile << "\n";
      // Only the placeholder means the file was the value; a -d value (or a
      // spectrum file still to come) is written instead.
      if (setvalue == kXmlPlaceholder) return 1;
    } else if (file.status != ValueFileStatus::ok) {
      return refuse_file(err, "xml", *o.xmlfile, file.status, kXmlTextMax);
    } else {
      setvalue = std::move(file.text);
      out << "xml string size: " << setvalue->size() << "\n";
    }
  } else if (!o.spectfile && !setvalue) {
    return usage_status(err);
  }

  if (o.spectfile) {
    ValueFile file = read_value_file(*o.spectfile, kSpectrumTextMax);
    if (file.status == ValueFileStatus::cannot_open) {
      err << "Cannot open file to read SPECTRUM data! " << *o.spectfile << "\n";
      return 1;
    }
    if (file.status != ValueFileStatus::ok) {
      return refuse_file(err, "spectrum", *o.spectfile, file.status, kSpectrumTextMax);
    }
    setvalue = std::move(file.text);
  }

  WriterSession session(out, err);
  if (channel.find('*') != std::string::npos) {
    // Each expanded channel gets the value text, which under -A is only the
    // placeholder and under -s the raw file: refused rather than written.
    if (o.chan_to_read || o.set_spec_wo_header) {
      err << "vantoput: -A and -s need a single channel, not the wildcard address " << channel
          << " , nothing set\n";
      return 1;
    }
    WildcardWrite w;
    w.channel = channel;
    w.setvalue = setvalue.value_or("");
    w.verbose_flag = o.verbose_flag;
    w.test_flag = o.test_flag;
    return run_wildcard_set(session, w);
  }
  if (o.chan_to_read) return write_direct(session, channel, o.datatype, *o.chan_to_read, {});
  if (o.set_spec_wo_header) {
    const int status = write_spec_to_dev(session, channel, o.datatype, setvalue.value_or(""), {});
    return status < 0 ? kUsageStatus : status;  // -1 ends the process as exit(-1) does
  }
  return write_to_dev(session, channel, o.datatype, setvalue.value_or(""), {});
}

}  // namespace vantoput
