// vantoget's command line: the option record and its parser.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "parsed.h"

namespace vantoget {

// Limits of the option arguments: the file, directory and command texts hold
// at most 199 characters, the four-integer and interval texts 49, and the
// channel table has room for 7999 names.
inline constexpr std::size_t kMaxPathArgument = 199;
inline constexpr std::size_t kMaxShortArgument = 49;
inline constexpr std::size_t kMaxChannelNames = 7999;

// Bits of debug_flag.
inline constexpr int kDebugType = 1;     // -t
inline constexpr int kDebugEventId = 2;  // -V

struct ReaderOptions {
  std::string program_name = "vantoget";  // the command word

  bool array_flag = false;           // -a
  bool addr_flag = false;            // -A
  bool atoref_flag = false;          // -b
  std::string filename1;             // -b new_file
  bool spect_info = false;           // -B
  bool channels_flag = false;        // -c given
  std::string channels;              // -c channel_list
  std::vector<std::string> channel;  // the names cut from channels
  bool int_format_flag = false;      // -C
  long int_format = 0;
  bool date_flag = false;  // -d
  long form = 1;
  bool delay_flag = false;  // -D
  long delay = 0;
  long step = 0;              // -e
  bool table_flag = false;    // -E
  std::string filename;       // -f / -F
  bool convert_flag = false;  // -g
  long convert = 0;
  bool header_flag = false;    // -H
  bool interval_flag = false;  // -i
  std::string str;
  long interval_t1 = 0;  // -i as Unix times (checked when parsed)
  long interval_t2 = 0;
  bool sp_flag = false;  // -I
  std::string spstr;
  bool s_intvl_flag = false;  // -j
  long s_intvl = 0;
  bool loop_flag = false;  // -l or -s
  long loop = 0;           // -l value - 1
  bool list_flag = false;  // -L
  bool line_flag = false;  // -n
  long line_number = 0;
  bool names_flag = false;   // -N
  bool format_flag = false;  // -o
  long format = 0;
  int plottype = 0;             // -p
  std::string dir;              // -P
  bool reference_flag = false;  // -r
  int retry = 1;                // -R, 1..10
  float secounds = 10.0f;       // -s
  bool strarg_flag = false;     // -S
  int debug_flag = 0;           // -t, -V
  bool tab_flag = false;        // -T
  char units = 's';             // -u
  bool width_flag = false;      // -w
  std::size_t width = 80;
  bool command_flag = false;  // -x
  std::string command;
  bool excludesvr_flag = false;         // -X
  std::optional<std::string> png_file;  // --png: the image as a PNG file ("-": standard output)
  std::optional<std::string> svg_file;  // --svg: histories or spectra as an SVG plot
};

// Parses argv with getopt_long (its own messages off): the letters and the
// long options --png and --svg. Texts the command line
// itself asks for (help, -v, the -R clamp, "not defined") go to out, refusals
// of arguments to err. Without options to run with, the status is 255 after
// the help text, 1 after a refused argument or when neither a channel nor a
// file was given.
vantocli::Parsed<ReaderOptions> parse_options(int argc, char* argv[], std::ostream& out,
                                              std::ostream& err);

// Cuts a channel list at every comma and blank; runs of them count as one.
std::vector<std::string> split_channel_list(const std::string& list);

}  // namespace vantoget
