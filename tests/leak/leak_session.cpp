// A whole session of the program, for the leak check: the application object,
// the entry's steps with the real main window, typing, pasting, an overflow
// whose error box is dismissed, then closing the window, which ends the event
// loop. Everything is torn down as in the program itself, and the leak checker
// (LeakSanitizer in the sanitizer build, valgrind in the others) reports what is
// left at exit.
//
// The session checks that each step did what it should, so that a session that
// silently did nothing cannot pass. With TARVELIN_PLANT_LEAK=1 it also leaks one
// object from inside an event handler, where the toolkit's frames are on the
// stack: the canary test expects the checker to report exactly that, which shows
// that the suppressions do not hide a leak of ours.
#include <QApplication>
#include <QClipboard>
#include <QTimer>
#include <QtTest>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/ui/ui_test_support.h"
#include "ui/application.h"
#include "ui/entry.h"
#include "ui/tarvelin.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  if (!ok) {
    ++failures;
    std::fprintf(stderr, "session step failed: %s\n", what);
  }
}

void Type(const char* text) {
  for (const char* p = text; *p; ++p) QTest::keyClick(QApplication::focusWidget(), *p);
}

void Paste(const QString& text) {
  QApplication::clipboard()->setText(text);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Insert, Qt::ShiftModifier);
}

// Ctrl+A is a character, which the key filter discards; the selection keys are not.
void SelectAll() {
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home, Qt::ShiftModifier);
}

struct Planted {
  char bytes[48];
};
Planted* volatile planted = nullptr;

// Called from a timer's event, with the toolkit's frames around it.
__attribute__((noinline)) void PlantedLeak() {
  planted = new Planted{};
  planted = nullptr;
}

void Session() {
  TTarvelin* form = Tarvelin;
  Check(form && QTest::qWaitForWindowActive(form), "the main window is shown and active");
  if (!form) return;
  auto solutions = [form] { return form->sEdit->text(); };

  // The worked example: a = -1, c = 4, b = 3, then a = 0.
  Type("1");
  QTest::keyClick(form->aEdit, Qt::Key_Backspace);
  Type("-1");
  QTest::keyClick(form->aEdit, Qt::Key_Tab);
  QTest::keyClick(form->bEdit, Qt::Key_Tab);
  SelectAll();
  Type("4-");
  Check(solutions() == QStringLiteral("-2.00 et 2.00"), "a = -1, c = 4");
  QTest::keyClick(form->cEdit, Qt::Key_Backtab, Qt::ShiftModifier);
  SelectAll();
  Type("3");
  Check(solutions() == QStringLiteral("-1.00 et 4.00"), "b = 3");
  QTest::keyClick(form->bEdit, Qt::Key_Backtab, Qt::ShiftModifier);
  SelectAll();
  Type("0");
  Check(solutions() == QStringLiteral("-1.33"), "a = 0");

  // An overflowing paste: one error box, dismissed; nothing else changes.
  QTest::keyClick(form->aEdit, Qt::Key_Tab);
  SelectAll();
  const SeenBox box = CloseBoxesDuring([] { Paste(QStringLiteral("1e400")); });
  Check(box.count == 1 && box.text == QStringLiteral("Floating point overflow."),
        "one overflow box, dismissed");
  Check(solutions() == QStringLiteral("-1.33") && form->EquationState().b == 3.0,
        "the overflow left the state alone");

  // More pastes: junk (ignored), a long digit string, an exponent.
  SelectAll();
  Paste(QStringLiteral("abc\t\n"));
  Check(solutions() == QStringLiteral("-1.33"), "junk pasted");
  SelectAll();
  Paste(QStringLiteral("0.") + QString(2000, QLatin1Char('5')));
  SelectAll();
  Paste(QStringLiteral("1e3"));
  Check(solutions() == QStringLiteral("0.00"), "b = 1000");
  QTest::keyClick(form->bEdit, Qt::Key_Tab);
  SelectAll();
  Type("20");
  Check(solutions() == QStringLiteral("-0.02"), "c = 20");

  if (qEnvironmentVariableIntValue("TARVELIN_PLANT_LEAK") == 1) PlantedLeak();

  // Closing the main window ends the event loop, as the user's close does.
  form->close();
}

}  // namespace

int main(int /*argc*/, char** argv) {
  TApplication application(argv[0]);
  QTimer::singleShot(0, &application, [] { Session(); });
  const int code = RunProgram(Tarvelin);
  Check(Tarvelin == nullptr || !Tarvelin->isVisible(), "the window was closed");
  if (failures > 0) {
    std::fprintf(stderr, "%d session step(s) failed\n", failures);
    return 1;
  }
  std::printf("session done\n");
  return code;
}
