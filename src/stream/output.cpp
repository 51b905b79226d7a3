#include "output.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "console.h"
#include "stream_state.h"

namespace streamcat {

namespace {

constexpr size_t kTextBuffer = 1048576;
constexpr std::array<const char*, 4> prog = {"\\", "-", "/", "|"};

// Accumulates the text of one slot; written out in one piece.
class Page {
 public:
  void add(const std::string& text) { text_ += text; }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

std::string stamp(const dmsg_info* ts) {
  return format("%ld:%d_%ld", static_cast<long>(ts->sec), ts->usec, static_cast<long>(ts->ident));
}

// Elements of an array, ten to a line.
template <typename Element>
void print_array(Page& page, const std::string& head, int length, Element element) {
  page.add(head);
  for (int i = 0; i < length; ++i) {
    page.add(element(i));
    if ((i + 1) % 10 == 0) page.add("\n");
  }
  if (length % 10 != 0) page.add("\n");
}

void print_spectrum_part(Page& page, const vanto::EqData& data) {
  const std::optional<vanto::SpectrumView> spectrum = data.spectrum();
  if (!spectrum) {
    page.add("Failed to get spectrum parameters\n\n");
    return;
  }
  const vanto::SpectrumView& s = *spectrum;
  page.add(format("Spectrum parameters: Comment:'%.*s'\n", static_cast<int>(s.comment.size()),
                  s.comment.data() ? s.comment.data() : ""));
  page.add(format("tm:%ld status:%u start:%f inc:%f data entries:%d\n", static_cast<long>(s.time),
                  static_cast<unsigned>(s.status), s.start, s.increment, s.count));
  for (int i = 0; i < s.count; ++i) {
    page.add(format("[%05d]:%05.2f\t", i, s.value(i)));
    if ((i + 1) % 10 == 0 && i + 1 != s.count) page.add("\n");
  }
  page.add("\n");
}

void print_image(Page& page, vanto::EqData& data, const dmsg_info* ts, const char* type,
                 const char* argtext) {
  int64_t seconds = 0, micros = 0;
  int32_t status = 0;
  data.get_image_timestamp_and_status(&seconds, &micros, &status);
  page.add(format("\n%s %s %s from image %ld:%ld_%d\n", stamp(ts).c_str(), type, argtext,
                  static_cast<long>(seconds), static_cast<long>(micros), status));
  vanto::IMH hdr{};
  data.get_image_header(&hdr);
  page.add(
      format("width:%d(xstart:%d, aoi_width:%d)\theight:%d(ystart:%d aoi_height:%d)\tbpp:%d"
             "(xbin:%d ybin:%d ebit:%d)\ts_format:%d\ti_format:%d\tframe:%d\tev#:%d\tlen:%d\n",
             hdr.width, hdr.x_start, hdr.aoi_width, hdr.height, hdr.y_start, hdr.aoi_height,
             hdr.bpp, hdr.hbin, hdr.vbin, hdr.ebitpp, hdr.source_format, hdr.image_format,
             hdr.frame, hdr.event, hdr.length));
  page.add(
      format("scale_x:%f\tscale_y:%f\trotation:%f\tflags:0x%X\tfspares:(%f %f %f) "
             "\tispares:(%d %d %d)\n\n",
             hdr.scale_x, hdr.scale_y, hdr.image_rotation, hdr.image_flags, hdr.fspare2,
             hdr.fspare3, hdr.fspare4, hdr.ispare2, hdr.ispare3, hdr.ispare4));
  const int rows = hdr.aoi_height > 0 ? hdr.aoi_height : hdr.height;
  const int columns = hdr.aoi_width > 0 ? hdr.aoi_width : hdr.width;
  if (rows <= 0 || columns <= 0) {
    page.add(format("Invalid geometry %dx%d\n", columns, rows));
    return;
  }
  uint8_t* pixels = nullptr;
  int count = 0;
  data.get_image(&pixels, &count, nullptr);
  // rows * columns fits 64 bits; with a bytes-per-pixel from the sender on
  // top it may not, so the pixel area is checked against count first.
  const int64_t area = static_cast<int64_t>(rows) * columns;
  if (count <= 0 || !pixels || hdr.bpp <= 0 || area > count || area * hdr.bpp != count) {
    page.add(format("Invalid image length %d != %d x %d x %d \n", count, columns, rows, hdr.bpp));
    return;
  }
  const int bpp = hdr.bpp;
  if (!(hdr.image_flags & 1u)) {
    if (bpp == 2) {
      for (int i = 0; i + 1 < count; i += 2) std::swap(pixels[i], pixels[i + 1]);
    } else if (bpp == 3) {
      for (int i = 0; i + 2 < count; i += 3) std::swap(pixels[i], pixels[i + 2]);
    }
  }
  // An effective depth of 0 (or 32) means every bit counts; masking with 0
  // would print every pixel as 0.
  const unsigned bits = static_cast<unsigned>(hdr.ebitpp) % 32u;
  const uint32_t mask = bits == 0 ? 0xFFFFFFFFu : (1u << bits) - 1u;
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < columns; ++x) {
      const int64_t number = static_cast<int64_t>(y) * columns + x;
      if (number > 0 && number % 10 == 0) page.add("\n");
      const uint8_t* pixel = pixels + number * bpp;
      if (bpp == 2) {
        uint16_t value;
        std::memcpy(&value, pixel, sizeof value);
        page.add(format("[%03dx%03d]:%d\t", y, x, static_cast<int>(value & mask)));
      } else if (bpp == 3) {
        page.add(format("[%03dx%03d]:(%03d,%03d,%03d)\t", y, x, pixel[0], pixel[1], pixel[2]));
      } else if (bpp == 1) {
        page.add(format("[%03dx%03d]:%d\t", y, x, static_cast<int>(pixel[0] & mask)));
      }
    }
  }
}

void print_mda(Page& page, const vanto::EqData& data, const dmsg_info* ts, const char* type,
               const char* argtext, bool as_double) {
  const vanto::Mda mda = as_double ? data.get_mdad() : data.get_mda();
  page.add(format("%s %s '%s'\n", stamp(ts).c_str(), type, argtext));
  for (int d = 0; d < mda.dimn && d < 6; ++d)
    page.add(format("dim[%d] values:%d\n", d, mda.dims[d]));
  // The dimensions come from the sender and may promise far more values than
  // the message holds (up to 2^62): only the values held are printed, so a
  // short message can never keep the output thread busy for ever.
  const size_t held = mda.values.size();
  const auto value = [&](size_t index) { return mda.values[index]; };
  if (mda.dimn == 2) {
    const size_t columns = mda.dims[0] > 0 ? static_cast<size_t>(mda.dims[0]) : 0;
    for (int r = 0; columns > 0 && r < mda.dims[1] && static_cast<size_t>(r) * columns < held;
         ++r) {
      for (int c = 0; c < mda.dims[0] && static_cast<size_t>(r) * columns + c < held; ++c) {
        const double v = value(static_cast<size_t>(r) * columns + c);
        page.add(as_double ? format("[%d:%d]: %e ", r, c, v) : format("[%d:%d]: %f ", r, c, v));
      }
    }
    page.add("\n");
  } else if (mda.dimn == 1) {
    for (int i = 0; i < mda.dims[0] && static_cast<size_t>(i) < held; ++i) {
      const double v = value(static_cast<size_t>(i));
      page.add(as_double ? format("[%d]: %e ", i, v) : format("[%d]: %f ", i, v));
    }
    page.add("\n");
  } else if (mda.dimn > 2) {
    page.add("dims > 2 not implemented\n\n");
  } else {
    page.add("\n");
  }
}

// One slot at level 4, as every per-type formatter sees it.
struct FullSlot {
  Page& page;
  vanto::EqData& data;
  const dmsg_info* ts;
  int length;
  std::vector<char>& text;  // the conversion buffer
  std::string stamp;        // "sec:usec_ident"
  const char* type;         // the type's name
  std::string arg;          // the library's argument text of the value

  // The array layout's first line.
  std::string array_head() const {
    return format("%s %s length:%d\n", stamp.c_str(), type, length);
  }
  // The value's text through the conversion buffer.
  const char* value_text() {
    data.get_string(text.data(), static_cast<int>(text.size()));
    return text.data();
  }
};

// An array of 16-bit numbers, read straight from the block: the values sit
// where the sender's header length put them, maybe at an odd address, so
// each is copied out rather than read in place.
template <typename Short>
void full_short_array(FullSlot& s) {
  const auto* values = static_cast<const uint8_t*>(s.data.data_block()->data_u.d_array.ptr);
  print_array(s.page, s.array_head(), values ? s.length : 0, [&](int i) {
    Short value;
    std::memcpy(&value, values + i * sizeof value, sizeof value);
    return format("[%04d]:%d (0x%X) \t", i, value,
                  static_cast<unsigned>(static_cast<uint16_t>(value)));
  });
}

void full_float_array(FullSlot& s) {
  print_array(s.page, s.array_head(), s.length, [&](int i) {
    return format("[%04d]:%5.2f\t", i, static_cast<double>(s.data.get_float(i)));
  });
}

void full_int_array(FullSlot& s) {
  print_array(s.page, s.array_head(), s.length,
              [&](int i) { return format("[%04d]:%d\t", i, s.data.get_int(i)); });
}

void full_long_array(FullSlot& s) {
  print_array(s.page, s.array_head(), s.length, [&](int i) {
    return format("[%04d]:%ld\t", i, static_cast<long>(s.data.get_long(i)));
  });
}

// Unsigned types print as unsigned: 4000000000 is not -294967296.
void full_uint_array(FullSlot& s) {
  print_array(s.page, s.array_head(), s.length, [&](int i) {
    return format("[%04d]:%u\t", i, static_cast<unsigned>(s.data.get_uint(i)));
  });
}

void full_ulong_array(FullSlot& s) {
  print_array(s.page, s.array_head(), s.length, [&](int i) {
    return format("[%04d]:%lu\t", i, static_cast<unsigned long>(s.data.get_ulong(i)));
  });
}

void full_int(FullSlot& s) {
  s.page.add(
      format("%s %s length:%d %d\n", s.stamp.c_str(), s.type, s.length, s.data.get_value<int>()));
}

void full_float(FullSlot& s) {
  s.page.add(format("%s %s length:%d %5.2f\n", s.stamp.c_str(), s.type, s.length,
                    static_cast<double>(s.data.get_value<float>())));
}

void full_double(FullSlot& s) {
  s.page.add(format("%s %s length:%d %5.2f\n", s.stamp.c_str(), s.type, s.length,
                    s.data.get_value<double>()));
}

void full_text(FullSlot& s) {
  s.page.add(format("%s %s %s\n", s.stamp.c_str(), s.type, s.data.get_string().c_str()));
}

void full_value_text(FullSlot& s) {
  const char* value = s.value_text();
  s.page.add(format("%s %s %s\n", s.stamp.c_str(), s.type, value));
}

void full_iiii(FullSlot& s) {
  s.page.add(format("%s %s I1:%d I2:%d I3:%d I4:%d\n", s.stamp.c_str(), s.type, s.data.get_int(0),
                    s.data.get_int(1), s.data.get_int(2), s.data.get_int(3)));
}

void full_ifff(FullSlot& s) {
  s.page.add(format("%s %s I:%d F1:%f F2:%f F3:%f\n", s.stamp.c_str(), s.type, s.data.get_int(0),
                    static_cast<double>(s.data.get_float(1)),
                    static_cast<double>(s.data.get_float(2)),
                    static_cast<double>(s.data.get_float(3))));
}

void full_spectrum(FullSlot& s) {
  s.page.add(format("\n%s ", s.stamp.c_str()));
  s.page.add(format(" %s\n", s.type));
  print_spectrum_part(s.page, s.data);
}

void full_gspectrum(FullSlot& s) {
  s.page.add(format("\n%s %s %s\n", s.stamp.c_str(), s.type, s.arg.c_str()));
  int groups = 0, size = 0;
  float increment = 0;
  if (s.data.get_spec_groups(&groups, &size, &increment)) {
    s.page.add(format("group parameters: groups:%d group size:%d group incr.:%f\n", groups, size,
                      static_cast<double>(increment)));
  } else {
    s.page.add("Failed to get group parameters\n");
  }
  print_spectrum_part(s.page, s.data);
}

void full_image(FullSlot& s) { print_image(s.page, s.data, s.ts, s.type, s.arg.c_str()); }

void full_structure(FullSlot& s) {
  s.page.add(format("%s %s\n", s.stamp.c_str(), s.type));
  s.page.add(vanto::to_string(s.data.get_structure(vanto::Owning::no)) + "\n");
}

void full_xy_array(FullSlot& s) {
  full_value_text(s);
  for (int i = 0; i < s.data.array_length(); ++i) {
    s.data.get_string(i, s.text.data(), static_cast<int>(s.text.size()));
    s.page.add(format("[%d]:%s\n", i, s.text.data()));
  }
}

void full_ustr_array(FullSlot& s) {
  full_text(s);
  for (int i = 0; i < s.data.array_length(); ++i) {
    const vanto::USTR u = s.data.get_ustr(i);
    const int shown = u.str_data ? static_cast<int>(strnlen(u.str_data, u.str_length)) : 0;
    s.page.add(format("[%d]: %d %f %f %ld %.*s\n", i, u.i1_data, static_cast<double>(u.f1_data),
                      static_cast<double>(u.f2_data), static_cast<long>(u.tm), shown,
                      u.str_data ? u.str_data : ""));
  }
}

void full_byte_array(FullSlot& s) {
  int x_dim = 0, y_dim = 0, a = 0, b = 0, c = 0;
  uint8_t* bytes = nullptr;
  s.data.get_byte(&x_dim, &y_dim, &a, &b, &c, &bytes);
  full_text(s);
  s.page.add(format("x_dim:%d y_dim::%d eventid:%d time:%d opt:%d\n", x_dim, y_dim, a, b, c));
}

void full_mda_float(FullSlot& s) { print_mda(s.page, s.data, s.ts, s.type, s.arg.c_str(), false); }
void full_mda_double(FullSlot& s) { print_mda(s.page, s.data, s.ts, s.type, s.arg.c_str(), true); }

void full_not_implemented(FullSlot& s) {
  s.page.add(format("%s %s length:%d  not implemented\n", s.stamp.c_str(), s.type, s.length));
}

struct FullFormatter {
  int type;
  void (*print)(FullSlot&);
};

// The level-4 layout of every type streamcat prints in full; any other type
// is "not implemented".
constexpr FullFormatter kFullFormatters[] = {
    {vanto::DATA_A_FLOAT, full_float_array},
    {vanto::DATA_A_INT, full_int_array},
    {vanto::DATA_A_SHORT, full_short_array<int16_t>},
    {vanto::DATA_A_LONG, full_long_array},
    {vanto::DATA_A_USHORT, full_short_array<uint16_t>},
    {vanto::DATA_A_UINT, full_uint_array},
    {vanto::DATA_A_ULONG, full_ulong_array},
    {vanto::DATA_INT, full_int},
    {vanto::DATA_FLOAT, full_float},
    {vanto::DATA_DOUBLE, full_double},
    {vanto::DATA_STRING, full_text},
    {vanto::DATA_TEXT, full_text},
    {vanto::DATA_XY, full_value_text},
    {vanto::DATA_IIII, full_iiii},
    {vanto::DATA_IFFF, full_ifff},
    {vanto::DATA_SPECTRUM, full_spectrum},
    {vanto::DATA_GSPECTRUM, full_gspectrum},
    {vanto::DATA_IMAGE, full_image},
    {vanto::DATA_STRUCTURE, full_structure},
    {vanto::DATA_A_XY, full_xy_array},
    {vanto::DATA_A_USTR, full_ustr_array},
    {vanto::DATA_A_BYTE, full_byte_array},
    {vanto::DATA_MDA_FLOAT, full_mda_float},
    {vanto::DATA_MDA_DOUBLE, full_mda_double},
};

void print_full(Page& page, vanto::EqData& data, const dmsg_info* ts, int length,
                std::vector<char>& text) {
  char* argtext = data.get_string_arg(text.data(), static_cast<int>(text.size()));
  if (!argtext) {
    page.add("NULL\n");
    argtext = text.data();
  }
  FullSlot slot{page, data, ts, length, text, stamp(ts), data.type_string(), argtext};
  const int type = data.type();
  const auto* formatter = std::find_if(std::begin(kFullFormatters), std::end(kFullFormatters),
                                       [type](const FullFormatter& f) { return f.type == type; });
  if (formatter != std::end(kFullFormatters)) {
    formatter->print(slot);
  } else {
    full_not_implemented(slot);
  }
}

}  // namespace

void print_data(const char* name, vanto::EqData* data, const dmsg_info* ts, const timeval* dtm,
                int level) {
  if (!data) return;
  // The text buffer for the library's conversions (1 MiB), kept per thread.
  thread_local std::vector<char> text(kTextBuffer);
  text[0] = '\0';
  const int length = data->length();
  Page page;
  if (level != 0 && name) page.add(format("[%s]", name));
  switch (level) {
    case 1: {
      const double arrival =
          static_cast<double>(dtm->tv_sec) * 1e6 + static_cast<double>(dtm->tv_usec);
      const double stamped = static_cast<double>(ts->sec) * 1e6 + static_cast<double>(ts->usec);
      page.add(format("[%5.2f ms]  data of type %s  length:%d %ld:%d_%ld stat:%u\n",
                      (arrival - stamped) / 1000.0, data->type_string(), length,
                      static_cast<long>(ts->sec), ts->usec, static_cast<long>(ts->ident),
                      static_cast<unsigned>(ts->stat)));
      break;
    }
    case 2:
      data->get_string(text.data(), static_cast<int>(text.size()));
      page.add(format("%ld:%d_%ld(%0X:%0X) ", static_cast<long>(ts->sec), ts->usec,
                      static_cast<long>(ts->ident), ts->stat >> 16, ts->stat & 0xFFFFu));
      page.add(format("   DATA %s\n", text.data()));
      break;
    case 3: {
      const vanto::EqDataBlock* blk = data->data_block();
      page.add(format("HEADER: tm: %ld error: %d tmusec:%u  mp_lo:%u mp_hi:%u\n",
                      static_cast<long>(blk->tm), blk->error, blk->tm_usec, blk->mp_lo,
                      blk->mp_hi));
      break;
    }
    case 4: print_full(page, *data, ts, length, text); break;
    default: break;
  }
  say_out(page.text());
}

void print_msg(StreamState& st) {
  std::string out;
  int marker = 0;
  int count = st.cycles;
  while (!st.stop && take_turn(count)) {
    int size = 0, chans = 0;
    number_of_entries(st, &size, &chans);
    std::unique_ptr<data_entry> entry;
    if (size == 0 || (chans != st.nchans && size < 2) || get_data(st, &entry)) {
      wait_for_data(st);
      if (count >= 0) ++count;  // a wait does not use up a turn
      continue;
    }
    if (entry->ndata != st.nchans)
      say_err(format("------------- Not COMPLETE data (%d channels)\n", entry->ndata));
    for (int slot = 0; slot < entry->ndata; ++slot) {
      if (st.debug != 0) {
        print_data(entry->name[slot], entry->data[slot].get(), &entry->info, &entry->time[slot],
                   st.debug);
      } else {
        if (marker % 100 == 0) out += ".";
        say_out(format("%s%s\r", out.c_str(), prog[static_cast<size_t>(marker + 1) % 4]));
        flush_console();
        ++marker;
      }
      entry->data[slot].reset();
      entry->pbuf[slot].reset();
    }
    // Output that reaches nobody ends the run rather than going on unseen
    // (main reports the failed write).
    if (console_out_failed()) break;
  }
  // The events are printed (or a stop came first): the receive side ends too.
  stop_and_wake(st);
}

}  // namespace streamcat
