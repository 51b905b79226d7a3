// The expansion of a name with '*' in each iteration of the run loop.
#include <algorithm>
#include <memory>
#include <ostream>
#include <span>

#include <vanto/errors.h>

#include "name_list.h"
#include "retried_call.h"
#include "table_stage.h"
#include "value_text.h"
#include "wildcard_stage.h"

namespace vantoget {

namespace {

// Which results of expanded names go to the array table. A name whose only
// pattern is the device also sends double histories there.
enum class Expanded { device_only, location_or_property };

bool is_expanded_array(int type, Expanded kind) {
  switch (type) {
    case vanto::DATA_SPECTRUM:
    case vanto::DATA_A_TDS:
    case vanto::DATA_A_TS_FLOAT:
    case vanto::DATA_A_TS_INT:
    case vanto::DATA_A_FLOAT: return true;
    case vanto::DATA_A_TS_DOUBLE: return kind == Expanded::device_only;
    default: return false;
  }
}

bool has_wildcard(const std::string& text) { return text.find('*') != std::string::npos; }

std::string padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

void print_type_line(ReaderContext& ctx, const std::string& name, const vanto::EqData& result) {
  if (ctx.first_iteration && (ctx.options.debug_flag & kDebugType)) {
    ctx.out << "vantoget: type of " << name << " = " << vanto::EqData::type_string(result.type())
            << '\n';
  }
}

// Puts a copy of result into the array or the plain table; a plain value
// also enters the name's table column.
StageResult sort_result(ReaderContext& ctx, std::size_t index, const std::string& name,
                        const vanto::EqData& result, Expanded kind) {
  auto copy = std::make_unique<vanto::EqData>();
  copy->copy_from(result);
  const bool array = is_expanded_array(copy->type(), kind);
  if (!array) enter_table_value(ctx, index, *copy);
  ChannelTable& table = array ? ctx.spect : ctx.nonspect;
  if (!table.add(name, std::move(copy))) return table_full(ctx);
  return std::nullopt;
}

void count_read(ReaderContext& ctx, int code) {
  ++ctx.wildcard_reads.tried;
  if (code == 0) return;
  ++ctx.wildcard_reads.failed;
  ctx.wildcard_reads.last_code = code;
}

// Only the device was a pattern: reads ctx.address as it stands. A failed
// read skips the device without a message.
StageResult read_device_channel(ReaderContext& ctx, std::size_t index) {
  const int code =
      vantocli::retried_get(ctx.call, ctx.address, ctx.data, ctx.dst, ctx.src, ctx.options.retry);
  count_read(ctx, code);
  if (code != 0) return std::nullopt;
  const std::string name = ctx.address.channel();
  if (ctx.dst.length() == 0) {
    ctx.out << name << " length = 0\n";
    return std::nullopt;
  }
  print_type_line(ctx, name, ctx.dst);
  return sort_result(ctx, index, name, ctx.dst, Expanded::device_only);
}

// A name that names its server ("vanto://host:port/...") or another control
// system ("tango:...") keeps that prefix in the names composed from it, so
// that they are read where the names call went; a plain "vanto:" is dropped.
std::string server_prefix(const vanto::EqAdr& a) {
  if (a.host().empty() && (a.protocol().empty() || a.protocol() == "vanto")) return "";
  const std::string shown = a.show_adr();
  const std::string fields = a.channel();
  return shown.ends_with(fields) ? shown.substr(0, shown.size() - fields.size()) : "";
}

// The full names of the entries of a location or property answer. With -N,
// a location pattern without a property prints each facility/device/location
// as it is composed.
std::vector<std::string> compose_names(ReaderContext& ctx, const std::vector<std::string>& texts) {
  const vanto::EqAdr& a = ctx.address;
  const std::string device_path = server_prefix(a) + a.facility() + "/" + a.device() + "/";
  // Options at the end of a Tango name ("...#dbase=no") hold for every name
  // composed from it.
  const std::size_t hash = a.property().rfind('#');
  const std::string options = hash == std::string::npos ? "" : a.property().substr(hash);
  std::vector<std::string> names;
  names.reserve(texts.size());
  for (const std::string& text : texts) {
    if (has_wildcard(a.location())) {
      if (ctx.options.excludesvr_flag && text.find("._SVR") != std::string::npos) continue;
      const std::string location_path = device_path + text;
      if (ctx.options.names_flag && a.property().empty()) ctx.out << location_path << '\n';
      names.push_back(location_path + "/" + a.property());
    } else {
      names.push_back(device_path + a.location() + "/" + first_word(text) + options);
    }
  }
  return names;
}

// Takes the result of one composed name; a failed read or an empty result
// skips it without a message, unless the server did not answer (a channel
// that may well exist went unread): that read is reported and the run fails.
StageResult take_composed_result(ReaderContext& ctx, std::size_t index, const std::string& name,
                                 const vanto::EqData& result) {
  // A location listing (no property) reads names that are no channels.
  if (!ctx.address.property().empty()) {
    count_read(ctx, result.error());
    if (result.error() == vanto::unavail_serv) {
      ctx.err << name << ": " << vantocli::value_text(result)
              << " , result->error() = " << result.error() << '\n';
      ctx.failed = true;  // the expansion goes on, the run fails
      return std::nullopt;
    }
  }
  if (result.error() != 0 || result.length() == 0) return std::nullopt;
  print_type_line(ctx, name, result);
  if (StageResult r = sort_result(ctx, index, name, result, Expanded::location_or_property)) {
    return r;
  }
  if (ctx.options.names_flag) {
    ctx.out << padded(name, ctx.options.width) << ' ' << vantocli::value_text(result) << '\n';
  }
  return std::nullopt;
}

// Composed names are read this many at a time, all reads of a window at
// once; a window's results are then taken in order, as if each had been read
// alone. The window bounds what is held besides the tables.
constexpr std::size_t kReadWindow = 512;

// Reads the composed names (with the retries of -R) and takes their results.
StageResult read_composed_names(ReaderContext& ctx, std::size_t index,
                                const std::vector<std::string>& names) {
  std::vector<vanto::EqData> results(std::min(kReadWindow, names.size()));
  std::vector<vanto::EqData*> slots;
  for (std::size_t start = 0; start < names.size(); start += kReadWindow) {
    const auto window =
        std::span(names).subspan(start, std::min(kReadWindow, names.size() - start));
    slots.clear();
    for (std::size_t k = 0; k < window.size(); ++k) slots.push_back(&results[k]);
    vantocli::retried_get_many(ctx.call, window, ctx.data, slots, ctx.src, ctx.options.retry);
    for (std::size_t k = 0; k < window.size(); ++k) {
      if (StageResult r = take_composed_result(ctx, index, window[k], results[k])) return r;
    }
  }
  return std::nullopt;
}

// A location or property pattern under the device of ctx.address: asks for
// the names and reads each of them. A failed names call is reported and the
// next device follows.
StageResult expand_names(ReaderContext& ctx, std::size_t index) {
  vanto::EqData answer;
  const int code =
      vantocli::retried_names(ctx.call, ctx.address, answer, ctx.src, ctx.options.retry);
  if (code != 0) {
    ctx.err << ctx.address.channel() << " names call: " << vantocli::value_text_arg(answer)
            << ", error = " << code << '\n';
    ctx.failed = true;  // the next device follows, the run fails
    return std::nullopt;
  }
  return read_composed_names(
      ctx, index, compose_names(ctx, name_texts(answer, ctx.address.channel(), ctx.err)));
}

StageResult expand_device(ReaderContext& ctx, std::size_t index) {
  if (has_wildcard(ctx.address.location()) || has_wildcard(ctx.address.property())) {
    return expand_names(ctx, index);
  }
  return read_device_channel(ctx, index);
}

StageResult expand_each_device(ReaderContext& ctx, std::size_t index) {
  if (!has_wildcard(ctx.address.device())) return expand_device(ctx, index);
  // The devices of the pass before the loop; none when it did not run.
  for (const std::string& device : ctx.devs) {
    ctx.address.set_device(device);
    if (StageResult r = expand_device(ctx, index)) return r;
  }
  return std::nullopt;
}

}  // namespace

StageResult expand_wildcard_name(ReaderContext& ctx, std::size_t index) {
  // A server that stays silent for one time-out fails the rest of the
  // expansion at once.
  const vanto::EqCall::Batch batch(ctx.call);
  open_table_column(ctx, index);
  ctx.address.adr(ctx.options.channel[index]);
  ctx.wildcard_reads = {};
  if (StageResult r = expand_each_device(ctx, index)) return r;
  const ReaderContext::WildcardReads& reads = ctx.wildcard_reads;
  if (reads.tried > 0 && reads.failed == reads.tried) {
    // Nothing the name stands for could be read (a property typo, say).
    ctx.err << "vantoget: " << ctx.options.channel[index] << ": none of the " << reads.tried
            << " channels it stands for could be read, last error = " << reads.last_code << '\n';
    ctx.failed = true;
  }
  return std::nullopt;
}

}  // namespace vantoget
