#pragma once
// One menu command against the controller: open the selected port, bind a
// link, do the work (Execute), and put the controller's PSF back when the
// work changed it.

#include <cstdint>
#include <functional>
#include <memory>

#include "link/controller_link.h"
#include "ops/saved_set_guard.h"
#include "psf/psf_image.h"
#include "serial/device_path.h"

class QWidget;

namespace kelvt {

class RS232;

class Operation : public RestoreFrontEnd {
 public:
  Operation(QWidget* parent, int port_number, int baud_rate);
  ~Operation() override;
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

  // OpenPort, Execute, and the restore when restore_psf is set. Result of
  // Execute; when the port did not open, that of ExecuteOffline.
  int Run();
  // Creates the port and the link; 1, or 0 after telling the user.
  int OpenPort();
  virtual int Execute() = 0;
  // After the port failed to open (the user was told): work that needs no
  // controller. The default does nothing and returns 0.
  virtual int ExecuteOffline() { return 0; }
  // Sends `psf` back through the guard (journaled first); on failure offers
  // to save it to a file.
  void RestoreSavedPsf(PsfImage& psf);
  // The owner of the controller's own set while the operation runs another
  // (exists once the port is open). Run puts it back at the end.
  SavedSetGuard& Guard() { return *guard; }
  // The controller did not take its own set back: offers to save it.
  void KeepCopy(const PsfImage& own) override;
  // Why the journal took no copy, for a message's detail ("" when it did).
  static std::string JournalProblem();
  // Asks for a file name and writes `psf` as a .PSF file.
  void SavePsfToFile(PsfImage& psf);

  ControllerLink* Link() const { return link.get(); }
  QWidget* Parent() const { return parent; }
  int PortNumber() const { return port_number; }

  // Opens the port for an operation. The default opens the POSIX device that
  // the port number maps to (settings file overrides, else /dev/ttyS<n>).
  using PortFactory = std::function<std::unique_ptr<RS232>(int port_number, long baud)>;
  static void SetPortFactory(PortFactory factory);  // empty restores the default
  // The journal tag of this operation on its port.
  JournalTag Tag(const char* operation) const;
  // Device paths that the settings file gives some ports (section Devices);
  // the main window installs them when it reads its settings.
  static void SetDeviceOverrides(const DeviceOverrides& overrides);
  static const DeviceOverrides& CurrentDeviceOverrides();

 protected:
  int32_t baud_rate;
  QWidget* parent;
  int port_number;
  std::unique_ptr<ControllerLink> link;
  std::unique_ptr<SavedSetGuard> guard;  // after `link`: destroyed (and restoring) first
  PsfImage saved_psf;  // a set Execute wants back, with restore_psf set
  int restore_psf = 0;
};

}  // namespace kelvt
