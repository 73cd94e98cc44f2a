// One keystroke in the real window, from the key event to the new solutions
// text: event delivery, the key filter, the change handler, the solve and the
// solutions field's setText. Then the same with the repaint that follows.
// Offscreen unless QT_QPA_PLATFORM says otherwise.
#include <benchmark/benchmark.h>

#include <QClipboard>
#include <QKeyEvent>
#include <QtTest>
#include <QLineEdit>
#include <cstdlib>
#include <limits>

#include "ui/application.h"
#include "ui/tarvelin.h"

namespace {

TTarvelin* ShownWindow() {
  static TTarvelin* form = [] {
    auto* f = new TTarvelin(Application);
    f->show();
    if (!QTest::qWaitForWindowExposed(f)) std::abort();
    QTest::keyClicks(f->aEdit, "1");  // a = 1
    QTest::keyClick(f->aEdit, Qt::Key_Tab);
    return f;
  }();
  return form;
}

// Alternates typing a digit and deleting it in b, so that every keystroke is a
// real edit that changes the solutions text: "0.00 et -7.00", then "0.00".
void Keystroke(benchmark::State& state, bool repaint) {
  TTarvelin* form = ShownWindow();
  TEdit* field = form->bEdit;
  field->setText(QString());
  bool typed = false;
  for (auto _ : state) {
    QKeyEvent press(QEvent::KeyPress, typed ? Qt::Key_Backspace : Qt::Key_7, Qt::NoModifier,
                    typed ? QStringLiteral("\b") : QStringLiteral("7"));
    QApplication::sendEvent(field, &press);
    typed = !typed;
    if (repaint) {
      form->sEdit->repaint();
      field->repaint();
    }
    benchmark::DoNotOptimize(form->sEdit->text().size());
  }
  if (form->sEdit->text() != QStringLiteral("0.00") &&
      form->sEdit->text() != QStringLiteral("0.00 et -7.00")) {
    state.SkipWithError("the solutions text is not the expected one");
  }
}

void KeystrokeToSolutionsText(benchmark::State& state) { Keystroke(state, false); }
void KeystrokeWithRepaint(benchmark::State& state) { Keystroke(state, true); }
BENCHMARK(KeystrokeToSolutionsText);
BENCHMARK(KeystrokeWithRepaint);

// A pasted megabyte of digits: the whole edit, from the paste to the solutions.
void PasteMegabyteOfDigits(benchmark::State& state) {
  TTarvelin* form = ShownWindow();
  QApplication::clipboard()->setText(QString(1 << 20, QLatin1Char('7')));
  for (auto _ : state) {
    form->bEdit->selectAll();
    form->bEdit->paste();
    benchmark::DoNotOptimize(form->sEdit->text().size());
  }
}
BENCHMARK(PasteMegabyteOfDigits)->Unit(benchmark::kMillisecond);

// The toolkit's floor for the same paste: a plain QLineEdit with no handler.
void PasteMegabyteIntoPlainLineEdit(benchmark::State& state) {
  static QLineEdit* plain = [] {
    auto* e = new QLineEdit;
    e->setMaxLength(std::numeric_limits<int>::max());
    e->show();
    return e;
  }();
  QApplication::clipboard()->setText(QString(1 << 20, QLatin1Char('7')));
  for (auto _ : state) {
    plain->selectAll();
    plain->paste();
    benchmark::DoNotOptimize(plain->text().size());
  }
}
BENCHMARK(PasteMegabyteIntoPlainLineEdit)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication application(argv[0]);
  application.SetTitle("Tarvelin");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
