#include "rpc_control.h"

namespace vanto::rpc {

int send_fault(const Endpoint& server, FaultMode mode, const std::string& address, int code,
               int count, int delay_ms) {
  Connection connection(server);
  EqData command;
  command.set_iiii(static_cast<int>(mode), code, count, delay_ms);
  EqData reply;
  return connection.call(Op::fault, address, &command, reply, std::chrono::seconds(5));
}

}  // namespace vanto::rpc
