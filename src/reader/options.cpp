#include "options.h"

#include <unistd.h>

#include <cstdlib>
#include <ostream>

#include "cell.h"
#include "help_text.h"

namespace vantoget {

namespace {

constexpr const char* kOptionString =
    "ahprtvABEHLNSTVXb:c:d:e:f:g:i:j:l:n:o:s:u:w:x:C:D:F:I:P:R:";

constexpr const char* kAuthorLine = " vantoget: channel reader of the vantotools package";

// Numbers are read like strtol base 10 does: leading number, rest ignored.
long decimal(const char* text) { return std::strtol(text, nullptr, 10); }

std::vector<std::string> split_at(const std::string& list, const char* separators) {
  std::vector<std::string> names;
  std::size_t pos = 0;
  while (true) {
    const std::size_t begin = list.find_first_not_of(separators, pos);
    if (begin == std::string::npos) break;
    const std::size_t end = list.find_first_of(separators, begin);
    names.push_back(list.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
    if (end == std::string::npos) break;
    pos = end;
  }
  return names;
}

ParseOutcome help(std::ostream& out) {
  out << help_text();
  return {std::nullopt, 255};
}

ParseOutcome refuse(std::ostream& err, const std::string& message) {
  err << "vantoget: " << message << '\n';
  return {std::nullopt, 1};
}

// A text argument must fit its buffer; a longer one is refused, never cut.
bool fits(const char* text, std::size_t limit) { return std::char_traits<char>::length(text) <= limit; }

std::string too_long(char option, std::size_t limit) {
  return std::string("argument of -") + option + " is longer than " + std::to_string(limit) +
         " characters";
}

}  // namespace

std::vector<std::string> split_channel_list(const std::string& list) { return split_at(list, ", "); }

ParseOutcome parse_options(int argc, char* argv[], std::ostream& out, std::ostream& err) {
  ReaderOptions o;
  if (argc > 0 && argv[0] != nullptr) o.program_name = argv[0];
  if (argc < 2) {
    out << " See help for usage :\n";
    return help(out);
  }

  opterr = 0;
  optind = 0;  // full re-initialisation, so the parser can run more than once
  int c;
  while ((c = getopt(argc, argv, kOptionString)) != -1) {
    switch (c) {
      case 'a': o.array_flag = true; break;
      case 'A': o.addr_flag = true; break;
      case 'b':
        if (!fits(optarg, kMaxPathArgument)) return refuse(err, too_long('b', kMaxPathArgument));
        o.filename1 = optarg;
        o.atoref_flag = true;
        break;
      case 'B': o.spect_info = true; break;
      case 'c':
        o.channels = optarg;
        o.channels_flag = true;
        break;
      case 'C':
        o.int_format = decimal(optarg);
        o.int_format_flag = true;
        break;
      case 'd':
        o.form = decimal(optarg);
        o.date_flag = true;
        break;
      case 'D':
        o.delay = decimal(optarg);
        o.delay_flag = true;
        break;
      case 'e': o.step = decimal(optarg); break;
      case 'E': o.table_flag = true; break;
      case 'f':
      case 'F':
        if (!fits(optarg, kMaxPathArgument)) return refuse(err, too_long(static_cast<char>(c), kMaxPathArgument));
        o.filename = optarg;
        break;
      case 'g':
        o.convert = decimal(optarg);
        o.convert_flag = true;
        break;
      case 'H': o.header_flag = true; break;
      case 'i':
        if (!fits(optarg, kMaxShortArgument)) return refuse(err, too_long('i', kMaxShortArgument));
        o.str = optarg;
        o.interval_flag = true;
        break;
      case 'I':
        if (!fits(optarg, kMaxShortArgument)) return refuse(err, too_long('I', kMaxShortArgument));
        o.spstr = optarg;
        o.sp_flag = true;
        break;
      case 'j':
        o.s_intvl = decimal(optarg);
        o.s_intvl_flag = true;
        break;
      case 'l':
        o.loop = decimal(optarg) - 1;
        o.loop_flag = true;
        break;
      case 'L': o.list_flag = true; break;
      case 'n':
        o.line_number = decimal(optarg);
        o.line_flag = true;
        break;
      case 'N': o.names_flag = true; break;
      case 'o':
        o.format = decimal(optarg);
        o.format_flag = true;
        break;
      case 'p': o.plottype = 1; break;
      case 'P':
        if (!fits(optarg, kMaxPathArgument)) return refuse(err, too_long('P', kMaxPathArgument));
        o.dir = optarg;
        break;
      case 'r': o.reference_flag = true; break;
      case 'R': {
        const long retry = decimal(optarg);
        if (retry > 10) {
          out << "Connection retry times set > 10! Setting to 10 ...\n";
          o.retry = 10;
        } else {
          o.retry = retry < 1 ? 1 : static_cast<int>(retry);
        }
        break;
      }
      case 's':
        o.secounds = static_cast<float>(std::strtod(optarg, nullptr));
        o.loop_flag = true;
        break;
      case 'S': o.strarg_flag = true; break;
      case 't': o.debug_flag |= kDebugType; break;
      case 'T': o.tab_flag = true; break;
      case 'u': o.units = optarg[0] != '\0' ? optarg[0] : 's'; break;
      case 'v':
        out << kAuthorLine << '\n' << "$Id$" << '\n';
        break;
      case 'V': o.debug_flag |= kDebugEventId; break;
      case 'w': {
        // A cell needs at least one character and fits a 256-byte buffer.
        const long width = decimal(optarg);
        if (width < 1 || width > vantocli::kMaxCellWidth) {
          return refuse(err, "column width (-w) must be between 1 and " +
                                 std::to_string(vantocli::kMaxCellWidth) + ", not " + optarg);
        }
        o.width = static_cast<std::size_t>(width);
        o.width_flag = true;
        break;
      }
      case 'x':
        if (!fits(optarg, kMaxPathArgument)) return refuse(err, too_long('x', kMaxPathArgument));
        o.command = optarg;
        o.command_flag = true;
        break;
      case 'X': o.excludesvr_flag = true; break;
      default:  // -h, -?, an unknown letter or a missing argument
        return help(out);
    }
  }

  if (!o.channels_flag) {
    if (!o.filename.empty()) return {std::move(o), 0};  // the save & restore mode
    out << "Channel or file name is not defined! (-c or -f options)\n";
    return {std::nullopt, 0};
  }

  o.channel = split_channel_list(o.channels);
  if (o.channel.empty()) return refuse(err, "the channel list (-c) holds no channel name");
  if (o.channel.size() > kMaxChannelNames) {
    return refuse(err, "more than " + std::to_string(kMaxChannelNames) +
                           " channel names in the channel list (-c)");
  }
  if (o.channel.size() == 1 && !o.width_flag) o.width = 80;
  return {std::move(o), 0};
}

}  // namespace vantoget
