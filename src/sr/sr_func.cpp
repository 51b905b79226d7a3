#include "vantoutil.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <vanto/eqadr.h>
#include <vanto/eqdata.h>
#include <vanto/types.h>

#include "input_file.h"
#include "output_file.h"
#include "retried_call.h"
#include "sr_format.h"

using vantosr::ReadResult;

namespace {

char* copy_text(const std::string& text) {
  char* copy = new char[text.size() + 1];
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

void release_text(char*& field) {
  delete[] field;
  field = nullptr;
}

void replace_text(char*& field, const std::string& text) {
  release_text(field);
  field = copy_text(text);
}

std::string ctime_text(std::time_t when) {
  char buf[64];
  return ctime_r(&when, buf) ? buf : "\n";
}

std::string text_or_empty(const char* text) { return text ? text : ""; }

// The whole text form of a result: its value, or its error text.
std::string result_text(const vanto::EqData& result) { return result.get_string(); }

// The text a file keeps for a live value: its one-line form where it has
// one, else the plain text (which a save then refuses to store).
std::string live_text(const vanto::EqData& result) {
  return result.get_string_line().value_or(result.get_string());
}

// The time line of a saved file. When some values are not live, the line
// says so, so that its time is not taken for the time of every value.
std::string save_time_text(const std::string& ctime_text, std::size_t stale, std::size_t total) {
  if (stale == 0) return ctime_text;
  std::string text = ctime_text;
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text + " (not live: " + std::to_string(stale) + " of " + std::to_string(total) +
         " values are those of the source file)\n";
}

// True when the text form of address parses back into the same four fields.
// The channel of an entry: its four fields joined. The facility field may
// carry a protocol prefix ("tango:sys" names a Tango channel, "epics:SR" an
// EPICS one); a field holding "/" would send reads and writes to another
// channel and is refused.
bool entry_address(const vantosr::SrEntryFields& fields, vanto::EqAdr& address) {
  const std::string name =
      fields.facility + "/" + fields.device + "/" + fields.location + "/" + fields.property;
  return address.adr(name) == 0 && address.host().empty() && address.show_adr() == name &&
         address.device() == fields.device && address.location() == fields.location &&
         address.property() == fields.property;
}

// The facility field of a saved entry: a Tango or EPICS channel's keeps its
// prefix, so that the entry names the same channel when it is read again.
std::string facility_field(const vanto::EqAdr& address) {
  const std::string& protocol = address.protocol();
  return protocol == "tango" || protocol == "epics" ? protocol + ":" + address.facility()
                                                    : address.facility();
}

std::string entry_error(const char* name, const std::string& text) {
  return std::string(name) + " error: " + text;
}

}  // namespace

sr_data::~sr_data() {
  release_text(name_);
  release_text(value_);
  release_text(actual_);
}

void sr_data::set_actual(const std::string& text) { replace_text(actual_, text); }

SR::SR() { init(); }

SR::SR(const char* file_name) {
  init();
  set_name(file_name);
}

SR::SR(const char* file_name, int actual) {
  init();
  set_name(file_name);
  actual_ = actual;
}

SR::~SR() {
  if (fp_) std::fclose(fp_);
  clear_list();
  clear_err();
}

void SR::init() {
  file_name_ = ref_time_ = act_time_ = comment_ = merge_ = nullptr;
  fp_ = nullptr;
  error_ = 0;
  actual_ = 0;
  sr_data_p_.clear();
  err_str_.clear();
}

void SR::set_name(const char* file_name) {
  release_text(file_name_);
  if (file_name) file_name_ = copy_text(file_name);
}

void SR::set_actual(int act) {
  actual_ = act;
  read_actual();
}

void SR::add_error(const std::string& message) {
  error_ = 1;
  err_str_.push_back(copy_text(message));
}

void SR::clear_err() {
  for (char* text : err_str_) delete[] text;
  err_str_.clear();
}

void SR::clear_list() {
  release_text(file_name_);
  release_text(ref_time_);
  release_text(act_time_);
  release_text(comment_);
  release_text(merge_);
  for (sr_data* entry : sr_data_p_) delete entry;
  sr_data_p_.clear();
}

void SR::file_lock(int fd) {
  struct flock lock {};
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  while (::fcntl(fd, F_SETLKW, &lock) == -1 && errno == EINTR) {
  }
}

void SR::file_unlock(int fd) {
  struct flock lock {};
  lock.l_type = F_UNLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  ::fcntl(fd, F_SETLK, &lock);
}

void SR::fill_list() {
  error_ = 0;
  clear_err();
  open_file();
  if (error_) return;
  clear_list();
  read_fill();
}

void SR::open_file() {
  if (!file_name_) {
    add_error("file name not defined");
    return;
  }
  vantocli::InputFile file = vantocli::open_regular_file(file_name_);
  if (!file.fp) {
    add_error(std::string("can't open file ") + file_name_);
    add_error(std::string(file_name_) + ": " + file.error);
    return;
  }
  fp_ = file.fp.release();  // closed by read_fill, or below when refused
  file_lock(fileno(fp_));
  std::rewind(fp_);
  std::string token;
  if (vantosr::read_token(fp_, vantosr::kMaxMarkerToken, token) != vantosr::TokenStatus::ok ||
      !vantosr::is_marker(token)) {
    add_error("doesn't sr file");
    file_unlock(fileno(fp_));
    std::fclose(fp_);
    fp_ = nullptr;
  }
}

void SR::read_fill() {
  vantosr::SrHeader header;
  ReadResult result = vantosr::read_header(fp_, header);
  if (result.kind == ReadResult::fault) {
    add_error("damaged header: " + result.message);
  } else {
    if (header.merge) merge_ = copy_text(*header.merge);
    comment_ = copy_text(header.comment);
    ref_time_ = copy_text(header.ref_time);
    for (;;) {
      vantosr::SrEntryFields fields;
      result = vantosr::read_entry(fp_, fields);
      if (result.kind == ReadResult::end) break;
      const std::string where = "entry " + std::to_string(sr_data_p_.size() + 1) + ": ";
      if (result.kind == ReadResult::fault) {
        add_error(where + result.message + "; the file is damaged, this entry was not loaded");
        break;
      }
      if (sr_data_p_.size() == kMaxEntries) {
        add_error("the file holds more than " + std::to_string(kMaxEntries) +
                  " entries; the rest was not loaded");
        break;
      }
      vanto::EqAdr address;
      if (!entry_address(fields, address)) {
        // A field holding "/" would send reads and writes to another channel.
        add_error(where + "\"" + fields.facility + " " + fields.device + " " + fields.location +
                  " " + fields.property + "\" is no channel address; this entry was not loaded");
        break;
      }
      auto entry = std::make_unique<sr_data>();
      entry->name_ = copy_text(address.show_adr());
      entry->value_ = copy_text(fields.value);
      entry->type_ = fields.type;
      sr_data_p_.push_back(entry.get());
      entry.release();  // owned by the list from here on
    }
    // The live values of actual mode are read while the file is still locked.
    if (actual_ && !error_) read_actual();
  }
  file_unlock(fileno(fp_));
  std::fclose(fp_);
  fp_ = nullptr;
}

void SR::read_actual() {
  error_ = 0;
  clear_err();
  unread_ = 0;
  replace_text(act_time_, ctime_text(std::time(nullptr)));
  // The live values are read a window at a time, all reads of a window at
  // once (one request each, no request argument), and taken in file order.
  constexpr std::size_t kReadWindow = 512;
  std::vector<std::string> names;
  std::vector<vanto::EqData> results(std::min(kReadWindow, sr_data_p_.size()));
  std::vector<vanto::EqData*> slots;
  vanto::EqData input;
  for (std::size_t start = 0; start < sr_data_p_.size(); start += kReadWindow) {
    const std::size_t count = std::min(kReadWindow, sr_data_p_.size() - start);
    names.clear();
    slots.clear();
    for (std::size_t k = 0; k < count; ++k) {
      names.emplace_back(sr_data_p_[start + k]->name_);
      slots.push_back(&results[k]);
    }
    vantocli::get_many(vanto_call, names, input, slots);
    for (std::size_t k = 0; k < count; ++k) {
      sr_data* entry = sr_data_p_[start + k];
      const vanto::EqData& result = results[k];
      if (result.error() != 0) {
        add_error(entry_error(entry->name_, result_text(result)));
        ++unread_;
        // The file value stands in for the live one, whole: cutting it would
        // put a wrong value into a file saved from here.
        entry->set_actual(entry->value_);
      } else {
        entry->set_actual(live_text(result));
      }
    }
  }
}

bool SR::write_file(const char* new_file, const std::string& text) {
  saved_in_place_ = false;
  // A device or FIFO at new_file takes the text directly; anything else is
  // replaced only by a file written completely.
  vantosr::OutputFile file(new_file);
  if (!file.is_open()) {
    add_error(std::string("can't open file: ") + new_file);
    add_error(std::string(new_file) + ": " + file.error());
    return false;
  }
  file_lock(file.fd());
  bool written = file.write(text);
  file_unlock(file.fd());
  saved_in_place_ = file.in_place();
  if (!written || !file.commit()) {
    add_error(std::string("can't write file: ") + new_file + ": " + file.error() +
              (file.in_place() ? " (it was rewritten in place: its old content is lost)" : ""));
    return false;
  }
  return true;
}

void SR::sr_save(const char* new_file) {
  if (!actual_) return;
  error_ = 0;
  clear_err();
  if (sr_data_p_.empty()) {
    add_error("file not loaded");
    return;
  }
  std::size_t stale = unread_;
  std::string lines;
  for (const sr_data* entry : sr_data_p_) {
    vanto::EqAdr address(entry->name_);
    std::string value = text_or_empty(entry->actual_);
    // The file value (of a channel that could not be read, or unchanged)
    // is written back as the file held it.
    const bool from_file = value == entry->value_;
    if (const auto fault =
            from_file ? std::nullopt : vantosr::value_storage_fault(value, entry->type_)) {
      // Such a text would not come back whole; keep the entry with its file value.
      add_error(std::string(entry->name_) + " error: the live value cannot be stored (" + *fault +
                "); the file value was saved");
      value = entry->value_;
      ++stale;
    }
    lines +=
        vantosr::format_entry_line(facility_field(address), address.device(), address.location(),
                                   address.property(), entry->type_, value);
  }
  const std::string time_text = save_time_text(text_or_empty(act_time_), stale, sr_data_p_.size());
  const std::string text = vantosr::format_save_header(text_or_empty(comment_), time_text) + lines;
  if (write_file(new_file, text)) clear_list();
}

void SR::sr_save_actual(const char* new_file, int stop, int merge) {
  const std::time_t started = std::time(nullptr);
  error_ = 0;
  clear_err();
  if (sr_data_p_.empty()) {
    add_error("file not loaded");
    return;
  }
  const bool merging = merge && merge_;
  std::optional<std::string> merge_block;
  if (merge_ && std::strcmp(merge_, "///") != 0 && !merging) merge_block = merge_;
  std::string text =
      vantosr::format_save_actual_header(merge_block, text_or_empty(comment_), ctime_text(started));
  for (const sr_data* entry : sr_data_p_) {
    vanto::EqAdr address(entry->name_);
    if (merging) address.merge(merge_);
    vanto::EqData input;
    vanto::EqData result;
    input.init();
    std::string failure;
    if (vanto_call.get(&address, &input, &result) != 0 || result.error() != 0) {
      failure = result_text(result);
    } else {
      const std::string live = live_text(result);
      if (const auto fault = vantosr::value_storage_fault(live, entry->type_)) {
        failure = "the live value cannot be stored (" + *fault + ")";
      } else {
        text +=
            vantosr::format_entry_line(facility_field(address), address.device(),
                                       address.location(), address.property(), entry->type_, live);
        continue;
      }
    }
    // A left-out entry is reported, so a snapshot never misses one silently.
    add_error(entry_error(entry->name_, failure) +
              (stop ? "; nothing was saved" : "; the entry was left out"));
    if (stop) return;
  }
  if (write_file(new_file, text) && !error_) clear_list();
}

void SR::restore(float data, SrOption op, int stop) {
  error_ = 0;
  clear_err();
  if (sr_data_p_.empty()) {
    add_error("file not loaded");
    return;
  }
  for (const sr_data* entry : sr_data_p_) {
    vanto::EqData input;
    vanto::EqData result;
    input.init();
    input.set_type(entry->type_);
    vanto::EqAdr address(entry->name_);
    std::string text;
    switch (op) {
      case SR_SET_FROM_FILE: text = entry->value_; break;
      case SR_ADD_FROM_DATA: {
        if (entry->type_ != vanto::DATA_INT && entry->type_ != vanto::DATA_FLOAT) continue;
        char* end = nullptr;
        float stored = std::strtof(entry->value_, &end);
        if (end == entry->value_) {
          // Adding to a value that is no number would write a made-up value.
          add_error(entry_error(entry->name_, "the file value is not a number"));
          if (stop) return;
          continue;
        }
        const float sum = stored + data;
        char buf[64];
        if (entry->type_ == vanto::DATA_INT) {
          // "%g" would turn large integers into exponent forms.
          std::snprintf(buf, sizeof buf, "%.0f", static_cast<double>(sum));
        } else {
          std::snprintf(buf, sizeof buf, "%g", static_cast<double>(sum));
        }
        text = buf;
        break;
      }
      case SR_SET_FROM_DATA: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%f", static_cast<double>(data));
        text = buf;
        break;
      }
      case SR_CHECK_CORRECT: {
        vanto::EqData live_input;
        vanto::EqData live;
        live_input.init();
        if (vanto_call.get(&address, &live_input, &live) != 0 || live.error() != 0) {
          if (stop) return;
          continue;
        }
        std::string live_text = result_text(live);
        for (char& c : live_text) {
          if (c == '\t') c = ' ';
        }
        if (live_text == entry->value_) continue;
        text = entry->value_;
        break;
      }
      case SR_MERGE_ADDRESS:
        if (merge_) address.merge(merge_);
        text = entry->value_;
        break;
      default: continue;
    }
    if (input.set_from_string(text) != 0) {
      add_error(entry_error(entry->name_, result_text(input)));
      if (stop) return;
      continue;
    }
    if (vanto_call.set(&address, &input, &result) != 0 || result.error() != 0) {
      add_error(entry_error(entry->name_, result_text(result)));
      if (stop) return;
    }
  }
}
