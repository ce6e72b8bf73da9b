#pragma once
// Shared pieces of the fault-injection tests of the desktop tool's
// operations: an operation's port answered by kelvt-sim's controller with a
// fault (on virtual time), or by kelvt-sim started with the same fault over
// a pseudo-terminal; a driver for modal dialogs; the parameter set the
// simulator holds; and what a saved .PSF file holds.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/active_dialog.h"
#include "gui/operation.h"
#include "link/controller_link.h"
#include "platform/tick.h"
#include "psf/psf_file.h"
#include "psf/psf_image.h"
#include "psf/psf_record.h"
#include "serial/posix_serial_port.h"
#include "sim/sim_options.h"
#include "support/scripted_port.h"
#include "support/sim_faults.h"
#include "support/sim_process.h"
#include "support/sim_responder.h"
#include "support/watchdog.h"
#include "ui/support/scripted_prompter.h"
#include "ui/support/ui_test_util.h"

namespace kelvt::fault {

using test::Corrupt;
using test::NoAck;
using test::ScriptedPort;
using test::Silent;
using test::SimResponder;
using test::StopAfter;
using test::VanishAfter;

inline constexpr const char* kRestoreQuestion =
    "Unable to restore original psf.\nDo you want to save the original Psf to a file?";

// Messages shown, in order.
inline std::vector<std::string> Texts(const ScriptedPrompter& prompter) {
  std::vector<std::string> texts;
  for (const RecordedMessage& m : prompter.messages) texts.push_back(m.text);
  return texts;
}

// Every operation of the fixture opens a scripted port answered by one
// controller, kelvt-sim's, on a virtual clock; the test bounds its wall time.
class ScriptedFaultTest : public ::testing::Test {
 protected:
  ScriptedFaultTest() : scope_(&clock_) {
    InstallQtIdleHook();
    Operation::SetPortFactory([this](int port_number, long baud) {
      auto port = std::make_unique<ScriptedPort>(port_number, baud);
      Controller().Attach(*port);
      port_ = port.get();
      return std::unique_ptr<RS232>(std::move(port));
    });
  }
  ~ScriptedFaultTest() override { Operation::SetPortFactory({}); }

  // The controller, made from `config` with the faults given to Fault when
  // first needed; change neither after that.
  SimResponder& Controller() {
    if (!controller_) controller_ = std::make_unique<SimResponder>(test::WithFaults(config, faults_));
    return *controller_;
  }
  void Fault(const sim::SimConfig& faults) { faults_ = faults; }
  std::string Held() { return std::string(Controller().Psf().data(), kPsfSize); }
  uint32_t Now() { return clock_.Now(); }

  VirtualTickSource clock_{20000};
  ScopedTickSource scope_;
  sim::SimConfig config = test::SimDefaults();
  sim::SimConfig faults_;
  std::unique_ptr<SimResponder> controller_;
  ScriptedPort* port_ = nullptr;
  ScriptedPrompter prompter;
  test::Watchdog watchdog_{60, ::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

// Operations of the fixture open the port the simulator's terminal is mapped to.
class SimFaultTest : public ::testing::Test {
 protected:
  static constexpr int kPort = 9;  // COM10

  SimFaultTest() { InstallQtIdleHook(); }
  ~SimFaultTest() override { Operation::SetDeviceOverrides({}); }

  // Starts the simulator with `faults` and maps the port to it.
  bool Start(const sim::SimConfig& faults, std::vector<std::string> more = {}) {
    std::vector<std::string> args = sim::FaultArgs(faults);
    args.insert(args.end(), more.begin(), more.end());
    sim_ = std::make_unique<test::SimProcess>(KELVT_SIM_PATH, args);
    if (!sim_->ok()) return false;
    Operation::SetDeviceOverrides({{kPort, sim_->path()}});
    return true;
  }

  ScriptedPrompter prompter;
  std::unique_ptr<test::SimProcess> sim_;
  test::Watchdog watchdog_{60, ::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

// The parameter set a simulator holds, read over a link of our own.
inline bool ReadHeldPsf(const std::string& device, PsfImage& image) {
  ControllerLink link(new PosixSerialPort(device, 0, 9600, 'E', 8, 1, 0, 0, 0, 0, 0));
  if (link.Port()->ErrorStatus() != 0) return false;
  return link.InputPsf(image) != 0;
}

using test::OnModal;

// The record a .PSF file holds, encoded: compares with an image's bytes 1..75
// (the letter and check sum are the link's business).
inline bool FileHoldsSet(const std::string& path, const PsfImage& expected, std::string* why) {
  PsfRecord record;
  if (ReadPsfFile(record, path.c_str()) != 1) {
    *why = "no readable .PSF file at " + path;
    return false;
  }
  char bytes[kPsfSize + 1];
  record.Encode(bytes);
  PsfRecord held;
  held.Decode(expected.Data());
  char held_bytes[kPsfSize + 1];
  held.Encode(held_bytes);
  for (int i = 1; i < 76; ++i) {
    if (bytes[i] != held_bytes[i]) {
      *why = "byte " + std::to_string(i) + " differs";
      return false;
    }
  }
  return true;
}

}  // namespace kelvt::fault
