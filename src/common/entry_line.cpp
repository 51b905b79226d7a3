#include "entry_line.h"

#include <optional>

namespace vantocli {

namespace {

constexpr std::string_view kWordSpace = " \t\r";

std::optional<std::string_view> next_word(std::string_view line, std::size_t& pos) {
  const std::size_t begin = line.find_first_not_of(kWordSpace, pos);
  if (begin == std::string_view::npos) return std::nullopt;
  std::size_t end = line.find_first_of(kWordSpace, begin);
  if (end == std::string_view::npos) end = line.size();
  pos = end;
  return line.substr(begin, end - begin);
}

bool is_integer(std::string_view word) {
  if (!word.empty() && (word.front() == '+' || word.front() == '-')) word.remove_prefix(1);
  return !word.empty() && word.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

bool reads_like_entry(std::string_view line, std::size_t min_facility) {
  std::size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    const auto word = next_word(line, pos);
    if (!word || (i == 0 && word->size() < min_facility)) return false;
  }
  const auto type = next_word(line, pos);
  if (!type || !is_integer(*type)) return false;
  const std::size_t close = line.find(';', pos);
  if (close == std::string_view::npos) return false;
  return line.substr(pos, close - pos).find_first_not_of(kWordSpace) != std::string_view::npos;
}

}  // namespace vantocli
