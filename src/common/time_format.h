// The date column of the programs' value lines.
#pragma once

#include <ctime>
#include <string>

namespace vantocli {

// Head of the date column for format f (1..5), without a newline; "" for any
// other format.
std::string time_head(int f);

// The date column for format f at time now, without a newline:
// 1 ctime text without its newline, a tab and the Unix time; 2 the Unix time
// and two blanks; 3 "%d.%m.%y"; 4 "%m.%d.%y"; 5 "%d %b %Y %X"; else "".
std::string time_show(int f, std::time_t now);

}  // namespace vantocli
