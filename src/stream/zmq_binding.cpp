#include "zmq_binding.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netdb.h>
#include <unistd.h>

#include <cstring>

#include "console.h"

namespace streamcat {

const std::array<const char*, kZmqFunctions> dmsg_fnm = {
    "zmq_ctx_new",       "zmq_ctx_destroy", "zmq_socket",   "zmq_getsockopt",
    "zmq_setsockopt",    "zmq_close",       "zmq_bind",     "zmq_connect",
    "zmq_poll",          "zmq_msg_send",    "zmq_msg_recv", "zmq_msg_init",
    "zmq_msg_init_size", "zmq_msg_close",   "zmq_msg_size", "zmq_msg_data"};

std::vector<void*> dmsg_func;
void* dmsg_hdl = nullptr;
int dmsg_errf = 0;
void* context = nullptr;
char hostname[256];
unsigned long hostaddr = 0;

namespace {

enum Slot {
  k_ctx_new,
  k_ctx_destroy,
  k_socket,
  k_getsockopt,
  k_setsockopt,
  k_close,
  k_bind,
  k_connect,
  k_poll,
  k_msg_send,
  k_msg_recv,
  k_msg_init,
  k_msg_init_size,
  k_msg_close,
  k_msg_size,
  k_msg_data
};

// The slot's address as a typed function pointer of the caller's signature.
template <typename Fn>
Fn slot(Slot index) {
  return reinterpret_cast<Fn>(dmsg_func[index]);
}

void record_local_host() {
  std::memset(hostname, 0, sizeof hostname);
  hostaddr = 0;
  gethostname(hostname, sizeof hostname - 1);
  hostent result{};
  hostent* entry = nullptr;
  char work[1024];
  int h_error = 0;
  if (gethostbyname_r(hostname, &result, work, sizeof work, &entry, &h_error) == 0 && entry &&
      entry->h_addrtype == AF_INET && entry->h_addr_list[0]) {
    in_addr address{};
    std::memcpy(&address, entry->h_addr_list[0], sizeof address);
    hostaddr = ntohl(address.s_addr);
  }
}

}  // namespace

int dmsg_open(const char* library) {
  if (dmsg_hdl) return 0;
  void* handle = dlopen(library, RTLD_LAZY);
  if (!handle) {
    if (dmsg_errf == 0) {
      const char* why = dlerror();
      say_err(format("dmsg %s", why ? why : "cannot open library"));
      dmsg_errf = 1;
    }
    return -1;
  }
  std::vector<void*> table(kZmqFunctions, nullptr);
  for (int index = 0; index < kZmqFunctions; ++index) {
    table[index] = dlsym(handle, dmsg_fnm[index]);
    // All sixteen or nothing. The library stays open (it is never closed),
    // but the binding stays unbound so that nobody calls a half table.
    if (!table[index]) return -1;
  }
  dmsg_func = std::move(table);
  dmsg_hdl = handle;
  return 0;
}

void* init(const char* library) {
  record_local_host();
  if (!context) {
    if (dmsg_open(library) != 0) return nullptr;
    context = lib_zmq_ctx_new();
  }
  return context;
}

void dmsg_err(const std::string& text) { say_err("dmsg: " + text + "\n"); }

void* lib_zmq_ctx_new() { return slot<void* (*)()>(k_ctx_new)(); }
int lib_zmq_ctx_destroy(void* ctx) { return slot<int (*)(void*)>(k_ctx_destroy)(ctx); }
void* lib_zmq_socket(void* ctx, int type) {
  return slot<void* (*)(void*, int)>(k_socket)(ctx, type);
}
int lib_zmq_getsockopt(void* socket, int option, void* value, size_t* length) {
  return slot<int (*)(void*, int, void*, size_t*)>(k_getsockopt)(socket, option, value, length);
}
int lib_zmq_setsockopt(void* socket, int option, const void* value, size_t length) {
  return slot<int (*)(void*, int, const void*, size_t)>(k_setsockopt)(socket, option, value,
                                                                      length);
}
int lib_zmq_close(void* socket) { return slot<int (*)(void*)>(k_close)(socket); }
int lib_zmq_bind(void* socket, const char* endpoint) {
  return slot<int (*)(void*, const char*)>(k_bind)(socket, endpoint);
}
int lib_zmq_connect(void* socket, const char* endpoint) {
  return slot<int (*)(void*, const char*)>(k_connect)(socket, endpoint);
}
int lib_zmq_poll(zmq_pollitem_t* items, int count, long timeout_ms) {
  return slot<int (*)(zmq_pollitem_t*, int, long)>(k_poll)(items, count, timeout_ms);
}
int lib_zmq_msg_send(zmq_msg_t* msg, void* socket, int flags) {
  return slot<int (*)(zmq_msg_t*, void*, int)>(k_msg_send)(msg, socket, flags);
}
int lib_zmq_msg_recv(zmq_msg_t* msg, void* socket, int flags) {
  return slot<int (*)(zmq_msg_t*, void*, int)>(k_msg_recv)(msg, socket, flags);
}
int lib_zmq_msg_init(zmq_msg_t* msg) { return slot<int (*)(zmq_msg_t*)>(k_msg_init)(msg); }
int lib_zmq_msg_init_size(zmq_msg_t* msg, size_t size) {
  return slot<int (*)(zmq_msg_t*, size_t)>(k_msg_init_size)(msg, size);
}
int lib_zmq_msg_close(zmq_msg_t* msg) { return slot<int (*)(zmq_msg_t*)>(k_msg_close)(msg); }
size_t lib_zmq_msg_size(zmq_msg_t* msg) { return slot<size_t (*)(zmq_msg_t*)>(k_msg_size)(msg); }
void* lib_zmq_msg_data(zmq_msg_t* msg) { return slot<void* (*)(zmq_msg_t*)>(k_msg_data)(msg); }

}  // namespace streamcat
