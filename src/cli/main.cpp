#include <iostream>

#include "cli/cli_app.h"
#include "cli/interrupt.h"
#include "ops/set_journal.h"

int main(int argc, char** argv) {
  kelvt::cli::InstallInterruptHandlers();
  kelvt::cli::CliContext ctx(std::cout, std::cerr);
  // Every set read before a change is kept in the user's state folder.
  kelvt::SetJournal journal(kelvt::SetJournal::DefaultFolder());
  kelvt::InstallJournal(&journal);
  return kelvt::cli::RunCli(argc, argv, ctx);
}
