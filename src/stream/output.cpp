#include "output.h"

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "console.h"
#include "sync_buffer.h"

namespace streamcat {

int debug = 1;
int cycles = 100;

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
  page.add(format("width:%d(xstart:%d, aoi_width:%d)\theight:%d(ystart:%d aoi_height:%d)\tbpp:%d"
                  "(xbin:%d ybin:%d ebit:%d)\ts_format:%d\ti_format:%d\tframe:%d\tev#:%d\tlen:%d\n",
                  hdr.width, hdr.x_start, hdr.aoi_width, hdr.height, hdr.y_start, hdr.aoi_height,
                  hdr.bpp, hdr.hbin, hdr.vbin, hdr.ebitpp, hdr.source_format, hdr.image_format,
                  hdr.frame, hdr.event, hdr.length));
  page.add(format("scale_x:%f\tscale_y:%f\trotation:%f\tflags:0x%X\tfspares:(%f %f %f) "
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
  for (int d = 0; d < mda.dimn && d < 6; ++d) page.add(format("dim[%d] values:%d\n", d, mda.dims[d]));
  // The dimensions come from the sender and may promise far more values than
  // the message holds (up to 2^62): only the values held are printed, so a
  // short message can never keep the output thread busy for ever.
  const size_t held = mda.values.size();
  const auto value = [&](size_t index) { return mda.values[index]; };
  if (mda.dimn == 2) {
    const size_t columns = mda.dims[0] > 0 ? static_cast<size_t>(mda.dims[0]) : 0;
    for (int r = 0; columns > 0 && r < mda.dims[1] && static_cast<size_t>(r) * columns < held; ++r) {
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

// The element arrays of numbers: the array layout, one format per type.
// Returns false for any other type.
bool print_number_array(Page& page, const vanto::EqData& data, const std::string& line,
                        int length) {
  const void* block_array = data.data_block()->data_u.d_array.ptr;
  switch (data.type()) {
    case vanto::DATA_A_FLOAT:
      print_array(page, line, length, [&](int i) {
        return format("[%04d]:%5.2f\t", i, static_cast<double>(data.get_float(i)));
      });
      return true;
    case vanto::DATA_A_INT:
      print_array(page, line, length, [&](int i) { return format("[%04d]:%d\t", i, data.get_int(i)); });
      return true;
    case vanto::DATA_A_SHORT: {
      // The values sit where the sender's header length put them, maybe at an
      // odd address: each is copied out rather than read in place.
      const auto* values = static_cast<const uint8_t*>(block_array);
      print_array(page, line, values ? length : 0, [&](int i) {
        int16_t value;
        std::memcpy(&value, values + i * sizeof value, sizeof value);
        return format("[%04d]:%d (0x%X) \t", i, value, static_cast<unsigned>(static_cast<uint16_t>(value)));
      });
      return true;
    }
    case vanto::DATA_A_LONG:
      print_array(page, line, length, [&](int i) {
        return format("[%04d]:%ld\t", i, static_cast<long>(data.get_long(i)));
      });
      return true;
    case vanto::DATA_A_USHORT: {
      const auto* values = static_cast<const uint8_t*>(block_array);
      print_array(page, line, values ? length : 0, [&](int i) {
        uint16_t value;
        std::memcpy(&value, values + i * sizeof value, sizeof value);
        return format("[%04d]:%d (0x%X) \t", i, value, static_cast<unsigned>(value));
      });
      return true;
    }
    // Unsigned types print as unsigned: 4000000000 is not -294967296.
    case vanto::DATA_A_UINT:
      print_array(page, line, length, [&](int i) {
        return format("[%04d]:%u\t", i, static_cast<unsigned>(data.get_uint(i)));
      });
      return true;
    case vanto::DATA_A_ULONG:
      print_array(page, line, length, [&](int i) {
        return format("[%04d]:%lu\t", i, static_cast<unsigned long>(data.get_ulong(i)));
      });
      return true;
    default:
      return false;
  }
}

void print_full(Page& page, vanto::EqData& data, const dmsg_info* ts, int length,
                std::vector<char>& text) {
  char* argtext = data.get_string_arg(text.data(), static_cast<int>(text.size()));
  if (!argtext) {
    page.add("NULL\n");
    argtext = text.data();
  }
  const std::string arg = argtext;
  const std::string st = stamp(ts);
  const char* type = data.type_string();
  const std::string line = format("%s %s length:%d\n", st.c_str(), type, length);
  if (print_number_array(page, data, line, length)) return;
  switch (data.type()) {
    case vanto::DATA_INT:
      page.add(format("%s %s length:%d %d\n", st.c_str(), type, length, data.get_value<int>()));
      break;
    case vanto::DATA_FLOAT:
      page.add(format("%s %s length:%d %5.2f\n", st.c_str(), type, length,
                      static_cast<double>(data.get_value<float>())));
      break;
    case vanto::DATA_DOUBLE:
      page.add(format("%s %s length:%d %5.2f\n", st.c_str(), type, length, data.get_value<double>()));
      break;
    case vanto::DATA_STRING:
    case vanto::DATA_TEXT:
      page.add(format("%s %s %s\n", st.c_str(), type, data.get_string().c_str()));
      break;
    case vanto::DATA_XY:
      data.get_string(text.data(), static_cast<int>(text.size()));
      page.add(format("%s %s %s\n", st.c_str(), type, text.data()));
      break;
    case vanto::DATA_IIII:
      page.add(format("%s %s I1:%d I2:%d I3:%d I4:%d\n", st.c_str(), type, data.get_int(0),
                      data.get_int(1), data.get_int(2), data.get_int(3)));
      break;
    case vanto::DATA_IFFF:
      page.add(format("%s %s I:%d F1:%f F2:%f F3:%f\n", st.c_str(), type, data.get_int(0),
                      static_cast<double>(data.get_float(1)), static_cast<double>(data.get_float(2)),
                      static_cast<double>(data.get_float(3))));
      break;
    case vanto::DATA_SPECTRUM:
      page.add(format("\n%s ", st.c_str()));
      page.add(format(" %s\n", type));
      print_spectrum_part(page, data);
      break;
    case vanto::DATA_GSPECTRUM: {
      page.add(format("\n%s %s %s\n", st.c_str(), type, arg.c_str()));
      int groups = 0, size = 0;
      float increment = 0;
      if (data.get_spec_groups(&groups, &size, &increment)) {
        page.add(format("group parameters: groups:%d group size:%d group incr.:%f\n", groups, size,
                        static_cast<double>(increment)));
      } else {
        page.add("Failed to get group parameters\n");
      }
      print_spectrum_part(page, data);
      break;
    }
    case vanto::DATA_IMAGE: print_image(page, data, ts, type, arg.c_str()); break;
    case vanto::DATA_STRUCTURE:
      page.add(format("%s %s\n", st.c_str(), type));
      page.add(vanto::to_string(data.get_structure(vanto::Owning::no)) + "\n");
      break;
    case vanto::DATA_A_XY:
      data.get_string(text.data(), static_cast<int>(text.size()));
      page.add(format("%s %s %s\n", st.c_str(), type, text.data()));
      for (int i = 0; i < data.array_length(); ++i) {
        data.get_string(i, text.data(), static_cast<int>(text.size()));
        page.add(format("[%d]:%s\n", i, text.data()));
      }
      break;
    case vanto::DATA_A_USTR:
      page.add(format("%s %s %s\n", st.c_str(), type, data.get_string().c_str()));
      for (int i = 0; i < data.array_length(); ++i) {
        const vanto::USTR u = data.get_ustr(i);
        const int shown = u.str_data ? static_cast<int>(strnlen(u.str_data, u.str_length)) : 0;
        page.add(format("[%d]: %d %f %f %ld %.*s\n", i, u.i1_data, static_cast<double>(u.f1_data),
                        static_cast<double>(u.f2_data), static_cast<long>(u.tm), shown,
                        u.str_data ? u.str_data : ""));
      }
      break;
    case vanto::DATA_A_BYTE: {
      int x_dim = 0, y_dim = 0, a = 0, b = 0, c = 0;
      uint8_t* bytes = nullptr;
      data.get_byte(&x_dim, &y_dim, &a, &b, &c, &bytes);
      page.add(format("%s %s %s\n", st.c_str(), type, data.get_string().c_str()));
      page.add(format("x_dim:%d y_dim::%d eventid:%d time:%d opt:%d\n", x_dim, y_dim, a, b, c));
      break;
    }
    case vanto::DATA_MDA_FLOAT: print_mda(page, data, ts, type, arg.c_str(), false); break;
    case vanto::DATA_MDA_DOUBLE: print_mda(page, data, ts, type, arg.c_str(), true); break;
    default:
      page.add(format("%s %s length:%d  not implemented\n", st.c_str(), type, length));
      break;
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
      const double arrival = static_cast<double>(dtm->tv_sec) * 1e6 + static_cast<double>(dtm->tv_usec);
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
                      static_cast<long>(blk->tm), blk->error, blk->tm_usec, blk->mp_lo, blk->mp_hi));
      break;
    }
    case 4: print_full(page, *data, ts, length, text); break;
    default: break;
  }
  say_out(page.text());
}

void print_msg(const int* count_pointer) {
  std::string out;
  int marker = 0;
  int count = *count_pointer;
  while (!stop && take_turn(count)) {
    int size = 0, chans = 0;
    number_of_entries(&size, &chans);
    std::unique_ptr<data_entry> entry;
    if (size == 0 || (chans != nchans && size < 2) || get_data(&entry)) {
      wait_for_data();
      if (count >= 0) ++count;  // a wait does not use up a turn
      continue;
    }
    if (entry->ndata != nchans)
      say_err(format("------------- Not COMPLETE data (%d channels)\n", entry->ndata));
    for (int slot = 0; slot < entry->ndata; ++slot) {
      if (debug != 0) {
        print_data(entry->name[slot], entry->data[slot].get(), &entry->info, &entry->time[slot],
                   debug);
      } else {
        if (marker % 100 == 0) out += ".";
        say_out(format("%s%s\r", out.c_str(), prog[static_cast<size_t>(marker + 1) % 4]));
        flush_console();
        ++marker;
      }
      entry->data[slot].reset();
      entry->pbuf[slot].reset();
    }
  }
  // The events are printed (or a stop came first): the receive side ends too.
  stop_and_wake();
}

}  // namespace streamcat
