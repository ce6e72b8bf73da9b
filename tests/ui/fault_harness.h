#pragma once
// Shared pieces of the fault-injection tests of the desktop tool's
// operations: an operation's port answered by a controller with a fault (on
// virtual time), or by kelvt-sim started with the same fault over a
// pseudo-terminal; a driver for modal dialogs; the parameter set the
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
#include "support/fault_controller.h"
#include "support/scripted_port.h"
#include "support/sim_process.h"
#include "support/watchdog.h"
#include "ui/support/scripted_prompter.h"
#include "ui/support/ui_test_util.h"

namespace kelvt::fault {

using test::Fault;
using test::FaultPlan;
using test::FaultyController;
using test::ScriptedPort;

inline FaultPlan Silent() { return {Fault::kSilent, 0}; }
inline FaultPlan StopAfter(int n) { return {Fault::kStopAfter, n}; }
inline FaultPlan Corrupt(int after = 0) { return {Fault::kCorrupt, after}; }
inline FaultPlan NoAck() { return {Fault::kNoAck, 0}; }
inline FaultPlan VanishAfter(int n) { return {Fault::kVanishAfter, n}; }

// kelvt-sim's options for a fault.
inline std::vector<std::string> SimArgs(const FaultPlan& plan) {
  switch (plan.fault) {
    case Fault::kSilent: return {"--silent"};
    case Fault::kStopAfter: return {"--stop-after", std::to_string(plan.after)};
    case Fault::kCorrupt: return {"--corrupt"};
    case Fault::kNoAck: return {"--no-ack"};
    case Fault::kVanishAfter: return {"--vanish-after", std::to_string(plan.after)};
    case Fault::kNone: break;
  }
  return {};
}

inline constexpr const char* kRestoreQuestion =
    "Unable to restore original psf.\nDo you want to save the original Psf to a file?";

// Messages shown, in order.
inline std::vector<std::string> Texts(const ScriptedPrompter& prompter) {
  std::vector<std::string> texts;
  for (const RecordedMessage& m : prompter.messages) texts.push_back(m.text);
  return texts;
}

// Every operation of the fixture opens a scripted port answered by
// `controller`, on a virtual clock; the test bounds its wall time.
class ScriptedFaultTest : public ::testing::Test {
 protected:
  ScriptedFaultTest() : scope_(&clock_) {
    InstallQtIdleHook();
    Operation::SetPortFactory([this](int port_number, long baud) {
      auto port = std::make_unique<ScriptedPort>(port_number, baud);
      controller.Attach(*port);
      port_ = port.get();
      return std::unique_ptr<RS232>(std::move(port));
    });
  }
  ~ScriptedFaultTest() override { Operation::SetPortFactory({}); }

  std::string Held() const { return std::string(controller.inner.psf, kPsfSize); }
  uint32_t Now() { return clock_.Now(); }

  VirtualTickSource clock_{20000};
  ScopedTickSource scope_;
  FaultyController controller;
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

  // Starts the simulator with `plan` and maps the port to it.
  bool Start(const FaultPlan& plan, std::vector<std::string> more = {}) {
    std::vector<std::string> args = SimArgs(plan);
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
