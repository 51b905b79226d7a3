// Writes of many channels kept in flight together (restores, wildcard writes).
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>

#include "session.h"

namespace vantoput {

// One channel to write: the address text (a leading "@" as for
// write_to_dev), the data type (-1: detect it with a read) and the value text.
struct ChannelWrite {
  std::string chan;
  int type = -1;
  std::string value;
};

// Writes every channel as write_to_dev does, with the same output in the same
// order, but the writes with their read-backs (and the type-detecting reads)
// of many channels go out together instead of one round trip each.
// before_each(i), when given, runs right before channel i's outcome is
// reported. Returns the number of channels that failed.
std::size_t write_many(WriterSession& s, std::span<const ChannelWrite> writes,
                       const std::optional<std::string>& mrg,
                       const std::function<void(std::size_t)>& before_each = {});

}  // namespace vantoput
