// The entry: start the application, create the main window, run until it is
// closed. Always exits with 0.
#include "ui/application.h"
#include "ui/entry.h"
#include "ui/tarvelin.h"

int main(int /*argc*/, char** argv) {
  // The application object exists before the program's own steps begin. The
  // arguments are not the program's: the toolkit is given only its name.
  TApplication application(argv[0] ? argv[0] : "tarvelin");
  return RunProgram(Tarvelin);
}
