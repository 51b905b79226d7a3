#include "options.h"

#include <getopt.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <ostream>

#include <vanto/eqdata.h>

#include "cell.h"
#include "help_text.h"
#include "history_time.h"
#include "number_text.h"

namespace vantoget {

namespace {

constexpr const char* kOptionString = "ahprtvABEHLNSTVXb:c:d:e:f:g:i:j:l:n:o:s:u:w:x:C:D:F:I:P:R:";

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

using Parsed = vantocli::Parsed<ReaderOptions>;

// What taking one option comes to: nothing to go on with the next, or the
// status the parse ends with at once.
using Ending = std::optional<int>;

// Options that only switch a flag on.
struct FlagOption {
  char letter;
  bool ReaderOptions::*flag;
};
constexpr FlagOption kFlagOptions[] = {
    {'a', &ReaderOptions::array_flag},      {'A', &ReaderOptions::addr_flag},
    {'B', &ReaderOptions::spect_info},      {'E', &ReaderOptions::table_flag},
    {'H', &ReaderOptions::header_flag},     {'L', &ReaderOptions::list_flag},
    {'N', &ReaderOptions::names_flag},      {'r', &ReaderOptions::reference_flag},
    {'S', &ReaderOptions::strarg_flag},     {'T', &ReaderOptions::tab_flag},
    {'X', &ReaderOptions::excludesvr_flag},
};

// Options whose argument is a text kept as it is. Each field holds at most
// limit characters: a longer argument is refused, never cut (the channel
// list has no such limit; its names are counted instead).
struct TextOption {
  char letter;
  std::size_t limit;
  std::string ReaderOptions::*field;
  bool ReaderOptions::*flag;  // set when the option is given (nullptr: no flag)
};
constexpr std::size_t kNoLimit = std::string::npos;
constexpr TextOption kTextOptions[] = {
    {'b', kMaxPathArgument, &ReaderOptions::filename1, &ReaderOptions::atoref_flag},
    {'c', kNoLimit, &ReaderOptions::channels, &ReaderOptions::channels_flag},
    {'f', kMaxPathArgument, &ReaderOptions::filename, nullptr},
    {'F', kMaxPathArgument, &ReaderOptions::filename, nullptr},
    {'i', kMaxShortArgument, &ReaderOptions::str, &ReaderOptions::interval_flag},
    {'I', kMaxShortArgument, &ReaderOptions::spstr, &ReaderOptions::sp_flag},
    {'P', kMaxPathArgument, &ReaderOptions::dir, nullptr},
    {'x', kMaxPathArgument, &ReaderOptions::command, &ReaderOptions::command_flag},
};

// Options whose argument is any decimal integer, kept as it is.
struct NumberOption {
  char letter;
  long ReaderOptions::*field;
  bool ReaderOptions::*flag;
};
constexpr NumberOption kNumberOptions[] = {
    {'C', &ReaderOptions::int_format, &ReaderOptions::int_format_flag},
    {'d', &ReaderOptions::form, &ReaderOptions::date_flag},
    {'D', &ReaderOptions::delay, &ReaderOptions::delay_flag},
    {'g', &ReaderOptions::convert, &ReaderOptions::convert_flag},
    {'n', &ReaderOptions::line_number, &ReaderOptions::line_flag},
    {'o', &ReaderOptions::format, &ReaderOptions::format_flag},
};

// The entry of table for option letter c, or nullptr.
template <class Entry, std::size_t N>
const Entry* entry_of(const Entry (&table)[N], int c) {
  for (const Entry& entry : table) {
    if (entry.letter == c) return &entry;
  }
  return nullptr;
}

// The help text; its status.
int help(std::ostream& out) {
  out << help_text();
  return 255;
}

// A refused argument; its status.
int refuse(std::ostream& err, const std::string& message) {
  err << "vantoget: " << message << '\n';
  return 1;
}

bool fits(const char* text, std::size_t limit) {
  return std::char_traits<char>::length(text) <= limit;
}

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

// A time the program cannot use is refused here, before any read: never
// replaced by the default request.
Ending take_interval(const char* text, ReaderOptions& o, std::ostream& err) {
  const IntervalReading interval = read_interval(text, std::time(nullptr));
  if (!interval.problem.empty()) {
    return refuse(err, "cannot use the interval of -i: " + interval.problem);
  }
  o.interval_t1 = interval.t1;
  o.interval_t2 = interval.t2;
  return std::nullopt;
}

// -I: the four integers sent with an image or spectrum read, checked here so
// that a malformed argument is refused before anything is read instead of
// going out as zeros.
Ending check_read_input(const char* arg, std::ostream& err) {
  vanto::EqData input;
  input.set_type(vanto::DATA_IIII);
  if (input.set_from_string(arg) != 0) {
    return refuse(err, std::string("the argument of -I is not four integers: \"") + arg + "\"");
  }
  return std::nullopt;
}

// The options with rules of their own; number is the argument of an option
// of kIntegerOptions.
Ending take_special_option(int c, const char* arg, long number, ReaderOptions& o, std::ostream& out,
                           std::ostream& err) {
  switch (c) {
    case 'e':
      if (number < 0) return refuse(err, std::string("the step of -e is negative: ") + arg);
      o.step = number;
      break;
    case 'j':
      if (number < 1) return refuse(err, std::string("the seconds of -j are below 1: ") + arg);
      o.s_intvl = number;
      o.s_intvl_flag = true;
      break;
    case 'l':
      o.loop = number < 1 ? -1 : number - 1;  // no pass at all below 1
      o.loop_flag = true;
      break;
    case 'p': o.plottype = 1; break;
    case 'R':
      if (number > 10) {
        out << "Connection retry times set > 10! Setting to 10 ...\n";
        o.retry = 10;
      } else {
        o.retry = number < 1 ? 1 : static_cast<int>(number);
      }
      break;
    case 's': {
      const std::optional<double> seconds = vantocli::real_number(arg);
      if (!seconds) return refuse(err, not_a_number('s', arg));
      if (*seconds < 0) return refuse(err, std::string("the pause of -s is negative: ") + arg);
      o.secounds = static_cast<float>(*seconds);
      o.loop_flag = true;
      break;
    }
    case 't': o.debug_flag |= kDebugType; break;
    case 'u':
      if (arg[0] == '\0' || std::strchr(kStepUnits, arg[0]) == nullptr) {
        return refuse(
            err, std::string("the unit of -u is none of s, m, h, d, w, M, y: \"") + arg + "\"");
      }
      o.units = arg[0];
      break;
    case 'v': out << kAuthorLine << '\n' << "$Id$" << '\n'; break;
    case 'V': o.debug_flag |= kDebugEventId; break;
    case 'w':
      // A cell needs at least one character and fits a 256-byte buffer.
      if (number < 1 || number > vantocli::kMaxCellWidth) {
        return refuse(err, "column width (-w) must be between 1 and " +
                               std::to_string(vantocli::kMaxCellWidth) + ", not " + arg);
      }
      o.width = static_cast<std::size_t>(number);
      o.width_flag = true;
      break;
    case kPngOption:
    case kSvgOption:
      if (arg[0] == '\0') return refuse(err, "--png and --svg need a file name");
      (c == kPngOption ? o.png_file : o.svg_file) = arg;
      break;
    default:  // -h, -?, an unknown letter or a missing argument
      return help(out);
  }
  return std::nullopt;
}

// Takes the option c (getopt's answer) with its argument arg into o.
Ending take_option(int c, const char* arg, ReaderOptions& o, std::ostream& out, std::ostream& err) {
  if (const FlagOption* flag = entry_of(kFlagOptions, c)) {
    o.*(flag->flag) = true;
    return std::nullopt;
  }
  if (const TextOption* text = entry_of(kTextOptions, c)) {
    if (!fits(arg, text->limit)) return refuse(err, too_long(text->letter, text->limit));
    o.*(text->field) = arg;
    if (text->flag != nullptr) o.*(text->flag) = true;
    if (c == 'i') return take_interval(arg, o, err);
    if (c == 'I') return check_read_input(arg, err);
    return std::nullopt;
  }
  long number = 0;
  if (arg != nullptr && std::strchr(kIntegerOptions, c) != nullptr) {
    const std::optional<long> value = vantocli::decimal_number(arg);
    if (!value) return refuse(err, not_a_number(static_cast<char>(c), arg));
    number = *value;
  }
  if (const NumberOption* option = entry_of(kNumberOptions, c)) {
    o.*(option->field) = number;
    o.*(option->flag) = true;
    return std::nullopt;
  }
  return take_special_option(c, arg, number, o, out, err);
}

// The rules about the options together, once all are read.
Parsed checked_whole(ReaderOptions o, std::ostream& out, std::ostream& err) {
  if (o.png_file || o.svg_file) {
    if (const std::string problem = picture_option_problem(o); !problem.empty()) {
      return Parsed::end_with(refuse(err, problem));
    }
  }
  if (!o.channels_flag) {
    if (!o.filename.empty()) return Parsed::run_with(std::move(o));  // the save & restore mode
    out << "Channel or file name is not defined! (-c or -f options)\n";
    return Parsed::end_with(1);
  }

  o.channel = split_channel_list(o.channels);
  if (o.channel.empty()) {
    return Parsed::end_with(refuse(err, "the channel list (-c) holds no channel name"));
  }
  if (o.channel.size() > kMaxChannelNames) {
    return Parsed::end_with(refuse(err, "more than " + std::to_string(kMaxChannelNames) +
                                            " channel names in the channel list (-c)"));
  }
  if (o.channel.size() == 1 && !o.width_flag) o.width = 80;
  return Parsed::run_with(std::move(o));
}

}  // namespace

std::vector<std::string> split_channel_list(const std::string& list) {
  return split_at(list, ", ");
}

vantocli::Parsed<ReaderOptions> parse_options(int argc, char* argv[], std::ostream& out,
                                              std::ostream& err) {
  ReaderOptions o;
  if (argc > 0 && argv[0] != nullptr) o.program_name = argv[0];
  if (argc < 2) {
    out << " See help for usage :\n";
    return Parsed::end_with(help(out));
  }

  opterr = 0;
  optind = 0;  // full re-initialisation, so the parser can run more than once
  int c;
  while ((c = getopt_long(argc, argv, kOptionString, kLongOptions, nullptr)) != -1) {
    if (const Ending ending = take_option(c, optarg, o, out, err)) return Parsed::end_with(*ending);
  }
  return checked_whole(std::move(o), out, err);
}

}  // namespace vantoget
