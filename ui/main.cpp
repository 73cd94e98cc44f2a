// The entry: start the application, create the main window, run until it is
// closed. Exits with 0, unless there is no display to open the window on.
#include <QtGlobal>
#include <cstdio>

#include "ui/application.h"
#include "ui/entry.h"
#include "ui/tarvelin.h"

namespace {

// Without a display the toolkit would abort with a message of its own, which
// does not say what to do.
bool HasDisplay() {
  return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||  // a platform chosen on purpose
         !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int main(int /*argc*/, char** argv) {
  if (!HasDisplay()) {
    std::fputs(
        "tarvelin : aucun affichage graphique (ni DISPLAY ni WAYLAND_DISPLAY).\n"
        "tarvelin: no display. Tarvelin is a desktop program: start it in a graphical session,\n"
        "or on a virtual X server:  xvfb-run build/ui/tarvelin  (Debian package xvfb).\n",
        stderr);
    return 1;
  }
  // The application object exists before the program's own steps begin. The
  // arguments are not the program's: the toolkit is given only its name.
  TApplication application(argv[0] ? argv[0] : "tarvelin");
  return RunProgram(Tarvelin);
}
