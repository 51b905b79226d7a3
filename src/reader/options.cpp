#include "options.h"

#include <getopt.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <ostream>

#include "cell.h"
#include "help_text.h"
#include "history_time.h"
#include "number_text.h"

namespace vantoget {

namespace {

constexpr const char* kOptionString =
    "ahprtvABEHLNSTVXb:c:d:e:f:g:i:j:l:n:o:s:u:w:x:C:D:F:I:P:R:";

// The long options have no letter, so that none of the letters changes.
enum LongOption { kPngOption = 1000, kSvgOption };
constexpr option kLongOptions[] = {
    {"png", required_argument, nullptr, kPngOption},
    {"svg", required_argument, nullptr, kSvgOption},
    {nullptr, 0, nullptr, 0},
};

constexpr const char* kAuthorLine = " vantoget: channel reader of the vantotools package";

// Options whose argument is a decimal integer. A text that is no number is
// refused: read as 0 it would, for example, turn a pause into none at all.
constexpr const char* kIntegerOptions = "CdDegjlnoRw";

// The units of -u (the first character of its argument counts).
constexpr const char* kStepUnits = "smhdwMy";

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

std::string not_a_number(char option, const char* text) {
  return std::string("argument of -") + option + " is not a number: \"" + text + "\"";
}

// --png and --svg draw channels of -c, each its own kind of picture.
std::string picture_option_problem(const ReaderOptions& o) {
  if (o.png_file && o.svg_file) return "--png and --svg cannot be given together";
  if (!o.channels_flag) return "--png and --svg need a channel list (-c)";
  if (o.names_flag) return "--png and --svg do not go with -N";
  if (o.svg_file && *o.svg_file == "-") return "--svg needs a file name (\"-\" is only for --png)";
  if (o.png_file) {
    const std::vector<std::string> names = split_channel_list(o.channels);
    if (names.size() != 1 || names.front().find('*') != std::string::npos) {
      return "--png needs exactly one image channel in -c, without '*'";
    }
  }
  return "";
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
  while ((c = getopt_long(argc, argv, kOptionString, kLongOptions, nullptr)) != -1) {
    long number = 0;  // the argument of an option of kIntegerOptions
    if (optarg != nullptr && std::strchr(kIntegerOptions, c) != nullptr) {
      const std::optional<long> value = vantocli::decimal_number(optarg);
      if (!value) return refuse(err, not_a_number(static_cast<char>(c), optarg));
      number = *value;
    }
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
        o.int_format = number;
        o.int_format_flag = true;
        break;
      case 'd':
        o.form = number;
        o.date_flag = true;
        break;
      case 'D':
        o.delay = number;
        o.delay_flag = true;
        break;
      case 'e':
        if (number < 0) return refuse(err, std::string("the step of -e is negative: ") + optarg);
        o.step = number;
        break;
      case 'E': o.table_flag = true; break;
      case 'f':
      case 'F':
        if (!fits(optarg, kMaxPathArgument)) return refuse(err, too_long(static_cast<char>(c), kMaxPathArgument));
        o.filename = optarg;
        break;
      case 'g':
        o.convert = number;
        o.convert_flag = true;
        break;
      case 'H': o.header_flag = true; break;
      case 'i': {
        if (!fits(optarg, kMaxShortArgument)) return refuse(err, too_long('i', kMaxShortArgument));
        // A time the program cannot use is refused here, before any read:
        // never replaced by the default request.
        const IntervalReading interval = read_interval(optarg, std::time(nullptr));
        if (!interval.problem.empty()) {
          return refuse(err, "cannot use the interval of -i: " + interval.problem);
        }
        o.str = optarg;
        o.interval_t1 = interval.t1;
        o.interval_t2 = interval.t2;
        o.interval_flag = true;
        break;
      }
      case 'I':
        if (!fits(optarg, kMaxShortArgument)) return refuse(err, too_long('I', kMaxShortArgument));
        o.spstr = optarg;
        o.sp_flag = true;
        break;
      case 'j':
        if (number < 1) return refuse(err, std::string("the seconds of -j are below 1: ") + optarg);
        o.s_intvl = number;
        o.s_intvl_flag = true;
        break;
      case 'l':
        o.loop = number < 1 ? -1 : number - 1;  // no pass at all below 1
        o.loop_flag = true;
        break;
      case 'L': o.list_flag = true; break;
      case 'n':
        o.line_number = number;
        o.line_flag = true;
        break;
      case 'N': o.names_flag = true; break;
      case 'o':
        o.format = number;
        o.format_flag = true;
        break;
      case 'p': o.plottype = 1; break;
      case 'P':
        if (!fits(optarg, kMaxPathArgument)) return refuse(err, too_long('P', kMaxPathArgument));
        o.dir = optarg;
        break;
      case 'r': o.reference_flag = true; break;
      case 'R': {
        const long retry = number;
        if (retry > 10) {
          out << "Connection retry times set > 10! Setting to 10 ...\n";
          o.retry = 10;
        } else {
          o.retry = retry < 1 ? 1 : static_cast<int>(retry);
        }
        break;
      }
      case 's': {
        const std::optional<double> seconds = vantocli::real_number(optarg);
        if (!seconds) return refuse(err, not_a_number('s', optarg));
        if (*seconds < 0) return refuse(err, std::string("the pause of -s is negative: ") + optarg);
        o.secounds = static_cast<float>(*seconds);
        o.loop_flag = true;
        break;
      }
      case 'S': o.strarg_flag = true; break;
      case 't': o.debug_flag |= kDebugType; break;
      case 'T': o.tab_flag = true; break;
      case 'u':
        if (optarg[0] == '\0' || std::strchr(kStepUnits, optarg[0]) == nullptr) {
          return refuse(err, std::string("the unit of -u is none of s, m, h, d, w, M, y: \"") +
                                 optarg + "\"");
        }
        o.units = optarg[0];
        break;
      case 'v':
        out << kAuthorLine << '\n' << "$Id$" << '\n';
        break;
      case 'V': o.debug_flag |= kDebugEventId; break;
      case 'w': {
        // A cell needs at least one character and fits a 256-byte buffer.
        const long width = number;
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
      case kPngOption:
      case kSvgOption:
        if (optarg[0] == '\0') return refuse(err, "--png and --svg need a file name");
        (c == kPngOption ? o.png_file : o.svg_file) = optarg;
        break;
      default:  // -h, -?, an unknown letter or a missing argument
        return help(out);
    }
  }

  if (o.png_file || o.svg_file) {
    if (const std::string problem = picture_option_problem(o); !problem.empty()) {
      return refuse(err, problem);
    }
  }
  if (!o.channels_flag) {
    if (!o.filename.empty()) return {std::move(o), 0};  // the save & restore mode
    out << "Channel or file name is not defined! (-c or -f options)\n";
    return {std::nullopt, 1};
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
