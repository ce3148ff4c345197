#pragma once
// Whether the machine has a network connection, asked once by each web view when it loads.
#include <functional>

namespace OnlineCheck {

// The platform's reachability when a network-information backend answers, otherwise
// "some non-loopback interface is up and running".
bool isOnline();

// Tests decide the answer; an empty function restores the real check.
void setOverride(std::function<bool()> check);

} // namespace OnlineCheck
