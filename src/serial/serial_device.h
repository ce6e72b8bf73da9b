#pragma once
// One serial device the machine has: what a technician needs to tell an
// on-board port from a USB adapter, and one adapter from another.

#include <string>

namespace kelvt {

struct SerialDevice {
  std::string path;         // stable path: by_id where there is one, else /dev/<kernel_name>
  std::string by_id;        // /dev/serial/by-id/... link to it; empty when none
  std::string kernel_name;  // ttyUSB0, ttyS0, ttyACM0
  std::string driver;       // ftdi_sio, cdc_acm, serial
  // USB adapters only (empty otherwise): ids as four hex digits, and the
  // texts the adapter reports about itself.
  std::string vendor_id;
  std::string product_id;
  std::string maker;
  std::string product;
  std::string serial_number;
};

}  // namespace kelvt
