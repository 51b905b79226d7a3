#include "restore_from_file.h"

#include <thread>
#include <vector>

#include "entry_line.h"
#include "restore_reader.h"
#include "write_many.h"
#include "write_to_dev.h"

namespace vantoput {
namespace {

// Says why a file cannot be restored; false when it can.
bool refuse_file(WriterSession& s, const RestoreRequest& r, const RestoreFile& file) {
  switch (file.status) {
    case RestoreFileStatus::ok: return false;
    case RestoreFileStatus::cannot_open:
      s.err << "Cannot open file! \n";
      if (!file.detail.empty()) s.err << "vantoput: " << r.filename << ": " << file.detail << '\n';
      break;
    case RestoreFileStatus::empty: break;
    case RestoreFileStatus::not_sr_file: s.err << "This is not a save&restore file \n"; break;
    case RestoreFileStatus::header_unclosed:
      if (file.bad_line == 0) {
        s.err << "vantoput: the header of " << r.filename
              << " ends before its comment and time are closed by \";\", nothing restored\n";
      } else {
        s.err << "vantoput: line " << file.bad_line << " of " << r.filename
              << " is an entry, but the header above it is not closed (the comment and the "
                 "time each end with \";\"), nothing restored\n";
      }
      break;
    case RestoreFileStatus::merge_unclosed:
      s.err << "vantoput: the merge line (line " << file.bad_line << ") of " << r.filename
            << " has no closing \">\", nothing restored\n";
      break;
    case RestoreFileStatus::two_merges:
      s.err << "vantoput: line " << file.bad_line << " of " << r.filename
            << " names a second, different merge address, nothing restored\n";
      break;
    case RestoreFileStatus::merge_in_entries:
      s.err << "vantoput: line " << file.bad_line << " of " << r.filename
            << " is a merge line after the header, nothing restored\n";
      break;
    case RestoreFileStatus::nul_byte:
      s.err << "vantoput: line " << file.bad_line << " of " << r.filename
            << " holds a NUL byte, nothing restored\n";
      break;
    case RestoreFileStatus::line_too_long:
      s.err << "vantoput: line " << file.bad_line << " of " << r.filename << " is longer than "
            << kRestoreLineMax << " characters, nothing restored\n";
      break;
    case RestoreFileStatus::too_many_entries:
      s.err << "vantoput: " << r.filename << " holds more than " << kRestoreEntriesMax
            << " entries, nothing restored\n";
      break;
  }
  return true;
}

// The merge address of the writes: with -C the -c text, else the file's own.
std::optional<std::string> merge_for(const RestoreRequest& r, const RestoreFile& file) {
  if (!r.copy_flag) return std::nullopt;
  if (r.merge_address && !r.merge_address->empty()) return r.merge_address;
  return file.merge;
}

}  // namespace

std::chrono::microseconds restore_delay(unsigned long delay_ms) {
  if (delay_ms == 0) return std::chrono::milliseconds(1);
  if (delay_ms <= 999) return std::chrono::milliseconds(delay_ms);
  return std::chrono::microseconds(999'999);
}

int restore_from_file(WriterSession& s, const RestoreRequest& r) {
  const RestoreFile file = read_restore_file(r.filename);
  if (refuse_file(s, r, file)) return 1;
  // Such a line is no entry to the writer, yet a snapshot may hold it: the
  // run must not look complete.
  for (const SkippedEntry& skipped : file.short_facilities) {
    s.err << "vantoput: line " << skipped.line << " of " << r.filename << ": the facility \""
          << skipped.facility << "\" is shorter than " << vantocli::kFacilityMin
          << " characters, this entry is not restored\n";
  }
  const int skipped_status = file.short_facilities.empty() ? 0 : 1;
  if (file.entries.empty()) return skipped_status;

  const std::optional<std::string> mrg = merge_for(r, file);
  if (mrg && !r.merge_address && mrg->size() > kMergeAddressMax) {
    s.err << "vantoput: the merge address of " << r.filename << " is longer than "
          << kMergeAddressMax << " characters, nothing restored\n";
    return 1;
  }
  const RestorePause pause =
      r.pause ? r.pause : [](std::chrono::microseconds d) { std::this_thread::sleep_for(d); };

  // Every entry is tried; one that fails does not stop the others, but the
  // run reports it. After one time-out the remaining entries of a silent
  // server fail at once.
  const vanto::EqCall::Batch batch(s.call);
  s.many_channels = true;
  if (!r.delay_flag) {
    // No pause between the writes: they go out together.
    std::vector<ChannelWrite> writes;
    writes.reserve(file.entries.size());
    for (const RestoreEntry& entry : file.entries)
      writes.push_back({entry.chn, entry.type, entry.value});
    return write_many(s, writes, mrg) == 0 ? skipped_status : 1;
  }
  bool any_failed = false;
  for (const RestoreEntry& entry : file.entries) {
    if (write_to_dev(s, entry.chn, entry.type, entry.value, mrg) != 0) {
      any_failed = true;
      continue;
    }
    pause(restore_delay(r.delay));
  }
  return any_failed ? 1 : skipped_status;
}

}  // namespace vantoput
