// Forms: top-level windows built from a layout, placed and sized in the designed
// platform's terms, and the screen they are placed on.
#pragma once

#include <QWidget>
#include <utility>

// The primary screen, in logical pixels (96 per inch at a scale of 1).
class TScreen {
 public:
  int Width() const;
  int Height() const;
};
extern TScreen* Screen;

enum { SM_CXSCREEN = 0, SM_CYSCREEN = 1 };
// The primary screen's width (SM_CXSCREEN) or height (SM_CYSCREEN); 0 otherwise.
int GetSystemMetrics(int Index);

// A top-level window. Its event handlers run through Dispatch, which reports
// what escapes them instead of letting it into the toolkit's event machinery.
class TForm : public QWidget {
  Q_OBJECT

 public:
  // Owner: the application object that destroys the form, or null.
  explicit TForm(QObject* Owner);

  QObject* Owner() const { return owner_; }

  // The outer frame's place and size. Until a window manager has framed the
  // window, its size is the one the designed frame gives: a 4-pixel sizing
  // border on each side and a 19-pixel caption bar.
  int Left() const;
  int Top() const;
  void SetLeft(int Left);
  void SetTop(int Top);
  int Width() const;
  int Height() const;

  // Runs an event handler; an exception that escapes it goes to the
  // application's HandleException with this form as Sender.
  template <class Handler>
  void Dispatch(Handler&& handler) noexcept {
    try {
      std::forward<Handler>(handler)();
    } catch (...) {
      ReportException();
    }
  }

 protected:
  // After the layout is loaded: the designed fonts, colours, border icons and
  // the labels' sizes.
  void Loaded();

  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void ReportException() noexcept;
  void ApplyAppearance();

  QObject* owner_;
};
