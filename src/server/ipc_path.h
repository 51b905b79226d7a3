// The file of a stream's IPC endpoint (/tmp/<port>), which a server that was
// killed leaves behind.
#pragma once

#include <string>

namespace vantoserver {

// Whether path can take a new IPC socket: free, or left behind by a server
// that ended without cleaning up (a socket of this user that nobody listens
// on; it is removed here). Anything else -- another user's file, a link, a
// regular file, a directory, a socket in use -- is left alone, and why says
// what it is.
bool claim_ipc_path(const std::string& path, std::string& why);

}  // namespace vantoserver
