// Helpers for driving the real window in tests.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

// What an error box showed before the test closed it.
struct SeenBox {
  int count = 0;
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
};

// Runs action, which may open modal error boxes; each box is read and closed
// with its OK button as soon as it appears.
inline SeenBox CloseBoxesDuring(const std::function<void()>& action) {
  SeenBox seen;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    ++seen.count;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttons = box->standardButtons();
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
      ok->click();
    } else {
      box->reject();
    }
  });
  timer.start();
  action();
  // A box opened from a queued event shows after the action returns.
  QTest::qWait(10);
  timer.stop();
  return seen;
}

// Sends a key the way the X server's keyboard delivers it (xcb), with the text
// it carries there; QTest's own events carry other texts.
inline void XcbKey(QWidget* w, Qt::Key key, const QString& text,
                   Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::sendKeyEvent(QTest::Press, w, key, text, mods);
  QTest::sendKeyEvent(QTest::Release, w, key, text, mods);
}
