// The main window, driven through real widgets and key events.
#include <QAccessible>
#include <QClipboard>
#include <QFontInfo>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

#include "core/number_text.h"
#include "tests/ui/ui_test_support.h"
#include "ui/application.h"
#include "ui/tarvelin.h"

namespace {

// The accessibility events the window sends, as an assistive technology gets them.
std::vector<std::pair<QAccessible::Event, QString>> accessibilityEvents;
QObject* accessibilityWatched = nullptr;
void RecordAccessibilityEvent(QAccessibleEvent* event) {
  if (event->object() != accessibilityWatched) return;
  QString text;
  if (event->type() == QAccessible::TextUpdated) {
    text = static_cast<QAccessibleTextUpdateEvent*>(event)->textInserted();
  } else if (event->type() == QAccessible::TextInserted) {
    text = static_cast<QAccessibleTextInsertEvent*>(event)->textInserted();
  }
  accessibilityEvents.emplace_back(event->type(), text);
}

bool OnX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

// Counts key events that reach the window itself, past the fields.
class KeyCounter : public QObject {
 public:
  int keys = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(e)->key();
    // QTest presses the modifier keys themselves too; they are not characters.
    if (key != Qt::Key_Shift && key != Qt::Key_Control && key != Qt::Key_Alt) ++keys;
    return false;
  }
};

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TTarvelin> form;

  void Show() {
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
  }
  // Types text into the focused field, one key at a time.
  static void Type(const char* text) {
    for (const char* p = text; *p; ++p) {
      QTest::keyClick(QApplication::focusWidget(), *p);
    }
  }

 private slots:
  void init() {
    DecimalSeparator = '.';
    form = std::make_unique<TTarvelin>(Application);
  }
  void cleanup() {
    if (form) form->close();
    form.reset();
    QApplication::clipboard()->clear();
  }

  void startsWithZerosAndNoSolutions() {
    DecimalSeparator = ',';
    form = std::make_unique<TTarvelin>(Application);
    QCOMPARE(DecimalSeparator, '.');  // the window works with the full stop
    Show();
    QCOMPARE(form->windowTitle(), QStringLiteral("Tarvelin"));
    for (TEdit* field : {form->aEdit, form->bEdit, form->cEdit}) {
      QCOMPARE(field->text(), QStringLiteral("0"));
    }
    QCOMPARE(form->sEdit->text(), QString());
    const TTarvelin::State s = form->EquationState();
    for (double member : {s.a, s.b, s.c, s.discriminant, s.x0, s.x1, s.x2}) QCOMPARE(member, 0.0);
    QCOMPARE(QApplication::focusWidget(), form->aEdit);
    QCOMPARE(form->aEdit->selectedText(), QStringLiteral("0"));

    // The first character replaces the selected "0" and solves once.
    QSignalSpy changes(form->aEdit, &TEdit::OnChange);
    QTest::keyClick(form->aEdit, '2');
    QCOMPARE(form->aEdit->text(), QStringLiteral("2"));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(form->sEdit->text(), QStringLiteral("0.00"));
  }

  void editSequenceTypedKeyByKey() {
    Show();
    struct Step {
      std::function<void()> edit;
      TEdit* TTarvelin::*field;
      const char* text;
      double a, b, c;
      const char* solutions;
    };
    auto key = [](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
      return [k, m] { QTest::keyClick(QApplication::focusWidget(), k, m); };
    };
    auto type = [](const char* t) { return [t] { Type(t); }; };
    const Step steps[] = {
        {type("1"), &TTarvelin::aEdit, "1", 1, 0, 0, "0.00"},
        {key(Qt::Key_Backspace), &TTarvelin::aEdit, "", 1, 0, 0, "0.00"},
        {type("-"), &TTarvelin::aEdit, "-", 1, 0, 0, "0.00"},
        {type("1"), &TTarvelin::aEdit, "-1", -1, 0, 0, "0.00"},
        {[] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
              QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
              Type("4"); }, &TTarvelin::cEdit, "4", -1, 0, 4, "-2.00 et 2.00"},
        {type("-"), &TTarvelin::cEdit, "4-", -1, 0, 4, "-2.00 et 2.00"},
        {[] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
              Type("3"); }, &TTarvelin::bEdit, "3", -1, 3, 4, "-1.00 et 4.00"},
        {[] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
              QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace); },
         &TTarvelin::aEdit, "", -1, 3, 4, "-1.00 et 4.00"},
        {type("0"), &TTarvelin::aEdit, "0", 0, 3, 4, "-1.33"},
    };
    int number = 0;
    for (const Step& step : steps) {
      ++number;
      step.edit();
      const TTarvelin::State s = form->EquationState();
      const QByteArray where = "step " + QByteArray::number(number);
      QVERIFY2(QApplication::focusWidget() == form.get()->*step.field, where);
      QVERIFY2((form.get()->*step.field)->text() == QString::fromUtf8(step.text), where);
      QVERIFY2(s.a == step.a && s.b == step.b && s.c == step.c, where);
      QVERIFY2(form->sEdit->text() == QString::fromUtf8(step.solutions), where);
    }

    // Step 10: "1e400" pasted over the selected "3" by Shift+Insert overflows.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QApplication::clipboard()->setText(QStringLiteral("1e400"));
    const SeenBox box = CloseBoxesDuring(
        [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Insert, Qt::ShiftModifier); });
    QCOMPARE(box.count, 1);
    QCOMPARE(box.title, QStringLiteral("Tarvelin"));
    QCOMPARE(box.text, QStringLiteral("Floating point overflow."));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(form->bEdit->text(), QStringLiteral("1e400"));
    QCOMPARE(form->EquationState().b, 3.0);
    QCOMPARE(form->sEdit->text(), QStringLiteral("-1.33"));
    // The window is active again with the focus and caret where they were.
    QTRY_VERIFY(form->isActiveWindow());
    QTRY_COMPARE(QApplication::focusWidget(), form->bEdit);
    QCOMPARE(form->bEdit->cursorPosition(), 5);

    // Step 11: the next edit computes normally.
    QTest::keyClick(form->bEdit, Qt::Key_Home, Qt::ShiftModifier);
    Type("1");
    QCOMPARE(form->bEdit->text(), QStringLiteral("1"));
    QCOMPARE(form->EquationState().b, 1.0);
    QCOMPARE(form->sEdit->text(), QStringLiteral("-4.00"));
  }

  void overflowInTheSolver() {
    Show();
    QTest::keyClick(form->aEdit, '1');
    QTest::keyClick(form->aEdit, Qt::Key_Tab);
    QTest::keyClick(form->bEdit, '1');
    QCOMPARE(form->sEdit->text(), QStringLiteral("0.00 et -1.00"));
    Type(QByteArray(154, '0').constData());
    const QString before = form->sEdit->text();
    const double discriminant = form->EquationState().discriminant;
    // b = 1 followed by 155 zeros: b * b no longer fits a double.
    const SeenBox box = CloseBoxesDuring([] { Type("0"); });
    QCOMPARE(box.count, 1);
    QCOMPARE(box.text, QStringLiteral("Floating point overflow."));
    QCOMPARE(form->sEdit->text(), before);
    QCOMPARE(form->EquationState().b, 1e155);
    QCOMPARE(form->EquationState().discriminant, discriminant);
    QCOMPARE(form->bEdit->text().size(), 156);
    QTRY_COMPARE(QApplication::focusWidget(), form->bEdit);
    QTest::keyClick(form->bEdit, Qt::Key_Backspace);  // the next edit computes normally
    QCOMPARE(form->sEdit->text(), before);
    QVERIFY(form->sEdit->text() != QStringLiteral("0.00 et -1.00"));
  }

  void overflowingCoefficient_data() {
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QByteArray>("typed");
    QTest::newRow("pasted 1e400") << QStringLiteral("1e400") << QByteArray();
    QTest::newRow("pasted 2e308") << QStringLiteral("2e308") << QByteArray();
    QTest::newRow("typed 2 and 308 zeros") << QString() << ("2" + QByteArray(308, '0'));
  }

  void overflowingCoefficient() {
    QFETCH(QString, pasted);
    QFETCH(QByteArray, typed);
    Show();
    Type("1");  // a = 1: "0.00"
    QTest::keyClick(form->aEdit, Qt::Key_Tab);
    QTest::keyClick(form->bEdit, Qt::Key_Tab);
    TEdit* field = form->cEdit;
    QString expected;
    SeenBox box;
    if (!pasted.isEmpty()) {
      QApplication::clipboard()->setText(pasted);
      box = CloseBoxesDuring([field] { QTest::keyClick(field, Qt::Key_Insert, Qt::ShiftModifier); });
      expected = pasted;
    } else {
      Type(typed.left(typed.size() - 1).constData());  // 2e307 fits
      QCOMPARE(form->sEdit->text(), QStringLiteral("Pas de Solutions r\u00E9elles"));
      form->sEdit->SetText("marker");  // to see that the overflowing edit writes nothing
      box = CloseBoxesDuring([] { Type("0"); });
      expected = QString::fromLatin1(typed);
    }
    QCOMPARE(box.count, 1);
    QCOMPARE(box.text, QStringLiteral("Floating point overflow."));
    QCOMPARE(field->text(), expected);
    const double before = pasted.isEmpty() ? 2e307 : 0.0;
    QCOMPARE(form->EquationState().c, before);
    QCOMPARE(form->sEdit->text(), pasted.isEmpty() ? QStringLiteral("marker") : QStringLiteral("0.00"));
    QTRY_COMPARE(QApplication::focusWidget(), field);
    QCOMPARE(field->cursorPosition(), int(expected.size()));
    QTest::keyClick(field, Qt::Key_Backspace);  // the next edit is computed normally: c > 0
    QCOMPARE(form->sEdit->text(), QStringLiteral("Pas de Solutions r\u00E9elles"));
  }

  void pastedTextThatIsNotANumber_data() {
    QTest::addColumn<QString>("pasted");
    QTest::newRow("tab inside") << QStringLiteral("1\t2");
    QTest::newRow("leading tab") << QStringLiteral("\t5");
    QTest::newRow("newline") << QStringLiteral("5\n");
    QTest::newRow("NUL") << QString(QStringLiteral("5")) + QChar(0) + QStringLiteral("1");
    QTest::newRow("Unicode minus") << QString::fromUtf8("\xE2\x88\x92" "5");
    QTest::newRow("fullwidth digit") << QString::fromUtf8("\xEF\xBC\x95");
    QTest::newRow("Cyrillic") << QString::fromUtf8("\xD0\x96");
    QTest::newRow("outside the BMP") << QString::fromUtf8("\xF0\x9D\x9F\x93");  // a math digit
    QTest::newRow("no-break space") << QString::fromUtf8("\xC2\xA0" "5");
  }

  // Such texts reach a field only by pasting; they leave the coefficient as it
  // was, and the solutions are computed with it.
  void pastedTextThatIsNotANumber() {
    QFETCH(QString, pasted);
    Show();
    Type("2");  // a = 2: "0.00"
    QTest::keyClick(form->aEdit, Qt::Key_Tab);
    Type("4");  // b = 4: "0.00 et -2.00"
    QApplication::clipboard()->setText(pasted);
    form->bEdit->selectAll();
    QSignalSpy changes(form->bEdit, &TEdit::OnChange);
    QTest::keyClick(form->bEdit, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(changes.count(), 1);
    QVERIFY(!form->bEdit->text().isEmpty());
    QCOMPARE(form->EquationState().b, 4.0);
    QCOMPARE(form->sEdit->text(), QStringLiteral("0.00 et -2.00"));
  }

  void pastedMegabyteOfDigits() {
    Show();
    Type("1");  // a = 1
    QTest::keyClick(form->aEdit, Qt::Key_Tab);
    Type("3");  // b = 3
    const QString before = form->sEdit->text();
    // Every digit goes through the accumulator, which overflows the extended
    // range long before a million digits: not a number, so b stays 3.
    QApplication::clipboard()->setText(QString(1 << 20, QLatin1Char('7')));
    form->bEdit->selectAll();
    QTest::keyClick(form->bEdit, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(form->bEdit->text().size(), 1 << 20);
    QCOMPARE(form->EquationState().b, 3.0);
    QCOMPARE(form->sEdit->text(), before);
    // A megabyte of zeros after the point is a number: 0.
    QApplication::clipboard()->setText(QStringLiteral("0.") + QString(1 << 20, QLatin1Char('0')));
    form->bEdit->selectAll();
    QTest::keyClick(form->bEdit, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(form->EquationState().b, 0.0);
    QCOMPARE(form->sEdit->text(), QStringLiteral("0.00"));
  }

  void hundredOverflowsInARow() {
    Show();
    Type("1");
    QTest::keyClick(form->aEdit, Qt::Key_Tab);
    Type("5");
    const QString solutions = form->sEdit->text();
    QApplication::clipboard()->setText(QStringLiteral("2e308"));
    for (int i = 0; i < 100; ++i) {
      form->bEdit->selectAll();
      const SeenBox box = CloseBoxesDuring(
          [this] { QTest::keyClick(form->bEdit, Qt::Key_Insert, Qt::ShiftModifier); });
      QCOMPARE(box.count, 1);
      QTRY_COMPARE(QApplication::focusWidget(), form->bEdit);
    }
    QCOMPARE(form->EquationState().b, 5.0);
    QCOMPARE(form->sEdit->text(), solutions);
    QVERIFY(!QApplication::activeModalWidget());
    form->bEdit->selectAll();
    Type("3");
    QCOMPARE(form->sEdit->text(), QStringLiteral("0.00 et -3.00"));
  }

  void keyFilter_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("xcbText");  // what the X server's key event carries
    QTest::addColumn<QString>("after");    // the field's text after the key, from "12|" (caret at end)
    QTest::addColumn<int>("cursor");
    const int none = Qt::NoModifier, ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier;
    const QString c0 = QStringLiteral("12");
    auto row = [](const char* name, int key, int mods, QString text, QString after, int cursor) {
      QTest::newRow(name) << key << mods << text << after << cursor;
    };
    row("digit", Qt::Key_7, none, "7", "127", 3);
    row("plus", Qt::Key_Plus, shift, "+", "12+", 3);
    row("minus", Qt::Key_Minus, none, "-", "12-", 3);
    row("full stop", Qt::Key_Period, none, ".", "12.", 3);
    row("lower e", Qt::Key_E, none, "e", c0, 2);
    row("upper E", Qt::Key_E, shift, "E", c0, 2);
    row("comma", Qt::Key_Comma, none, ",", c0, 2);
    row("space", Qt::Key_Space, none, " ", c0, 2);
    row("letter", Qt::Key_Q, none, "q", c0, 2);
    row("star", Qt::Key_Asterisk, shift, "*", c0, 2);
    row("slash", Qt::Key_Slash, none, "/", c0, 2);
    row("euro sign", Qt::Key_unknown, none, QString(QChar(0x20AC)), c0, 2);
    row("outside the code page", Qt::Key_unknown, none, QString(QChar(0x0416)), c0, 2);
    row("backspace", Qt::Key_Backspace, none, "\b", "1", 1);
    row("ctrl+h deletes", Qt::Key_H, ctrl, QString(QChar(8)), "1", 1);
    row("ctrl+backspace", Qt::Key_Backspace, ctrl, QString(QChar(127)), c0, 2);
    row("enter", Qt::Key_Return, none, "\r", c0, 2);
    row("keypad enter", Qt::Key_Enter, Qt::KeypadModifier, "\r", c0, 2);
    row("escape", Qt::Key_Escape, none, QString(QChar(27)), c0, 2);
    row("ctrl+c", Qt::Key_C, ctrl, QString(QChar(3)), c0, 2);
    row("ctrl+v", Qt::Key_V, ctrl, QString(QChar(22)), c0, 2);
    row("ctrl+x", Qt::Key_X, ctrl, QString(QChar(24)), c0, 2);
    row("ctrl+z", Qt::Key_Z, ctrl, QString(QChar(26)), c0, 2);
    row("ctrl+shift+z", Qt::Key_Z, ctrl | shift, QString(QChar(26)), c0, 2);
    row("ctrl+y", Qt::Key_Y, ctrl, QString(QChar(25)), c0, 2);
    row("ctrl+a", Qt::Key_A, ctrl, QString(QChar(1)), c0, 2);
    row("ctrl+k", Qt::Key_K, ctrl, QString(QChar(11)), c0, 2);
    row("ctrl+d", Qt::Key_D, ctrl, QString(QChar(4)), c0, 2);
    row("ctrl+e", Qt::Key_E, ctrl, QString(QChar(5)), c0, 2);
    row("ctrl+1", Qt::Key_1, ctrl, "1", c0, 2);
    row("alt+e", Qt::Key_E, Qt::AltModifier, "e", c0, 2);
    row("delete", Qt::Key_Delete, none, QString(QChar(127)), c0, 2);
    row("left", Qt::Key_Left, none, "", c0, 1);
    row("home", Qt::Key_Home, none, "", c0, 0);
    row("shift+insert pastes", Qt::Key_Insert, shift, "", "1299", 4);
    row("shift+delete cuts", Qt::Key_Delete, shift, QString(QChar(127)), c0, 2);
    row("ctrl+insert copies", Qt::Key_Insert, ctrl, "", c0, 2);
  }

  // Each key twice: once with the text QTest gives it, once with the X server's.
  void keyFilter() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, xcbText);
    QFETCH(QString, after);
    QFETCH(int, cursor);
    Show();
    KeyCounter counter;
    form->installEventFilter(&counter);
    TEdit* field = form->aEdit;
    const auto mods = Qt::KeyboardModifiers(modifiers);
    for (int style = 0; style < 2; ++style) {
      field->setText(QStringLiteral("12"));  // no user edit: OnChange does not run
      field->setCursorPosition(2);
      QApplication::clipboard()->setText(QStringLiteral("99"));
      QSignalSpy changes(field, &TEdit::OnChange);
      QSignalSpy returns(field, &QLineEdit::returnPressed);
      if (style == 0 && key != Qt::Key_unknown) {
        QTest::keyClick(field, Qt::Key(key), mods);
      } else {
        XcbKey(field, Qt::Key(key), xcbText, mods);
      }
      const QByteArray where = style == 0 ? "QTest text" : "xcb text";
      QVERIFY2(field->text() == after, where + ": " + field->text().toUtf8());
      QVERIFY2(field->cursorPosition() == cursor, where);
      QVERIFY2(changes.count() == (after == QLatin1String("12") ? 0 : 1), where);
      QVERIFY2(returns.count() == 0, where);
      const bool copies = key == Qt::Key_Insert && mods == Qt::ControlModifier;
      QVERIFY2(QApplication::clipboard()->text() == QLatin1String("99") || copies, where);
      QVERIFY2(field->selectedText().isEmpty(), where);
    }
    // Discarded characters do not travel on to the window either.
    const bool travels = modifiers & Qt::AltModifier;  // a system key: the window's
    QCOMPARE(counter.keys, travels ? 2 : 0);
  }

  void cutAndCopyKeysActOnTheSelection() {
    Show();
    TEdit* field = form->aEdit;
    field->setText(QStringLiteral("123"));
    field->setSelection(0, 2);
    QTest::keyClick(field, Qt::Key_Insert, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("12"));
    QTest::keyClick(field, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(field->text(), QStringLiteral("3"));
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("12"));
    QCOMPARE(form->EquationState().a, 3.0);
  }

  void theCurrentSeparatorPasses() {
    Show();
    DecimalSeparator = ',';
    TEdit* field = form->aEdit;
    QTest::keyClicks(field, "2,5");
    QCOMPARE(field->text(), QStringLiteral("2,5"));
    QCOMPARE(form->EquationState().a, 2.5);
    QCOMPARE(form->sEdit->text(), QStringLiteral("0,00"));
    QTest::keyClick(field, Qt::Key_Home, Qt::ShiftModifier);
    QTest::keyClicks(field, ".5");
    QCOMPARE(field->text(), QStringLiteral(".5"));
    QCOMPARE(form->EquationState().a, 2.5);  // "." no longer parses: stale
  }

  void composedCharactersPassOneByOne() {
    Show();
    TEdit* field = form->aEdit;
    field->setText(QString());
    QSignalSpy changes(field, &TEdit::OnChange);
    QInputMethodEvent accented(QString(), {});
    accented.setCommitString(QString::fromUtf8("\xC3\xA9"));  // a dead key and e: discarded
    QApplication::sendEvent(field, &accented);
    QCOMPARE(field->text(), QString());
    QCOMPARE(changes.count(), 0);
    QInputMethodEvent mixed(QString(), {});
    mixed.setCommitString(QStringLiteral("1a2"));
    QApplication::sendEvent(field, &mixed);
    QCOMPARE(field->text(), QStringLiteral("12"));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(form->EquationState().a, 12.0);
  }

  void contextMenuPasteAndUndoAreNotFiltered() {
    Show();
    TEdit* field = form->aEdit;
    QApplication::clipboard()->setText(QStringLiteral("1e3"));
    std::unique_ptr<QMenu> menu(field->createStandardContextMenu());
    // The standard menu's actions, by their (untranslated) text.
    auto action = [&menu](const char* name) -> QAction* {
      for (QAction* a : menu->actions()) {
        if (a->text().startsWith(QLatin1String(name))) return a;
      }
      return nullptr;
    };
    field->selectAll();
    QVERIFY(action("&Paste"));
    action("&Paste")->trigger();
    QCOMPARE(field->text(), QStringLiteral("1e3"));
    QCOMPARE(form->EquationState().a, 1000.0);
    QApplication::clipboard()->setText(QStringLiteral("abc"));
    field->selectAll();
    menu.reset(field->createStandardContextMenu());
    action("&Paste")->trigger();
    QCOMPARE(field->text(), QStringLiteral("abc"));
    QCOMPARE(form->EquationState().a, 1000.0);  // stale, and solved with it
    QCOMPARE(form->sEdit->text(), QStringLiteral("0.00"));
    menu.reset(field->createStandardContextMenu());
    QSignalSpy changes(field, &TEdit::OnChange);
    action("&Undo")->trigger();
    QCOMPARE(field->text(), QStringLiteral("1e3"));
    QCOMPARE(changes.count(), 1);
  }

  void dropIsNotFiltered() {
    Show();
    TEdit* field = form->aEdit;
    field->setText(QString());
    QMimeData data;
    data.setText(QStringLiteral("5x"));
    const QPoint at = field->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field, &drop);
    QCOMPARE(field->text(), QStringLiteral("5x"));
    QCOMPARE(form->sEdit->text(), QStringLiteral("Tous les r\u00E9els sont des solutions"));
  }

  void middleClickPastesTheSelection() {
    if (!QApplication::clipboard()->supportsSelection()) QSKIP("no X selection on this platform");
    Show();
    TEdit* field = form->aEdit;
    field->setText(QString());
    QApplication::clipboard()->setText(QStringLiteral("2e2"), QClipboard::Selection);
    QTest::mouseClick(field, Qt::MiddleButton, Qt::NoModifier, field->rect().center());
    QTRY_COMPARE(field->text(), QStringLiteral("2e2"));
    QCOMPARE(form->EquationState().a, 200.0);
  }

  void noLengthLimit() {
    Show();
    const QString digits(40000, QLatin1Char('1'));
    QApplication::clipboard()->setText(digits);
    form->aEdit->selectAll();
    form->aEdit->paste();
    QCOMPARE(form->aEdit->text().size(), 40000);
  }

  void typingOverTheSameTextCountsAsAnEdit() {
    Show();
    QSignalSpy changes(form->aEdit, &TEdit::OnChange);
    QTest::keyClick(form->aEdit, '0');  // over the selected "0"
    QCOMPARE(changes.count(), 1);
    QCOMPARE(form->sEdit->text(), QStringLiteral("Tous les r\u00E9els sont des solutions"));
  }

  void tabOrderAndSelection() {
    Show();
    QWidget* order[] = {form->bEdit, form->cEdit, form->aEdit, form->bEdit};
    for (QWidget* next : order) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), next);
      QCOMPARE(static_cast<QLineEdit*>(next)->selectedText(), QStringLiteral("0"));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), form->aEdit);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), form->cEdit);
  }

  void solutionsFieldIsReadOnlyButCopyable() {
    Show();
    QTest::keyClick(form->aEdit, '1');
    QCOMPARE(form->sEdit->text(), QStringLiteral("0.00"));
    QVERIFY(form->sEdit->isReadOnly());
    QCOMPARE(form->sEdit->focusPolicy(), Qt::ClickFocus);
    QTest::mouseClick(form->sEdit, Qt::LeftButton, Qt::NoModifier, QPoint(5, 10));
    QCOMPARE(QApplication::focusWidget(), form->sEdit);
    QTest::keyClick(form->sEdit, '5');
    QTest::keyClick(form->sEdit, Qt::Key_Backspace);
    QApplication::clipboard()->setText(QStringLiteral("7"));
    QTest::keyClick(form->sEdit, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(form->sEdit->text(), QStringLiteral("0.00"));
    QTest::keyClick(form->sEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(form->sEdit, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("0.00"));
    QTest::keyClick(form->sEdit, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form->aEdit);
    QTest::mouseClick(form->sEdit, Qt::LeftButton, Qt::NoModifier, QPoint(5, 10));
    QTest::keyClick(form->sEdit, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), form->cEdit);
  }

  void clicksAndReactivation() {
    Show();
    TEdit* field = form->bEdit;
    field->setText(QStringLiteral("12345"));
    // A left click keeps the caret where it lands and selects nothing.
    QTest::mouseClick(field, Qt::LeftButton, Qt::NoModifier, QPoint(field->width() - 5, 10));
    QCOMPARE(QApplication::focusWidget(), field);
    QCOMPARE(field->selectedText(), QString());
    QCOMPARE(field->cursorPosition(), 5);
    // A right click enters the field with all selected and opens the menu.
    QTimer::singleShot(200, [] {
      if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    });
    QTest::mouseClick(form->cEdit, Qt::RightButton, Qt::NoModifier, QPoint(5, 10));
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QCOMPARE(QApplication::focusWidget(), form->cEdit);
    QCOMPARE(form->cEdit->selectedText(), QStringLiteral("0"));
    // Leaving the window and coming back selects nothing new.
    form->cEdit->setCursorPosition(1);
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QCOMPARE(QApplication::focusWidget(), form->cEdit);
    QCOMPARE(form->cEdit->selectedText(), QString());
    QCOMPARE(form->cEdit->cursorPosition(), 1);
  }

  void layout() {
    Show();
    QCOMPARE(form->size(), QSize(408, 335));
    QCOMPARE(form->minimumSize(), QSize(408, 335));
    QCOMPARE(form->maximumSize(), QSize(408, 335));
    const Qt::WindowFlags flags = form->windowFlags();
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!form->windowIcon().isNull());

    struct Expected {
      QWidget* control;
      QRect designed;
      bool autoSized;
    };
    const Expected table[] = {
        {form->aLabel, {8, 91, 60, 13}, true},
        {form->bLabel, {8, 132, 60, 13}, true},
        {form->cLabel, {8, 172, 60, 13}, true},
        {form->sLabel, {8, 236, 49, 13}, true},
        {form->Label, {16, 12, 363, 13}, false},  // word-wrapped: keeps its width
        {form->equationLabel, {137, 29, 128, 23}, true},
        {form->bisLabel, {8, 55, 393, 13}, true},
        {form->aEdit, {104, 87, 289, 21}, false},
        {form->bEdit, {104, 127, 289, 21}, false},
        {form->cEdit, {104, 167, 289, 21}, false},
        {form->sEdit, {104, 231, 289, 21}, false},
        {form->GroupBox1, {14, 281, 377, 48}, false},
        {form->Label1, {132, 11, 112, 15}, true},
        {form->Label2, {72, 27, 232, 15}, true},
    };
    for (const Expected& e : table) {
      const QRect got = e.control->geometry();
      const QByteArray name = e.control->objectName().toUtf8();
      QVERIFY2(got.topLeft() == e.designed.topLeft(), name);
      QVERIFY2(got.height() == e.designed.height(), name + " height " + QByteArray::number(got.height()));
      if (e.autoSized) {
        // The substitute fonts are not the designed ones: a label takes its own
        // text's width, which stays within a few pixels of the designed one.
        QVERIFY2(std::abs(got.width() - e.designed.width()) <= 21,
                 name + " width " + QByteArray::number(got.width()));
      } else {
        QVERIFY2(got.width() == e.designed.width(), name);
      }
      QVERIFY2(form->rect().contains(e.control->mapTo(form.get(), e.control->rect().bottomRight())),
               name + " runs outside the window");
    }
    // The two lines of the box sit about centred in it.
    for (QWidget* line : {form->Label1, form->Label2}) {
      const int left = line->x(), right = form->GroupBox1->width() - line->geometry().right() - 1;
      QVERIFY2(std::abs(left - right) <= 2, line->objectName().toUtf8());
    }
    // The substitutes are the installed fonts the layout was measured with.
    QCOMPARE(QFontInfo(form->aLabel->font()).family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(QFontInfo(form->equationLabel->font()).family(), QStringLiteral("Comic Neue"));
    QCOMPARE(QFontInfo(form->Label1->font()).family(), QStringLiteral("Comic Neue"));
    // The designed colours are the desktop palette's roles.
    const QPalette system = QApplication::palette();
    QCOMPARE(form->sEdit->palette().color(QPalette::Base), system.color(QPalette::ToolTipBase));
    QCOMPARE(form->Label1->palette().color(QPalette::WindowText), system.color(QPalette::Highlight));
    QCOMPARE(form->aEdit->palette().color(QPalette::Base), system.color(QPalette::Base));

    const QString shot = qEnvironmentVariable("TARVELIN_SCREENSHOT");
    const QPixmap pixmap = form->grab();
    QCOMPARE(pixmap.deviceIndependentSize().toSize(), QSize(408, 335));
    if (!shot.isEmpty()) QVERIFY(pixmap.save(shot));
  }

  void fieldsAreNamedByTheirLabels() {
    Show();
    const std::pair<QWidget*, const char*> fields[] = {{form->aEdit, "Valeur de a :"},
                                                      {form->bEdit, "Valeur de b :"},
                                                      {form->cEdit, "Valeur de c :"},
                                                      {form->sEdit, "Solutions :"}};
    for (const auto& [field, name] : fields) {
      QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(field);
      QVERIFY(accessible);
      QCOMPARE(accessible->text(QAccessible::Name), QString::fromUtf8(name));
      QCOMPARE(accessible->role(), QAccessible::EditableText);
      QCOMPARE(bool(accessible->state().readOnly), field == form->sEdit);
    }
    // No caption shows an accelerator.
    for (TLabel* label : form->findChildren<TLabel*>()) QVERIFY(!label->text().contains('&'));

    // The solutions field tells assistive technology of each new text. Qt
    // sends these events only while an accessibility bridge is active: on X11
    // with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 (the X11 run sets it).
    if (!QTest::qWaitFor([] { return QAccessible::isActive(); }, 3000)) {
      QSKIP("no active accessibility bridge on this platform");
    }
    accessibilityEvents.clear();
    accessibilityWatched = form->sEdit;
    QAccessible::installUpdateHandler(RecordAccessibilityEvent);
    QTest::keyClick(form->aEdit, '1');
    QTest::keyClick(form->aEdit, Qt::Key_Tab);
    QTest::keyClick(form->bEdit, '3');
    QAccessible::installUpdateHandler(nullptr);
    accessibilityWatched = nullptr;
    QStringList announced;
    for (const auto& [type, text] : accessibilityEvents) {
      // Inserted into the empty field the first time, then updated.
      if (type == QAccessible::TextInserted || type == QAccessible::TextUpdated) announced << text;
    }
    QCOMPARE(announced, QStringList({QStringLiteral("0.00"), QStringLiteral("0.00 et -3.00")}));
  }

  void followsTheDesktopsTheme() {
    Show();
    const QPalette saved = QApplication::palette();
    QPalette dark = saved;
    dark.setColor(QPalette::Window, QColor(32, 32, 32));
    dark.setColor(QPalette::ToolTipBase, QColor(48, 48, 16));
    dark.setColor(QPalette::Highlight, QColor(0, 96, 160));
    QApplication::setPalette(dark);
    QTRY_COMPARE(form->sEdit->palette().color(QPalette::Base), QColor(48, 48, 16));
    QCOMPARE(form->Label1->palette().color(QPalette::WindowText), QColor(0, 96, 160));
    QCOMPARE(form->equationLabel->palette().color(QPalette::Window), QColor(32, 32, 32));
    QApplication::setPalette(saved);
    QTRY_COMPARE(form->sEdit->palette().color(QPalette::Base), saved.color(QPalette::ToolTipBase));
  }

  // Run once per screen configuration (see CMakeLists.txt).
  void centring() {
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    struct Place {
      QSize screen;
      QPoint topLeft;
    };
    const Place places[] = {
        {{1024, 768}, {304, 203}}, {{800, 600}, {192, 119}}, {{1920, 1080}, {752, 359}},
        {{400, 600}, {-8, 119}},   {{399, 600}, {-8, 119}},  {{1024, 361}, {304, 0}},
    };
    const Place* expected = nullptr;
    for (const Place& p : places) {
      if (p.screen == screen) expected = &p;
    }
    if (!expected) QFAIL("no expectation for this screen size");
    QCOMPARE(form->pos(), expected->topLeft);  // placed before it is shown
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    if (!OnX11()) QCOMPARE(form->pos(), expected->topLeft);
  }
};

int main(int argc, char** argv) {
  TApplication application(argv[0]);
  application.SetTitle("Tarvelin");
  WindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_test.moc"
