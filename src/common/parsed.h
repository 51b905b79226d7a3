// What a program's command line comes to: either the options to run with, or
// the status the process ends with at once (the parser has written its help,
// usage or refusal by then). Every program's parser returns this one shape,
// so that every main handles it alike.
#pragma once

#include <optional>
#include <utility>

namespace vantocli {

template <class Options>
struct Parsed {
  std::optional<Options> options;  // set: run with these
  int status = 0;                  // options unset: end with this status

  static Parsed run_with(Options options) { return {std::move(options), 0}; }
  static Parsed end_with(int status) { return {std::nullopt, status}; }
};

}  // namespace vantocli
