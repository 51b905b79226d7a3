#include "console.h"

#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <vector>

namespace streamcat {
namespace {

std::mutex console_mutex;
std::ostream* out_stream = &std::cout;
std::ostream* err_stream = &std::cerr;

}  // namespace

void set_console(std::ostream& out, std::ostream& err) {
  std::lock_guard lock(console_mutex);
  out_stream = &out;
  err_stream = &err;
}

void say_out(const std::string& text) {
  std::lock_guard lock(console_mutex);
  *out_stream << text;
}

void say_err(const std::string& text) {
  std::lock_guard lock(console_mutex);
  *err_stream << text;
  err_stream->flush();
}

void flush_console() {
  std::lock_guard lock(console_mutex);
  out_stream->flush();
  err_stream->flush();
}

bool console_out_failed() {
  std::lock_guard lock(console_mutex);
  return out_stream->fail();
}

std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  const int needed = std::vsnprintf(nullptr, 0, fmt, args);
  va_end(args);
  std::string text;
  if (needed > 0) {
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), fmt, again);
    text.assign(buffer.data(), static_cast<size_t>(needed));
  }
  va_end(again);
  return text;
}

}  // namespace streamcat
