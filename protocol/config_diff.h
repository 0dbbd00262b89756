// The fields in which two programmings differ, one line each in the sheet's own terms, e.g.
// "pin 7 command: 20 01 21 -> 20 01 22" or "serial port 2 speed: 38400 -> 9600", and the few value
// words those lines share with the programming file.
#pragma once

#include <string>
#include <vector>

#include "protocol/config_record.h"

namespace zeze {

// In record order: network, serial ports, the option, then the pins. Empty when they are the same.
std::vector<std::string> describeDifferences(const ConfigValues& from, const ConfigValues& to);

// "192.168.254.102" from the window's octet order (element 3 holds the first octet).
std::string dottedAddress(const IpAddressText& address);

// The parity of a list position in lower case, "none", "odd" or "even"; empty outside the list.
std::string parityWord(int parity);

}  // namespace zeze
