// The single writes: a value text into one channel, and a copy of one channel
// into another.
#pragma once

#include <optional>
#include <string>

#include "session.h"

namespace vantoput {

// Writes value into chan and prints the value read back. typ is a DATA_* id,
// or -1 to detect the channel's type with a get call. XML channels receive
// the whole text, spectrum channels a spectrum parsed from a text with header
// line, every other type the library's text conversion. mrg is merged into
// the address when given. Returns 0 on success, 1 on failure (with a message
// on s.err; nothing is sent when the value text is unusable).
int write_to_dev(WriterSession& s, const std::string& chan, int typ, const std::string& value,
                 const std::optional<std::string>& mrg);

// The steps of write_to_dev before the write: points s.address at the
// channel and fills s.data with the value. Returns the type written, or -1
// after the messages when the channel cannot be written (nothing was sent
// then but a type-detecting read).
int prepare_write(WriterSession& s, const std::string& chan, int typ, const std::string& value,
                  const std::optional<std::string>& mrg);

// Copies the value of chan_to_read into chan and prints the value read back.
// typ -1: the two channels must have the same type; otherwise chan must have
// type typ. Returns 0 or 1.
int write_direct(WriterSession& s, const std::string& chan, int typ,
                 const std::string& chan_to_read, const std::optional<std::string>& mrg);

}  // namespace vantoput
