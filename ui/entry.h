// The program's steps from start to exit, for a main form class: the entry
// runs them with TTarvelin, the start-up tests with forms of their own.
#pragma once

#include "core/exceptions.h"
#include "ui/application.h"

// Initialises the application, titles it "Tarvelin", creates the main form into
// Reference and runs the event loop until the form is closed. An exception that
// escapes is shown in the error box; the result is always 0, the exit code.
template <class Form>
int RunProgram(Form*& Reference) {
  try {
    Application->Initialize();
    Application->SetTitle("Tarvelin");
    Application->CreateForm(Reference);
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
