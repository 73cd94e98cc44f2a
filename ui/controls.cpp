#include "ui/controls.h"

#include <QApplication>
#include <QFontInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>
#include <limits>

#include "ui/code_page.h"

namespace {

// What a key event means to an edit field of the design's platform.
enum class KeyKind {
  Characters,  // produces characters: they go through OnKeyPress, never to QLineEdit
  Command,     // a key without a character (arrows, Delete, Shift+Insert...): QLineEdit acts
  Swallowed,   // Ctrl with a printing key that gives no code: nothing happens
  SystemKey,   // Alt or Meta with a printing key: nothing in the field; the window may want it
};

struct KeyMeaning {
  KeyKind kind = KeyKind::Command;
  std::string codes;
};

bool IsControl(QChar ch) { return ch.unicode() < 0x20 || (ch.unicode() >= 0x7F && ch.unicode() < 0xA0); }

bool HasPrintingText(const QKeyEvent* e) {
  const QString text = e->text();
  return !text.isEmpty() && !IsControl(text.at(0));
}

KeyMeaning Interpret(const QKeyEvent* e) {
  const int key = e->key();
  const Qt::KeyboardModifiers mods = e->modifiers();
  const bool ctrl = mods & Qt::ControlModifier;
  const bool altOrMeta = mods & (Qt::AltModifier | Qt::MetaModifier);

  // Focus keys belong to the window. Delete is a key, although xcb gives it the
  // text U+007F.
  if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Delete) return {};

  if (altOrMeta) return {HasPrintingText(e) ? KeyKind::SystemKey : KeyKind::Command, {}};

  if (ctrl) {
    // The code comes from the key, never from the event's text: QTest gives "c"
    // for Ctrl+C where X gives U+0003, and Shift changes neither.
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
      return {KeyKind::Characters, std::string(1, static_cast<char>(key - Qt::Key_A + 1))};
    }
    switch (key) {
      case Qt::Key_Backspace: return {KeyKind::Characters, "\x7F"};
      case Qt::Key_Return:
      case Qt::Key_Enter: return {KeyKind::Characters, "\n"};
      case Qt::Key_Escape:
      case Qt::Key_BracketLeft: return {KeyKind::Characters, "\x1B"};
      case Qt::Key_Backslash: return {KeyKind::Characters, "\x1C"};
      case Qt::Key_BracketRight: return {KeyKind::Characters, "\x1D"};
      default: return {HasPrintingText(e) ? KeyKind::Swallowed : KeyKind::Command, {}};
    }
  }

  switch (key) {
    case Qt::Key_Backspace: return {KeyKind::Characters, "\b"};
    case Qt::Key_Return:
    case Qt::Key_Enter: return {KeyKind::Characters, "\r"};
    case Qt::Key_Escape: return {KeyKind::Characters, "\x1B"};
    default: break;
  }
  if (!HasPrintingText(e)) return {};
  KeyMeaning meaning{KeyKind::Characters, {}};
  for (const QChar ch : e->text()) {
    if (IsControl(ch)) continue;
    if (const auto code = ToCodePage(ch)) meaning.codes += *code;  // others are dropped unseen
  }
  return meaning;
}

bool IsPrintable(char code) {
  const auto byte = static_cast<unsigned char>(code);
  return byte >= 0x20 && byte != 0x7F;
}

}  // namespace

TEdit::TEdit(QWidget* parent) : QLineEdit(parent) {
  setMaxLength(std::numeric_limits<int>::max());  // no length limit
  // textEdited is the user's edits only; programmatic changes go through SetText.
  connect(this, &QLineEdit::textEdited, this, [this] { emit OnChange(this); });
}

std::string TEdit::Text() const { return ToCodePage(text()); }

void TEdit::SetText(const std::string& Text) {
  const QString newText = FromCodePage(Text);
  if (newText == text()) return;
  setText(newText);
  emit OnChange(this);
}

bool TEdit::event(QEvent* e) {
  if (e->type() == QEvent::ShortcutOverride) {
    // A key that produces a character is the field's: no shortcut may take it,
    // so that it reaches KeyPress and the filter. Alt and Meta keys stay free
    // for the window's shortcuts.
    const KeyKind kind = Interpret(static_cast<QKeyEvent*>(e)).kind;
    if (kind == KeyKind::Characters || kind == KeyKind::Swallowed) {
      e->accept();
      return true;
    }
  } else if (e->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(e);
    const KeyMeaning meaning = Interpret(key);
    if (meaning.kind == KeyKind::Characters) {
      for (const char code : meaning.codes) {
        const char kept = Filter(code);
        if (kept != 0) ProcessCharacter(kept);
      }
      e->accept();
      return true;
    }
    if (meaning.kind == KeyKind::Swallowed) {
      e->accept();
      return true;
    }
    if (meaning.kind == KeyKind::SystemKey) {
      e->ignore();
      return true;
    }
  }
  return QLineEdit::event(e);
}

char TEdit::Filter(char code) {
  char key = code;
  emit OnKeyPress(this, key);
  return key;
}

void TEdit::ProcessCharacter(char code) {
  switch (code) {
    case '\b':  // Backspace, and Ctrl+H, which QLineEdit itself would ignore
      if (!isReadOnly()) backspace();
      return;
    case '\x01': selectAll(); return;
    case '\x03': copy(); return;
    case '\x16':
      if (!isReadOnly()) paste();
      return;
    case '\x18':
      if (!isReadOnly()) cut();
      return;
    case '\x1A':
      if (!isReadOnly()) undo();
      return;
    default:
      if (IsPrintable(code) && !isReadOnly()) insert(QString(FromCodePage(code)));
      return;
  }
}

void TEdit::inputMethodEvent(QInputMethodEvent* e) {
  // Composed characters (dead keys, compose sequences, input methods) arrive
  // here and not as key presses; each one passes the filter on its own.
  const QString commit = e->commitString();
  if (commit.isEmpty()) {
    QLineEdit::inputMethodEvent(e);
    return;
  }
  QString kept;
  for (const QChar ch : commit) {
    const auto code = ToCodePage(ch);
    if (!code || IsControl(ch)) continue;
    const char key = Filter(*code);
    if (key != 0 && IsPrintable(key)) kept += FromCodePage(key);
  }
  QInputMethodEvent filtered(e->preeditString(), e->attributes());
  if (kept.isEmpty()) {
    filtered.setCommitString(QString());  // nothing kept: replace nothing either
  } else {
    filtered.setCommitString(kept, e->replacementStart(), e->replacementLength());
  }
  QLineEdit::inputMethodEvent(&filtered);
  e->accept();
}

void TEdit::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  // Qt selects all on Tab and Backtab; a field entered by a right click
  // selects all too. A left click keeps the caret where it lands, and the
  // window's re-activation selects nothing.
  if (e->reason() == Qt::MouseFocusReason && (QGuiApplication::mouseButtons() & Qt::RightButton)) {
    selectAll();
  }
}

TLabel::TLabel(QWidget* parent) : QLabel(parent) {}

void TLabel::AdjustBounds() {
  if (wordWrap()) {
    resize(width(), heightForWidth(width()));
  } else {
    resize(sizeHint());
  }
}

TGroupBox::TGroupBox(QWidget* parent) : QGroupBox(parent) {}

void TGroupBox::paintEvent(QPaintEvent*) {
  // Drawn here rather than by the style, which puts the frame below the
  // title, where the layout has its first line of text.
  QPainter painter(this);
  const QFontMetrics metrics(font());
  const int textHeight = metrics.height();
  // An etched frame: a sunken shadow line with a light line inside it.
  qDrawShadeRect(&painter, rect().adjusted(0, textHeight / 2, 0, 0), palette(), true, 1, 0);
  if (title().isEmpty()) return;
  const QRect caption(8, 0, metrics.horizontalAdvance(title()), textHeight);
  painter.fillRect(caption, palette().brush(backgroundRole()));
  style()->drawItemText(&painter, caption, Qt::AlignLeft | Qt::AlignTop, palette(), isEnabled(),
                        title(), foregroundRole());
}

namespace {

std::optional<QPalette::ColorRole> SystemColorRole(const QString& name) {
  if (name == QLatin1String("clBtnFace")) return QPalette::Window;
  if (name == QLatin1String("clWindow")) return QPalette::Base;
  if (name == QLatin1String("clWindowText")) return QPalette::WindowText;
  if (name == QLatin1String("clInfoBk")) return QPalette::ToolTipBase;
  if (name == QLatin1String("clActiveCaption")) return QPalette::Highlight;
  return std::nullopt;
}

// The designed fonts are not on Linux. Each substitute is chosen so that a line
// of text keeps the designed height (13, 23 and 15 pixels), and the sans-serif
// one is narrowed so that the captions keep their designed widths within a
// pixel or so: the labels are placed and sized for them.
struct FontSubstitute {
  const char* name;
  int height;  // the designed size: the character height in pixels
  const char* family;
  int pixelSize;
  int stretch;
};

constexpr FontSubstitute kFontSubstitutes[] = {
    {"MS Sans Serif", 11, "Liberation Sans", 11, 95},  // line height 13
    {"Comic Sans MS", 16, "Comic Neue", 20, 100},      // line height 23
    {"Comic Sans MS", 11, "Comic Neue", 13, 100},      // line height 15
};

}  // namespace

QFont DesignedFont(const QString& name, int height) {
  QFont font;
  font.setFamily(name);
  font.setPixelSize(height);
  for (const FontSubstitute& s : kFontSubstitutes) {
    if (name == QLatin1String(s.name) && height == s.height) {
      font.setFamily(QString::fromLatin1(s.family));
      font.setPixelSize(s.pixelSize);
      font.setStretch(s.stretch);
    }
  }
  return font;
}

void ApplyDesignedAppearance(QWidget* control) {
  const QPalette system = QApplication::palette(control);
  QPalette palette = control->palette();
  bool paletteSet = false;
  if (const auto role = SystemColorRole(control->property("Color").toString())) {
    palette.setColor(control->backgroundRole(), system.color(*role));
    paletteSet = true;
  }
  if (const auto role = SystemColorRole(control->property("FontColor").toString())) {
    palette.setColor(control->foregroundRole(), system.color(*role));
    paletteSet = true;
  }
  if (paletteSet) control->setPalette(palette);

  const QString fontName = control->property("FontName").toString();
  const int fontHeight = control->property("FontHeight").toInt();
  if (!fontName.isEmpty() && fontHeight > 0) control->setFont(DesignedFont(fontName, fontHeight));
}
