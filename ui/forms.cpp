#include "ui/forms.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <cstdio>

#include "core/exceptions.h"
#include "ui/application.h"
#include "ui/controls.h"

namespace {

// The frame the layout was designed with.
constexpr int kDesignedBorder = 4;
constexpr int kDesignedCaption = 19;

QRect PrimaryScreenGeometry() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry() : QRect();
}

}  // namespace

int TScreen::Width() const { return PrimaryScreenGeometry().width(); }
int TScreen::Height() const { return PrimaryScreenGeometry().height(); }

namespace {
TScreen theScreen;
}
TScreen* Screen = &theScreen;

int GetSystemMetrics(int Index) {
  switch (Index) {
    case SM_CXSCREEN: return Screen->Width();
    case SM_CYSCREEN: return Screen->Height();
    default: return 0;
  }
}

TForm::TForm(QObject* Owner) : QWidget(nullptr), owner_(Owner) {}

int TForm::Left() const { return pos().x(); }
int TForm::Top() const { return pos().y(); }
void TForm::SetLeft(int Left) { move(Left, pos().y()); }
void TForm::SetTop(int Top) { move(pos().x(), Top); }

int TForm::Width() const {
  const QRect frame = frameGeometry();
  if (frame != geometry()) return frame.width();
  return width() + 2 * kDesignedBorder;
}

int TForm::Height() const {
  const QRect frame = frameGeometry();
  if (frame != geometry()) return frame.height();
  return height() + 2 * kDesignedBorder + kDesignedCaption;
}

void TForm::Loaded() {
  // The layout lists the caption bar's buttons; a window without the maximise
  // button must not be maximised either, which its fixed size (from the
  // layout) sees to under window managers that ignore the hint.
  const QString icons = property("BorderIcons").toString();
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (icons.contains(QLatin1String("biSystemMenu"))) {
    flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  }
  if (icons.contains(QLatin1String("biMinimize"))) flags |= Qt::WindowMinimizeButtonHint;
  if (icons.contains(QLatin1String("biMaximize"))) flags |= Qt::WindowMaximizeButtonHint;
  setWindowFlags(flags);
  ApplyAppearance();
}

void TForm::ApplyAppearance() {
  ApplyDesignedAppearance(this);
  for (QWidget* control : findChildren<QWidget*>()) ApplyDesignedAppearance(control);
  // Labels size themselves once their fonts are known.
  for (TLabel* label : findChildren<TLabel*>()) label->AdjustBounds();
}

bool TForm::event(QEvent* e) {
  // The designed colours are the desktop's: follow it when its theme changes.
  if (e->type() == QEvent::ApplicationPaletteChange) ApplyAppearance();
  return QWidget::event(e);
}

void TForm::closeEvent(QCloseEvent* e) {
  // Closing the main form ends the program, whatever other windows are open.
  QWidget::closeEvent(e);
  if (Application && Application->MainForm == this) Application->Terminate();
}

void TForm::ReportException() noexcept {
  try {
    if (Application) {
      Application->HandleException(this);
      return;
    }
    // No application object (a tool or a test that builds a bare form): say
    // it where someone can see it.
    try {
      throw;
    } catch (const Exception& e) {
      std::fprintf(stderr, "tarvelin: %s\n", e.Message.c_str());
    } catch (...) {
      std::fprintf(stderr, "tarvelin: unknown exception\n");
    }
  } catch (...) {
    // Reporting failed (out of memory for the box, say): nothing more can be done.
  }
}
