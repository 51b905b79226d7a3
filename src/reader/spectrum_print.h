// Spectra, XML documents and other arrays in the array pass.
#pragma once

#include "reader_context.h"

namespace vantoget {

// Reads the spectrum of entry again (with the crop of -I), prints the info
// line of -B and one line per value: the axis value, a tab and the value.
// The axis starts at the spectrum's start and grows by its increment, added
// up in single precision.
void print_spectrum(ReaderContext& ctx, ChannelEntry& entry);

// XML: the whole document and a newline.
void print_xml(ReaderContext& ctx, const ChannelEntry& entry);

// Any other array: one element text per line.
void print_elements(ReaderContext& ctx, const ChannelEntry& entry);

}  // namespace vantoget
