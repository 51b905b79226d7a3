#include "options.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <utility>

#include "number_text.h"
#include "usage.h"
#include "writer_limits.h"

namespace vantoput {
namespace {

constexpr const char* kOptionString = "hHvVTCA:a:b:s:t:c:d:x:f:D:";

void set_placeholder_if_empty(WriterOptions& o, const char* placeholder) {
  if (!o.setvalue) o.setvalue = placeholder;
}

}  // namespace

vantocli::Parsed<WriterOptions> parse_options(const std::vector<std::string>& args,
                                              std::ostream& out, std::ostream& err) {
  using Parsed = vantocli::Parsed<WriterOptions>;
  WriterOptions o;

  // getopt wants writable argv; the copies live until parsing ends.
  std::vector<std::string> words = args;
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(words.size());

  opterr = 0;
  optind = 0;  // 0 makes glibc's getopt start afresh (parse_options may run more than once)
  int c = 0;
  while ((c = getopt(argc, argv.data(), kOptionString)) != -1) {
    switch (c) {
      case 'v': write_version(out); break;
      case 'V': o.verbose_flag = true; break;
      case 'T':
        o.test_flag = true;
        o.verbose_flag = true;
        break;
      case 'C': o.copy_flag = true; break;
      case 'A':
        o.chan_to_read = optarg;
        o.setvalue = kCopyPlaceholder;
        break;
      case 'a':
        o.spectfile = optarg;
        set_placeholder_if_empty(o, kArrayPlaceholder);
        break;
      case 's':
        o.spectfile = optarg;
        o.set_spec_wo_header = true;
        set_placeholder_if_empty(o, kArrayPlaceholder);
        break;
      case 'x':
        o.xmlfile = optarg;
        set_placeholder_if_empty(o, kXmlPlaceholder);
        break;
      case 't': {
        // Any integer goes to the library; a typo is refused rather than read
        // as its leading digits, as 0 (DATA_NULL) or wrapped into -1 (detect).
        const std::optional<long> type = vantocli::decimal_number(optarg);
        if (!type || *type < INT_MIN || *type > INT_MAX) {
          err << "vantoput: argument of -t is not a number: \"" << optarg << "\"\n";
          return Parsed::end_with(1);
        }
        o.datatype = static_cast<int>(*type);
        break;
      }
      case 'c':
        o.channel = optarg;
        o.copy_adr = true;
        break;
      case 'd': o.setvalue = optarg; break;
      case 'f': o.filename = optarg; break;
      case 'D':
        o.delay_flag = true;
        o.delay = static_cast<unsigned long>(std::atol(optarg));
        break;
      case 'b':
        err << "unrecognized or incomplete argument" << argv[optind - 1] << "\n";
        write_usage(err);
        return Parsed::end_with(kUsageStatus);
      default:  // -h, -H, an unknown option or a missing argument
        write_usage(err);
        return Parsed::end_with(kUsageStatus);
    }
  }
  if (optind < argc) {
    // getopt gives -d one word: an unquoted value of several words would be
    // written cut to its first one.
    err << "vantoput: unexpected argument \"" << argv[optind]
        << "\" (a value of several words goes in quotes), nothing done\n";
    return Parsed::end_with(1);
  }
  return Parsed::run_with(std::move(o));
}

}  // namespace vantoput
