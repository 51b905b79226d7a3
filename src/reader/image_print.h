// The texts of an image: its two header lines and the pixel dump of -a.
#pragma once

#include <iosfwd>
#include <string>

#include <vanto/eqdata.h>

namespace vantoget {

// The two header lines of an image, each ending in a newline.
std::string image_header_lines(const vanto::IMH& header);

// The pixel dump of -a: every pixel of the area of interest as "[y,x]:value"
// and a tab, a newline after pixel 0, 10, 20, ... and after the last one.
// An image whose byte count does not fit the header, or whose bytes per
// pixel are not 1 to 4, gives the one line that says so instead.
void print_image_pixels(std::ostream& out, const vanto::IMH& header, const uint8_t* pixels,
                        int byte_count);

}  // namespace vantoget
