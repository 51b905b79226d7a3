#include "history_time.h"

#include <cctype>
#include <optional>
#include <sstream>
#include <vector>

#include "number_text.h"
#include "printf_text.h"

namespace vantoget {

namespace {

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  while (true) {
    const auto at = text.find(separator, from);
    parts.push_back(text.substr(from, at - from));
    if (at == std::string::npos) return parts;
    from = at + 1;
  }
}

// A field of decimal digits: nullopt when empty (the caller fills it in),
// -1 when it holds anything else or is absurdly long.
std::optional<int> field(const std::string& text) {
  if (text.empty()) return std::nullopt;
  if (text.size() > 4) return -1;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
  }
  return std::stoi(text);
}

struct Date {
  int day, month, year;  // year counted from 1900, like tm_year
};

// A date, or the reason why the text is none.
struct DateReading {
  Date date{};
  std::string problem;
};

DateReading parse_date(const std::string& text, const std::tm& today) {
  // The year may end at a blank.
  const std::vector<std::string> parts = split(trim(text.substr(0, text.find(' '))), '.');
  if (parts.size() > 4 || (parts.size() == 4 && !parts[3].empty())) return {{}, "not a date"};
  Date date{today.tm_mday, today.tm_mon + 1, today.tm_year};
  for (std::size_t i = 0; i < parts.size() && i < 3; ++i) {
    if (field(parts[i]).value_or(0) < 0) return {{}, "not a date"};
  }
  if (const auto day = field(parts[0])) date.day = *day;
  if (parts.size() > 1) {
    if (const auto month = field(parts[1])) date.month = *month;
  }
  if (parts.size() > 2 && !parts[2].empty()) {
    if (parts[2].size() == 3) return {{}, "not a date (the year has three digits)"};
    const int year = *field(parts[2]);
    if (parts[2].size() == 4) {
      date.year = year - 1900;
    } else {
      date.year = year + 99 < today.tm_year ? 100 + year : year;
    }
  }
  if (date.day < 1 || date.day > 31 || date.month < 1 || date.month > 12) {
    return {{}, "no such date"};
  }
  return {date, ""};
}

struct Clock {
  int hour, minute, second;
};

struct ClockReading {
  Clock clock{};
  std::string problem;
};

// "hours:minutes", with seconds after a "." or a second ":".
ClockReading parse_clock(const std::string& text) {
  const std::string t = trim(text);
  const auto colon = t.find(':');
  const std::string minutes_part = t.substr(colon + 1);
  const auto separator = minutes_part.find_first_of(".:");
  const auto hour = field(t.substr(0, colon));
  const auto minute = field(minutes_part.substr(0, separator));
  const auto second =
      separator == std::string::npos ? std::nullopt : field(minutes_part.substr(separator + 1));
  const Clock clock{hour.value_or(0), minute.value_or(0), second.value_or(0)};
  if (clock.hour < 0 || clock.minute < 0 || clock.second < 0) return {{}, "not a time of day"};
  if (clock.hour > 23 || clock.minute > 59 || clock.second > 59) {
    return {{}, "no such time of day"};
  }
  return {clock, ""};
}

std::string quoted(const std::string& text) { return "\"" + trim(text) + "\""; }

}  // namespace

TimeReading read_time(const std::string& raw, bool start, std::time_t now) {
  const std::string text = trim(raw);
  if (text.empty()) return {0, "no time given"};
  std::string date_text = text;
  std::string clock_text;
  const auto colon = text.find(':');
  if (colon != std::string::npos) {
    const auto blank = text.find(' ');
    if (blank == std::string::npos) {
      date_text.clear();
      clock_text = text;
    } else if (colon > blank) {
      date_text = text.substr(0, blank);
      clock_text = text.substr(blank + 1);
    } else {
      clock_text = text.substr(0, blank);
      date_text = text.substr(blank + 1);
    }
  }

  std::tm today{};
  localtime_r(&now, &today);
  const DateReading date = parse_date(date_text, today);
  if (!date.problem.empty()) return {0, date.problem};
  Clock clock = start ? Clock{0, 0, 0} : Clock{23, 59, 59};
  if (colon != std::string::npos) {
    const ClockReading parsed = parse_clock(clock_text);
    if (!parsed.problem.empty()) return {0, parsed.problem};
    clock = parsed.clock;
  }

  std::tm when{};
  when.tm_mday = date.date.day;
  when.tm_mon = date.date.month - 1;
  when.tm_year = date.date.year;
  when.tm_hour = clock.hour;
  when.tm_min = clock.minute;
  when.tm_sec = clock.second;
  when.tm_isdst = -1;  // daylight saving as the system knows it
  const std::time_t result = std::mktime(&when);
  // 31.02. is no day: mktime would move it into March.
  if (when.tm_mday != date.date.day || when.tm_mon != date.date.month - 1) {
    return {0, "no such date"};
  }
  if (result <= 0) return {0, "before 1970"};
  return {result, ""};
}

std::time_t make_time(const std::string& text, bool start, std::time_t now) {
  return read_time(text, start, now).time;
}

std::time_t make_time(const std::string& text, bool start) {
  return make_time(text, start, std::time(nullptr));
}

std::string check_time(const std::string& text, std::time_t now) {
  const auto comma = text.find(',');
  if (comma == std::string::npos) return text;
  const std::time_t t1 = make_time(text.substr(0, comma), true, now);
  const std::time_t t2 = make_time(text.substr(comma + 1), false, now);
  if (t1 == 0 || t2 == 0) return text;
  return printf_text("%lu %lu 0 0", static_cast<unsigned long>(t1), static_cast<unsigned long>(t2));
}

std::string check_time(const std::string& text) { return check_time(text, std::time(nullptr)); }

IntervalReading read_interval(const std::string& text, std::time_t now) {
  IntervalReading interval;
  const auto comma = text.find(',');
  if (comma == std::string::npos) {
    std::istringstream words(text);
    std::vector<std::string> numbers;
    for (std::string word; words >> word;) numbers.push_back(word);
    const auto t1 = numbers.size() >= 2 ? vantocli::decimal_number(numbers[0]) : std::nullopt;
    const auto t2 = numbers.size() >= 2 ? vantocli::decimal_number(numbers[1]) : std::nullopt;
    bool rest_numbers = numbers.size() <= 4;
    for (std::size_t i = 2; i < numbers.size(); ++i) {
      rest_numbers = rest_numbers && vantocli::decimal_number(numbers[i]).has_value();
    }
    if (!t1 || !t2 || *t1 <= 0 || *t2 <= 0 || !rest_numbers) {
      interval.problem = quoted(text) +
                         ": neither two Unix times nor two local times "
                         "separated by \",\"";
      return interval;
    }
    interval.t1 = static_cast<std::time_t>(*t1);
    interval.t2 = static_cast<std::time_t>(*t2);
  } else {
    const std::string start_text = text.substr(0, comma);
    const std::string end_text = text.substr(comma + 1);
    const TimeReading start = read_time(start_text, true, now);
    if (!start.problem.empty()) {
      interval.problem = quoted(start_text) + ": " + start.problem;
      return interval;
    }
    const TimeReading end = read_time(end_text, false, now);
    if (!end.problem.empty()) {
      interval.problem = quoted(end_text) + ": " + end.problem;
      return interval;
    }
    interval.t1 = start.time;
    interval.t2 = end.time;
  }
  if (interval.t2 <= interval.t1) {
    interval = IntervalReading{0, 0, quoted(text) + ": the interval ends before it starts"};
  }
  return interval;
}

}  // namespace vantoget
