#pragma once
#include <string_view>

namespace pellam::host {

// Sends `state` ("READY=1") to the service manager at $NOTIFY_SOCKET, a datagram socket
// (a name beginning with '@' is in the abstract namespace). Does nothing without the
// variable; returns false when the message could not be sent.
bool notifyServiceManager(std::string_view state);

}  // namespace pellam::host
