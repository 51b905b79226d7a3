// tango_read DEVICE ATTRIBUTE: reads one attribute through libtango and
// prints its value, the least a Tango client does; bench/run's baseline for
// vantoget on a tango: address.
#include <iostream>
#include <string>

#include "tango_headers.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: tango_read DEVICE ATTRIBUTE\n";
    return 2;
  }
  try {
    std::string device = argv[1];
    std::string attribute = argv[2];
    Tango::DeviceProxy proxy(device);
    Tango::DeviceAttribute value = proxy.read_attribute(attribute);
    double number = 0;
    value >> number;
    std::cout << number << '\n';
    return 0;
  } catch (const Tango::DevFailed& e) {
    std::cerr << (e.errors.length() > 0 ? e.errors[0].desc.in() : "Tango call failed") << '\n';
    return 1;
  }
}
