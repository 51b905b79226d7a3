// streamcat's own object code reaches ZeroMQ only through its run-time
// binding: no object of streamcat_core or of main refers to a zmq_ symbol.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

namespace {

// Undefined symbols of an object file or archive, one per line.
std::string undefined_symbols(const std::string& path) {
  const std::string command = "nm -u --format=posix '" + path + "' 2>&1";
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) text += line;
    pclose(pipe);
  }
  return text;
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
  while (std::getline(in, item, ';')) if (!item.empty()) items.push_back(item);
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

TEST(OwnObjectCode, TheCheckFindsAReferenceWhereThereIsOne) {
  // The client library links ZeroMQ: its archive must show references.
  EXPECT_FALSE(zmq_references(undefined_symbols(CLIENT_ARCHIVE)).empty());
}

}  // namespace
