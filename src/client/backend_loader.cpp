// Finds and loads the module of a backend, once per process.
#include <dlfcn.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <vector>

#include "backend.h"
#include "vanto/errors.h"

#ifndef VANTO_MODULE_INSTALL_DIR
#define VANTO_MODULE_INSTALL_DIR "/usr/local/lib/vanto"
#endif

namespace vanto::backend {
namespace {

struct Loaded {
  CreateFunction create = nullptr;
  std::string why;  // the reason when create is null
};

// Where the module may be, in this order: the file VANTO_<PROTOCOL>_MODULE
// names (alone, when set); beside the code of libvanto (its vanto/ folder, or
// ../lib/vanto/ for a program in bin/ that carries libvanto itself, as in the
// build tree); the installation's module folder.
std::vector<std::string> candidates(const std::string& protocol, const std::string& file) {
  std::string variable = "VANTO_";
  for (char c : protocol)
    variable += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  variable += "_MODULE";
  if (const char* given = std::getenv(variable.c_str()); given != nullptr && *given != '\0')
    return {given};
  std::vector<std::string> paths;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&module_file), &info) != 0 && info.dli_fname != nullptr) {
    std::error_code ignored;
    // For code linked into the program itself the name is the program's
    // argv[0], a bare "vantoget" when it was found through PATH.
    const bool bare = std::string_view(info.dli_fname).find('/') == std::string_view::npos;
    std::filesystem::path here = std::filesystem::canonical(
        bare ? std::filesystem::path("/proc/self/exe") : std::filesystem::path(info.dli_fname),
        ignored);
    if (here.empty()) here = info.dli_fname;
    paths.push_back((here.parent_path() / "vanto" / file).string());
    paths.push_back((here.parent_path().parent_path() / "lib" / "vanto" / file).string());
  }
  paths.push_back(std::string(VANTO_MODULE_INSTALL_DIR) + "/" + file);
  return paths;
}

Loaded load(const std::string& protocol) {
  Loaded loaded;
  const char* file = module_file(protocol);
  if (file == nullptr) {
    loaded.why = "the protocol " + protocol + ": is not implemented";
    return loaded;
  }
  std::string errors;
  for (const std::string& path : candidates(protocol, file)) {
    // Never closed: the other system's libraries keep threads and state
    // that do not survive an unload.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* error = dlerror();
      if (std::filesystem::exists(path)) {
        errors = error != nullptr ? error : path;
        break;  // there but broken: say why, not that it is missing
      }
      continue;
    }
    loaded.create = reinterpret_cast<CreateFunction>(dlsym(handle, kCreateSymbol));
    if (loaded.create == nullptr) errors = path + " has no " + kCreateSymbol;
    break;
  }
  if (loaded.create == nullptr) {
    loaded.why = std::string(protocol) + ": addresses need the module " + file +
                 (errors.empty() ? std::string(", which is not installed") : ": " + errors);
  }
  return loaded;
}

}  // namespace

const char* module_file(const std::string& protocol) {
  if (protocol == "tango") return "libvanto-tango.so";
  if (protocol == "epics") return "libvanto-epics.so";
  return nullptr;
}

std::unique_ptr<Backend> create(const std::string& protocol, EqData& out) {
  static std::mutex mutex;
  static std::vector<std::pair<std::string, Loaded>> modules;
  CreateFunction create_function = nullptr;
  std::string why;
  {
    const std::lock_guard<std::mutex> lock(mutex);
    auto it = modules.begin();
    while (it != modules.end() && it->first != protocol) ++it;
    if (it == modules.end()) it = modules.insert(modules.end(), {protocol, load(protocol)});
    create_function = it->second.create;
    why = it->second.why;
  }
  std::unique_ptr<Backend> backend;
  if (create_function != nullptr) create_function(&backend, &why);
  if (backend == nullptr) {
    out.init();
    out.error(not_implemented, why);
  }
  return backend;
}

}  // namespace vanto::backend
