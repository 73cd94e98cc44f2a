// A main form whose construction fails: the program shows one error box, never
// shows a window, and exits with 0. The process's exit code is the program's.
#include <cstdio>

#include "tests/ui/ui_test_support.h"
#include "ui/application.h"
#include "ui/entry.h"

namespace {

class FailingForm : public TForm {
 public:
  explicit FailingForm(QObject* Owner) : TForm(Owner) { throw Exception("Construction failed"); }
};

FailingForm* failingForm = nullptr;

}  // namespace

int main(int, char** argv) {
  TApplication application(argv[0]);
  int otherWindows = 0;
  // Counts, while the box is up, the visible windows that are not the box.
  QTimer census;
  QObject::connect(&census, &QTimer::timeout, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (!box) return;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->isVisible() && w != box) ++otherWindows;
    }
  });
  census.start(5);
  int exitCode = -1;
  const SeenBox box = CloseBoxesDuring([&] { exitCode = RunProgram(failingForm); });

  int passed = 0, failed = 0;
  auto check = [&](bool ok, const char* what) {
    ok ? ++passed : ++failed;
    if (!ok) std::fprintf(stderr, "FAILED: %s\n", what);
  };
  check(box.count == 1, "one error box");
  check(box.text == QStringLiteral("Construction failed."), "its text, with the period");
  check(box.title == QStringLiteral("Tarvelin"), "its caption");
  check(otherWindows == 0, "no other window while it is up");
  check(failingForm == nullptr, "the reference is null");
  check(Application->MainForm == nullptr, "no main form");
  check(exitCode == 0, "the program's result is 0");
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? exitCode : 1;
}
