#include <iostream>

#include "cli/cli_app.h"
#include "cli/interrupt.h"

int main(int argc, char** argv) {
  kelvt::cli::InstallInterruptHandlers();
  kelvt::cli::CliContext ctx(std::cout, std::cerr);
  return kelvt::cli::RunCli(argc, argv, ctx);
}
