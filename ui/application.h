// The application object: start-up, the event loop, the main form, error
// reporting and the locale's number formats.
#pragma once

#include <QApplication>
#include <QPointer>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/exceptions.h"
#include "ui/forms.h"

// The show requests a program may be started with. Linux passes none, so a
// program starts with SW_SHOWNORMAL; a test may set another.
enum { SW_SHOWNORMAL = 1, SW_SHOWMAXIMIZED = 3, SW_SHOWMINNOACTIVE = 7 };

class TApplication : public QApplication {
  Q_OBJECT

 public:
  // The toolkit sees only the program's name: the program has no arguments of
  // its own and passes none on. The toolkit's environment variables
  // (QT_QPA_PLATFORM and the like) still apply.
  explicit TApplication(const char* ProgramName);
  ~TApplication() override;

  // The start-up hook; none is registered, so it does nothing.
  void Initialize();

  std::string Title() const;  // Windows-1252
  void SetTitle(const std::string& Title);

  // Allocates a Form, stores its address in Reference, then constructs it with
  // this application as owner. A constructor that throws leaves Reference null
  // and the exception going. The first form created becomes MainForm, hidden.
  template <class Form>
  void CreateForm(Form*& Reference);

  // Shows the main form as the show request says and runs the event loop until
  // Terminate. Returns at once when there is no main form.
  void Run();
  void Terminate();

  // Reports the exception being handled (call it from a catch block): EAbort is
  // silent; otherwise OnException when assigned, else ShowException.
  void HandleException(QObject* Sender);
  // The error box: the message with the period rule, the title as caption, one
  // OK button and the stop icon, modal to the whole program.
  void ShowException(const Exception& E);

  TForm* MainForm = nullptr;
  std::function<void(QObject* Sender, const Exception& E)> OnException;  // never assigned here
  bool ShowMainForm = true;
  bool UpdateFormatSettings = true;
  int ShowCommand = SW_SHOWNORMAL;

  // The last net: an exception that escapes the dispatch of any event is
  // reported with the application as Sender, and the loop goes on.
  bool notify(QObject* receiver, QEvent* e) override;

 protected:
  bool event(QEvent* e) override;

 private slots:
  // The desktop portal's SettingChanged(namespace, key, value); which setting
  // changed does not matter.
  void PortalSettingChanged();

 private:
  void SettingsChanged();

  // The forms were built in raw memory (see CreateForm): destroy, then free.
  struct FormDeleter {
    void operator()(TForm* form) const {
      void* memory = dynamic_cast<void*>(form);
      form->~TForm();
      ::operator delete(memory);
    }
  };
  std::vector<std::unique_ptr<TForm, FormDeleter>> forms_;
  std::string title_;
};

extern TApplication* Application;

// The user's decimal separator: the first character of the decimal point of the
// locale named by LC_ALL, else LC_NUMERIC, else LANG, as a Windows-1252 byte;
// '.' when there is none or the code page lacks it.
char UserDecimalSeparator();

template <class Form>
void TApplication::CreateForm(Form*& Reference) {
  // The reference holds the object's address while its constructor runs.
  void* memory = ::operator new(sizeof(Form));
  Reference = static_cast<Form*>(memory);
  Form* form;
  try {
    form = new (memory) Form(this);
  } catch (...) {
    Reference = nullptr;
    ::operator delete(memory);
    throw;
  }
  forms_.emplace_back(form);
  if (!MainForm) MainForm = form;
}
