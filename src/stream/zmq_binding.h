// Run-time binding of ZeroMQ: streamcat opens the library itself and calls it
// only through the sixteen wrappers below, never through a link-time import.
#pragma once

#include <zmq.h>  // public types and constants only; never call a zmq_ function

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace streamcat {

inline constexpr const char* kZmqLibrary = "libzmq.so.5";
inline constexpr int kZmqFunctions = 16;

// The function names, in the order of the slots of dmsg_func.
extern const std::array<const char*, kZmqFunctions> dmsg_fnm;
// Resolved addresses, one per dmsg_fnm entry; empty until dmsg_open succeeded.
extern std::vector<void*> dmsg_func;
// Handle of the opened library; null until dmsg_open succeeded.
extern void* dmsg_hdl;
// Set once the "library does not open" message was printed (once per process).
extern int dmsg_errf;
// The one ZeroMQ context of the process; null until init succeeded.
extern void* context;
// Local host name and its first IPv4 address in host byte order (0 if none).
extern char hostname[256];
extern unsigned long hostaddr;

// Opens library (default the ZeroMQ soname) and resolves all sixteen names.
// Returns 0 on success, -1 on failure. All or nothing: on failure the table is
// left empty, so a later call may try again. Does nothing once it succeeded.
int dmsg_open(const char* library = kZmqLibrary);

// Records host name and address, binds the library and creates the context.
// Returns the context, or null on failure.
void* init(const char* library = kZmqLibrary);

// Prints "dmsg: <text>" and a newline on the error stream.
void dmsg_err(const std::string& text);

// Thin wrappers: same arguments and results as the function of the same name.
void* lib_zmq_ctx_new();
int lib_zmq_ctx_destroy(void* ctx);
void* lib_zmq_socket(void* ctx, int type);
int lib_zmq_getsockopt(void* socket, int option, void* value, size_t* length);
int lib_zmq_setsockopt(void* socket, int option, const void* value, size_t length);
int lib_zmq_close(void* socket);
int lib_zmq_bind(void* socket, const char* endpoint);
int lib_zmq_connect(void* socket, const char* endpoint);
int lib_zmq_poll(zmq_pollitem_t* items, int count, long timeout_ms);
int lib_zmq_msg_send(zmq_msg_t* msg, void* socket, int flags);
int lib_zmq_msg_recv(zmq_msg_t* msg, void* socket, int flags);
int lib_zmq_msg_init(zmq_msg_t* msg);
int lib_zmq_msg_init_size(zmq_msg_t* msg, size_t size);
int lib_zmq_msg_close(zmq_msg_t* msg);
size_t lib_zmq_msg_size(zmq_msg_t* msg);
void* lib_zmq_msg_data(zmq_msg_t* msg);

}  // namespace streamcat
