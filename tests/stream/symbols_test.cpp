// streamcat's own object code reaches ZeroMQ only through its run-time
// binding: no object of streamcat_core or of main refers to a zmq_ symbol.
// The executable still records libzmq.so.5, through the client library.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

namespace {

// What a shell command prints (standard output and error).
std::string command_output(const std::string& command) {
  std::string text;
  if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) text += line;
    pclose(pipe);
  }
  return text;
}

// Undefined symbols of an object file or archive, one per line.
std::string undefined_symbols(const std::string& path) {
  return command_output("nm -u --format=posix '" + path + "'");
}

std::vector<std::string> zmq_references(const std::string& nm_output) {
  std::vector<std::string> found;
  std::istringstream lines(nm_output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("zmq_", 0) == 0) found.push_back(line);
  }
  return found;
}

std::vector<std::string> split_list(const std::string& list) {
  std::vector<std::string> items;
  std::istringstream in(list);
  std::string item;
  while (std::getline(in, item, ';'))
    if (!item.empty()) items.push_back(item);
  return items;
}

TEST(OwnObjectCode, HasNoDirectZeroMQReference) {
  std::vector<std::string> files = split_list(MAIN_OBJECTS);
  files.push_back(CORE_ARCHIVE);
  for (const std::string& file : files) {
    const std::string symbols = undefined_symbols(file);
    // The check must see real symbols, or it proves nothing.
    EXPECT_NE(symbols.find("U"), std::string::npos) << file << ":\n" << symbols;
    EXPECT_EQ(zmq_references(symbols), std::vector<std::string>{}) << file;
  }
}

// docs/protocol.md and streamcat(1) say the program does not start without
// libzmq.so.5, because the client library's RPC links it: the executable
// must record it (a link that drops it makes those texts false).
TEST(Executable, RecordsTheZeroMQLibraryThroughTheClientLibrary) {
  const std::string text = command_output("readelf -d '" + std::string(STREAMCAT_PROGRAM) + "'");
  EXPECT_NE(text.find("(NEEDED)"), std::string::npos) << text;
  EXPECT_NE(text.find("[libzmq.so.5]"), std::string::npos) << text;
}

TEST(OwnObjectCode, TheCheckFindsAReferenceWhereThereIsOne) {
  // The client library links ZeroMQ: its archive must show references.
  EXPECT_FALSE(zmq_references(undefined_symbols(CLIENT_ARCHIVE)).empty());
}

}  // namespace
