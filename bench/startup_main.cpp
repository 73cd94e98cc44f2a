// Start-up to the first painted window and the peak memory, for the program
// (TARVELIN_BARE undefined), for a bare Qt Widgets program that shows one
// empty window, the toolkit's floor, and (TARVELIN_BARE_TEXT) for one that
// shows a label and a line edit, the floor of any window with text. Each quits once its window has painted and
// prints its peak resident memory; bench/startup.sh times whole processes.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#ifndef TARVELIN_BARE
#include "ui/application.h"
#include "ui/entry.h"
#include "ui/tarvelin.h"
#endif

namespace {

// Quits at the first paint of a top-level window.
class QuitOnFirstPaint : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::Paint && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow() && !done_) {
      done_ = true;
      QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return false;
  }

 private:
  bool done_ = false;
};

void PrintPeakMemory() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmHWM:")) std::printf("%s\n", line.simplified().constData());
  }
}

}  // namespace

int main(int argc, char** argv) {
  QuitOnFirstPaint hook;
#ifdef TARVELIN_BARE
  QApplication application(argc, argv);
  application.installEventFilter(&hook);
  QWidget window;
  window.resize(408, 335);
#ifdef TARVELIN_BARE_TEXT
  QLabel label(QStringLiteral("Valeur de a :"), &window);
  QLineEdit edit(QStringLiteral("0"), &window);
  edit.move(104, 87);
#endif
  window.show();
  application.exec();
#else
  (void)argc;
  TApplication application(argv[0]);
  application.installEventFilter(&hook);
  RunProgram(Tarvelin);
#endif
  PrintPeakMemory();
  return 0;
}
