// The entry: start the application, create the main window, run until it is
// closed. Always exits with 0.
#include "core/exceptions.h"
#include "ui/application.h"
#include "ui/tarvelin.h"

int main(int /*argc*/, char** argv) {
  // The application object exists before the program's own steps begin.
  TApplication application(argv[0] ? argv[0] : "tarvelin");
  try {
    Application->Initialize();
    Application->SetTitle("Tarvelin");
    Application->CreateForm(Tarvelin);
    Application->Run();
  } catch (const Exception& E) {
    Application->ShowException(E);
  } catch (...) {
    // Not one of the program's exceptions: an error box with no text.
    try {
      throw Exception("");
    } catch (const Exception& E) {
      Application->ShowException(E);
    }
  }
  return 0;
}
