// Fixed sizes of the writer's value texts and spectra.
#pragma once

#include <cstddef>

namespace vantoput {

// Most values one spectrum may hold (the help text calls it SPECTRUM_LENGTH_MAX).
inline constexpr std::size_t kSpectrumValuesMax = 6'291'456;
// An XML file fills a 16 MiB buffer and a spectrum file an 8 MiB one, each
// with room for the terminating NUL: a text must stay one byte below.
inline constexpr std::size_t kXmlBufferSize = 16'777'216;
inline constexpr std::size_t kSpectrumBufferSize = 8'388'608;
inline constexpr std::size_t kXmlTextMax = kXmlBufferSize - 1;
inline constexpr std::size_t kSpectrumTextMax = kSpectrumBufferSize - 1;
// Spectrum comments from a header line keep at most this many characters.
inline constexpr std::size_t kSpectrumCommentMax = 79;

// Exit status after the usage text (exit(-1) of a C program).
inline constexpr int kUsageStatus = 255;

}  // namespace vantoput
