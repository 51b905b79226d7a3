#include "sr_mode.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "cell.h"
#include "sr_cell.h"
#include "time_format.h"
#include "vantoutil.h"

namespace vantosr {

namespace {

std::vector<std::string> error_messages(const SR& engine) {
  return {engine.get_error_list().begin(), engine.get_error_list().end()};
}

bool is_open_failure(const std::string& message) {
  return message == "file name not defined" || message.rfind("can't open file ", 0) == 0;
}

// Why the file could not be loaded, as the user needs to hear it: "Cannot
// open file" only when it could not be opened; a file that opens but is no
// save & restore file, or is damaged, is reported with that reason alone.
void report_load_failure(const SR& engine, const std::string& filename, std::ostream& err) {
  const std::vector<std::string> messages = error_messages(engine);
  if (std::any_of(messages.begin(), messages.end(), is_open_failure)) {
    err << "Cannot open file " << filename << '\n';
    // The system's reason follows ("PATH: is a directory").
    for (const std::string& message : messages) {
      if (!is_open_failure(message)) err << "vantoget: " << message << '\n';
    }
    return;
  }
  for (const std::string& message : messages) {
    if (message == "doesn't sr file") {
      err << "vantoget: " << filename
          << " is not a save & restore file (it does not begin with //Save_&_Restore//)\n";
    } else {
      err << "vantoget: " << filename << ": " << message << '\n';
    }
  }
}

// Pause of -D after a value cell: below 1 ms counts as 1 ms; above 999 ms the
// first pause lasts 999.999 ms and the delay becomes 999 ms.
void pause_after_cell(long& delay) {
  if (delay < 1) delay = 1;
  // Clamped before it is scaled: a delay near the largest long would overflow.
  std::chrono::microseconds pause(999999);
  if (delay > 999) {
    delay = 999;
  } else {
    pause = std::chrono::milliseconds(delay);
  }
  std::this_thread::sleep_for(pause);
}

void put_cell(std::ostream& out, const std::string& cell, bool date_flag) {
  if (date_flag) {
    out << '\t' << cell;
  } else {
    out << cell << '\t';
  }
}

// -r: differences between live values and file values.
std::optional<int> compare_with_live(SR& engine, std::ostream& out) {
  engine.set_actual(1);
  if (engine.get_error()) {
    for (const char* message : engine.get_error_list()) out << message << '\n';
    return 1;
  }
  long differences = 0;
  for (const sr_data* entry : engine.get_list()) {
    // Live texts show tabs as blanks. The whole texts are compared: a live
    // value that holds only the start of the file value differs from it.
    // The entry keeps its live text as read, for the snapshot of -b.
    const std::string live = vantocli::tabs_to_blanks(entry->actual_ ? entry->actual_ : "");
    if (live != entry->value_) ++differences;
  }
  out << "Differences between actual and "
      << "reference data : " << differences << '\n';
  return std::nullopt;
}

void list_names(const SR& engine, std::ostream& out) {
  for (const sr_data* entry : engine.get_list()) out << entry->name_ << "   ";
  out << '\n';
}

void display_values(const SR& engine, const SrModeOptions& options, bool first_pass,
                    std::ostream& out) {
  if (options.header_flag && first_pass) {
    if (options.date_flag) out << vantocli::time_head(options.form);
    for (const sr_data* entry : engine.get_list()) {
      put_cell(out, name_cell(entry->name_, options.width, options.tab_flag), options.date_flag);
    }
    out << '\n';
  }
  if (options.date_flag) out << vantocli::time_show(options.form, std::time(nullptr));
  long delay = options.delay;
  for (const sr_data* entry : engine.get_list()) {
    put_cell(out, value_cell(entry->value_, options.width, options.tab_flag), options.date_flag);
    if (options.delay_flag) {
      out.flush();
      pause_after_cell(delay);
    }
  }
  out << '\n';
}

// -b: saves the live values into filename1. A snapshot that is not written,
// or that holds file values in place of live ones, is reported; the result
// is the status the process must end with after this pass (0 when clean).
int save_live_values(SR& engine, const SrModeOptions& options, std::ostream& err) {
  std::vector<std::string> read_failures;
  if (!engine.get_actual()) {
    engine.set_actual(1);
    if (engine.get_error()) read_failures = error_messages(engine);
  }
  const bool had_entries = !engine.get_list().empty();
  engine.sr_save(options.filename1.c_str());
  const bool save_failed = engine.get_error() != 0;
  // A written save empties the engine.
  const bool written = had_entries && engine.get_list().empty();
  std::vector<std::string> save_messages = error_messages(engine);
  if (written && engine.saved_in_place()) {
    err << "vantoget: " << options.filename1
        << " was rewritten in place, not replaced: its directory refuses new files\n";
  }
  if (read_failures.empty() && !save_failed) return 0;

  for (const std::string& message : read_failures) err << "vantoget: " << message << '\n';
  for (const std::string& message : save_messages) err << "vantoget: " << message << '\n';
  if (!written) {
    err << "vantoget: the live values were not saved to " << options.filename1 << '\n';
  } else if (!read_failures.empty()) {
    err << "vantoget: " << read_failures.size()
        << " channel(s) could not be read; their file values were saved in their place\n";
  }
  return 1;
}

}  // namespace

std::optional<int> sr_mode_pass(const SrModeOptions& options, bool first_pass, std::ostream& out,
                                std::ostream& err) {
  SR engine(options.filename.c_str());
  engine.fill_list();
  if (engine.get_error()) {
    report_load_failure(engine, options.filename, err);
    return 1;
  }
  const auto& entries = engine.get_list();
  const long count = static_cast<long>(entries.size());

  if (options.line_flag) {
    if (options.line_number == 0 || options.line_number > count) {
      out << "Number of properties in file: " << count << '\n';
      return 0;
    }
    if (options.line_number > 0) out << entries[options.line_number - 1]->name_ << '\n';
  }

  if (options.reference_flag) {
    if (auto status = compare_with_live(engine, out)) return status;
  } else if (options.list_flag) {
    list_names(engine, out);
  } else {
    display_values(engine, options, first_pass, out);
  }

  if (options.atoref_flag) {
    out.flush();
    if (int status = save_live_values(engine, options, err); status != 0) return status;
  }
  return std::nullopt;
}

}  // namespace vantosr
