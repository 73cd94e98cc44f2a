// Thousands of seeded random edits of the real window (key presses, pastes of
// any text, undos from the context menu, Tab moves), each checked against a
// model without a toolkit: the fields' texts, caret and selection, the
// equation state, the solutions text and the error boxes. The arithmetic side
// of the model is the exact slow reference, not the core the window uses.
#include <QClipboard>
#include <QMenu>
#include <QtTest>
#include <cstring>
#include <memory>
#include <random>

#include "core/number_text.h"
#include "tests/core/reference/exact_reference.h"
#include "tests/ui/ui_test_support.h"
#include "ui/application.h"
#include "ui/code_page.h"
#include "ui/tarvelin.h"

namespace {

struct FieldModel {
  QString text = QStringLiteral("0");
  int cursor = 1;
  int anchor = 1;  // the selection runs between anchor and cursor
  bool HasSelection() const { return anchor != cursor; }
  int SelectionStart() const { return std::min(anchor, cursor); }
  int SelectionEnd() const { return std::max(anchor, cursor); }
  void SelectAll() { anchor = 0, cursor = int(text.size()); }
  void MoveTo(int position) { anchor = cursor = std::clamp(position, 0, int(text.size())); }
  // Removes the selection; true when it removed something.
  bool RemoveSelection() {
    if (!HasSelection()) return false;
    const int start = SelectionStart();
    text.remove(start, SelectionEnd() - start);
    MoveTo(start);
    return true;
  }
  bool Insert(const QString& s) {
    const bool removed = RemoveSelection();
    if (s.isEmpty()) return removed;
    text.insert(cursor, s);
    MoveTo(cursor + int(s.size()));
    return true;
  }
};

struct Model {
  FieldModel fields[3];
  int focus = 0;
  double coefficient[3] = {0, 0, 0};
  double discriminant = 0, x0 = 0, x1 = 0, x2 = 0;
  QString solutions;

  // The change handler's work for the edited field: true when it overflows.
  bool Changed(int field) {
    const std::string bytes = ToCodePage(fields[field].text);
    if (const auto value = ReferenceStrToFloat(bytes, '.')) {
      const auto stored = ReferenceStoreDouble(*value);
      if (!stored) return true;
      coefficient[field] = *stored;
    }
    const auto text = ReferenceSolve(coefficient[0], coefficient[1], coefficient[2], discriminant,
                                     x0, x1, x2, '.');
    if (!text) return true;
    solutions = FromCodePage(*text);
    return false;
  }
};

bool SameBits(double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; }

}  // namespace

class MonkeyTest : public QObject {
  Q_OBJECT

 private slots:
  void randomEditsAgreeWithTheModel() {
    const unsigned seed = qEnvironmentVariableIsSet("TARVELIN_MONKEY_SEED")
                              ? qEnvironmentVariableIntValue("TARVELIN_MONKEY_SEED")
                              : 20261211u;
    const int steps = qEnvironmentVariableIsSet("TARVELIN_MONKEY_STEPS")
                          ? qEnvironmentVariableIntValue("TARVELIN_MONKEY_STEPS")
                          : 4000;
    std::mt19937 random(seed);
    auto pick = [&random](int n) { return int(random() % unsigned(n)); };

    DecimalSeparator = '.';
    TTarvelin form(Application);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    TEdit* widgets[3] = {form.aEdit, form.bEdit, form.cEdit};
    Model model;
    model.fields[0].SelectAll();

    // Every box is closed the moment it shows; the count says how many came.
    int boxes = 0;
    QTimer closer;
    closer.setInterval(0);
    connect(&closer, &QTimer::timeout, [&boxes] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        ++boxes;
        box->button(QMessageBox::Ok)->click();
      }
    });
    closer.start();

    const QString typeable = QStringLiteral("0123456789+-.eE, a*/");
    int overflows = 0;
    for (int step = 1; step <= steps; ++step) {
      const QByteArray where = "seed " + QByteArray::number(seed) + " step " + QByteArray::number(step);
      FieldModel& f = model.fields[model.focus];
      TEdit* w = widgets[model.focus];
      bool edited = false;
      bool adoptWidgetText = false;
      const int boxesBefore = boxes;
      QByteArray action;
      switch (pick(16)) {
        case 0:
        case 1:
        case 2:
        case 3: {  // a typed character
          const QChar ch = typeable.at(pick(int(typeable.size())));
          action = "type " + QString(ch).toUtf8();
          QTest::keyClick(w, ch.toLatin1());
          if (ch.isDigit() || ch == '+' || ch == '-' || ch == '.') edited = f.Insert(ch);
          break;
        }
        case 4:
        case 5: {  // Backspace, or Ctrl+H, which is the same character
          const bool ctrlH = pick(2);
          action = ctrlH ? "ctrl+h" : "backspace";
          if (ctrlH) {
            QTest::keyClick(w, Qt::Key_H, Qt::ControlModifier);
          } else {
            QTest::keyClick(w, Qt::Key_Backspace);
          }
          edited = f.RemoveSelection();
          if (!edited && f.cursor > 0) {
            f.text.remove(f.cursor - 1, 1);
            f.MoveTo(f.cursor - 1);
            edited = true;
          }
          break;
        }
        case 6:  // Delete
          action = "delete";
          QTest::keyClick(w, Qt::Key_Delete);
          edited = f.RemoveSelection();
          if (!edited && f.cursor < f.text.size()) {
            f.text.remove(f.cursor, 1);
            edited = true;
          }
          break;
        case 7: {  // caret moves, with or without Shift
          const int kind = pick(4);
          const int length = int(f.text.size());
          if (kind == 0) {
            action = "home";
            QTest::keyClick(w, Qt::Key_Home);
            f.MoveTo(0);
          } else if (kind == 1) {
            action = "end";
            QTest::keyClick(w, Qt::Key_End);
            f.MoveTo(length);
          } else if (kind == 2) {
            action = "shift+home";
            QTest::keyClick(w, Qt::Key_Home, Qt::ShiftModifier);
            f.cursor = 0;
          } else {
            action = "shift+end";
            QTest::keyClick(w, Qt::Key_End, Qt::ShiftModifier);
            f.cursor = length;
          }
          break;
        }
        case 8:  // Left or Right, from a caret without a selection
          if (!f.HasSelection()) {
            const bool left = pick(2);
            action = left ? "left" : "right";
            QTest::keyClick(w, left ? Qt::Key_Left : Qt::Key_Right);
            f.MoveTo(f.cursor + (left ? -1 : 1));
          }
          break;
        case 9:
        case 10: {  // Tab or Shift+Tab: the next field, all selected
          const bool back = pick(2);
          action = back ? "shift+tab" : "tab";
          QTest::keyClick(w, back ? Qt::Key_Backtab : Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
          f.MoveTo(f.cursor);  // the field left behind loses its selection
          model.focus = (model.focus + (back ? 2 : 1)) % 3;
          model.fields[model.focus].SelectAll();
          break;
        }
        case 11:
        case 12: {  // Shift+Insert pastes any text at all
          QString clip;
          switch (pick(6)) {
            case 0: break;  // empty
            case 1: clip = QString::number(double(random()) / 1000.0 - 2e6, 'g', 1 + pick(17)); break;
            case 2: clip = QStringLiteral("1e") + QString::number(300 + pick(20)); break;  // near overflow
            case 3: clip = QString(1000 + pick(9000), QLatin1Char('0' + pick(10))); break;  // long
            case 4:
              for (int i = pick(12); i >= 0; --i) clip += QChar(char16_t(1 + pick(0xFF)));
              break;  // any bytes of the code page, controls included
            default: clip = QString::fromUtf8("\xE2\x88\x92" "5\t\xE4\xB8\x80"); break;  // Unicode minus, tab, CJK
          }
          action = "paste " + clip.left(20).toUtf8();
          QApplication::clipboard()->setText(clip);
          QTest::keyClick(w, Qt::Key_Insert, Qt::ShiftModifier);
          edited = f.Insert(clip);
          break;
        }
        case 13: {  // a control character the filter discards
          const Qt::Key keys[] = {Qt::Key_C, Qt::Key_V, Qt::Key_X, Qt::Key_Z, Qt::Key_A, Qt::Key_K};
          action = "ctrl+letter";
          QTest::keyClick(w, keys[pick(6)], Qt::ControlModifier);
          break;
        }
        case 14:
          action = "enter or escape";
          QTest::keyClick(w, pick(2) ? Qt::Key_Return : Qt::Key_Escape);
          break;
        default: {  // Undo from the context menu: the model takes the field's text
          action = "undo";
          std::unique_ptr<QMenu> menu(w->createStandardContextMenu());
          for (QAction* a : menu->actions()) {
            if (a->text().startsWith(QLatin1String("&Undo")) && a->isEnabled()) {
              a->trigger();
              adoptWidgetText = true;
              edited = true;  // an enabled undo always changes the text back: an edit
            }
          }
          break;
        }
      }
      if (adoptWidgetText) {
        f.text = w->text();
        f.cursor = w->cursorPosition();
        f.anchor = w->hasSelectedText()
                       ? (w->selectionStart() == f.cursor ? w->selectionEnd() : w->selectionStart())
                       : f.cursor;
      }
      const bool overflow = edited && model.Changed(model.focus);
      if (overflow) {
        ++overflows;
        QTRY_VERIFY2(boxes == boxesBefore + 1, where + " " + action + ": no box");
        QTRY_VERIFY2(QApplication::focusWidget() == w, where);
      } else {
        QTest::qWait(0);
        QVERIFY2(boxes == boxesBefore, where + " " + action + ": a stray box");
      }

      // The whole window against the model.
      for (int i = 0; i < 3; ++i) {
        QVERIFY2(widgets[i]->text() == model.fields[i].text,
                 where + " " + action + ": field " + QByteArray::number(i) + " shows \"" +
                     widgets[i]->text().left(40).toUtf8() + "\", expected \"" +
                     model.fields[i].text.left(40).toUtf8() + "\"");
      }
      for (int i = 0; i < 3; ++i) {
        const FieldModel& m = model.fields[i];
        const QByteArray which = where + " " + action + ": field " + QByteArray::number(i);
        QVERIFY2(widgets[i]->cursorPosition() == m.cursor, which + " caret");
        QVERIFY2(widgets[i]->selectionStart() == (m.HasSelection() ? m.SelectionStart() : -1),
                 which + " selection");
      }
      QVERIFY2(QApplication::focusWidget() == widgets[model.focus], where + " " + action + ": focus");
      QVERIFY2(form.sEdit->text() == model.solutions, where + " " + action + ": solutions \"" +
                                                         form.sEdit->text().toUtf8() + "\"");
      const TTarvelin::State s = form.EquationState();
      QVERIFY2(SameBits(s.a, model.coefficient[0]) && SameBits(s.b, model.coefficient[1]) &&
                   SameBits(s.c, model.coefficient[2]),
               where + " " + action + ": coefficients");
      QVERIFY2(SameBits(s.discriminant, model.discriminant) && SameBits(s.x0, model.x0) &&
                   SameBits(s.x1, model.x1) && SameBits(s.x2, model.x2),
               where + " " + action + ": members");
    }
    closer.stop();
    qInfo("%d steps, %d overflow boxes", steps, overflows);
    QVERIFY(overflows > 0);  // the generator does reach the error box
  }
};

int main(int argc, char** argv) {
  TApplication application(argv[0]);
  application.SetTitle("Tarvelin");
  MonkeyTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "monkey_test.moc"
