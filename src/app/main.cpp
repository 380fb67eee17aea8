// Program entry point.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/device_listing.hpp"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--list-devices") == 0) {
      std::fputs(kestrum::DeviceListingText().c_str(), stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("kestrum 1.01");
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0) {
      std::puts("Usage: kestrum --list-devices | --version | --help");
      return 0;
    }
    std::fprintf(stderr, "kestrum: unknown option %s (try --help)\n", argv[i]);
    return 2;
  }
  std::fputs(kestrum::DeviceListingText().c_str(), stdout);
  return 0;
}
