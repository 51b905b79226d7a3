#include "name_list.h"

#include <algorithm>
#include <cstdint>
#include <ostream>

namespace vantoget {

namespace {
std::string entry_text(const vanto::EqData& answer, int index) {
  int i1 = 0;
  float f1 = 0, f2 = 0;
  int64_t tm = 0;
  char* text = nullptr;
  if (!answer.get_ustr(&i1, &f1, &f2, &tm, &text, index) || text == nullptr) return {};
  const std::string whole(text);
  return whole.substr(0, kMaxEntryText);
}
}  // namespace

std::vector<std::string> name_texts(const vanto::EqData& answer, const std::string& address,
                                    std::ostream& err) {
  const std::size_t total = static_cast<std::size_t>(std::max(answer.length(), 0));
  const std::size_t taken = std::min(total, kMaxNames);
  if (taken < total) {
    err << "vantoget: " << address << " names call: " << total << " names, only the first "
        << kMaxNames << " are used\n";
  }
  std::vector<std::string> texts;
  texts.reserve(taken);
  for (std::size_t k = 0; k < taken; ++k) texts.push_back(entry_text(answer, static_cast<int>(k)));
  return texts;
}

std::string first_word(const std::string& text) { return text.substr(0, text.find(' ')); }

}  // namespace vantoget
