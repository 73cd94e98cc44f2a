// The controls the window is made of: an edit field with the keyboard events of
// a Windows edit field, a label that sizes itself to its text, a group box.
#pragma once

#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <string>

class QKeyEvent;

// A single-line edit field whose typed characters pass through OnKeyPress first.
//
// Every character the keyboard produces for the field reaches OnKeyPress as the
// code a Windows edit field receives: printable characters as their
// Windows-1252 byte (a character the code page lacks is dropped unseen),
// Backspace 8, Ctrl+Backspace 127, Enter 13, Ctrl+Enter 10, Escape 27, Ctrl with a
// letter 1 to 26 (from the key, whatever Shift does), Ctrl+[ \ ] 27 to 29. A
// handler that sets Key to 0 discards the character: nothing at all happens.
// Any other Key is processed as the field processes characters: Backspace (8)
// deletes, 1 selects all, 3 copies, 22 pastes, 24 cuts, 26 undoes, a printable
// byte is inserted; other control codes do nothing.
//
// Keys that produce no character (Delete, arrows, Home, End, Shift+Insert,
// Shift+Delete, Ctrl+Insert, Ctrl+arrows) act unfiltered, and so do the context
// menu, middle-click paste and drag and drop. Tab and Shift+Tab move the focus.
//
// OnChange runs once after each edit the user makes, synchronously, and after a
// SetText that changes the text; never while the layout is loaded.
class TEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit TEdit(QWidget* parent = nullptr);

  std::string Text() const;               // Windows-1252
  void SetText(const std::string& Text);  // runs OnChange only when the text differs

 signals:
  void OnKeyPress(QObject* Sender, char& Key);
  void OnChange(QObject* Sender);

 protected:
  bool event(QEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;

 private:
  void KeyPressed(QKeyEvent* e);
  // Runs OnKeyPress for one character; returns the Key it left (0: discarded).
  char Filter(char code);
  void ProcessCharacter(char code);
};

// A one-line caption that takes the size of its text (the layout's AutoSize):
// its top-left corner stays, its width and height follow the text in its font.
// A word-wrapped label keeps its width and takes the height its text needs.
class TLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TLabel(QWidget* parent = nullptr);
  void AdjustBounds();
};

// A framed box whose top edge carries its caption, 8 pixels from the left
// edge; the frame's top line runs at half the caption's text height. Its
// children are placed from its own top-left corner.
class TGroupBox : public QGroupBox {
  Q_OBJECT

 public:
  explicit TGroupBox(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* e) override;
};

// The layout names fonts and colours as the window was designed: system colours
// (clBtnFace, clWindow, clWindowText, clInfoBk, clActiveCaption) and fonts by name
// and height in pixels. These apply them to the control that carries them as
// the dynamic properties Color, FontName, FontHeight and FontColor: the colours
// become the current palette's roles, so the window follows the desktop's
// theme, and each font is replaced by an installed one of the same text height.
void ApplyDesignedAppearance(QWidget* control);

// The installed font that stands for a designed one (name, character height in
// pixels): same line height, about the same widths.
QFont DesignedFont(const QString& name, int height);
