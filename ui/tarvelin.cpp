#include "ui/tarvelin.h"

#include "core/coefficient_entry.h"
#include "core/equation.h"
#include "core/number_text.h"
#include "ui_tarvelin.h"

TTarvelin* Tarvelin = nullptr;

TTarvelin::TTarvelin(QObject* Owner) : TForm(Owner) {
  // Step 1: the layout. Each field's text is set before its events are bound,
  // so no handler runs while it loads and the solutions field stays empty.
  Ui::TTarvelin layout;
  layout.setupUi(this);
  aEdit = layout.aEdit;
  bEdit = layout.bEdit;
  cEdit = layout.cEdit;
  aLabel = layout.aLabel;
  bLabel = layout.bLabel;
  cLabel = layout.cLabel;
  sLabel = layout.sLabel;
  sEdit = layout.sEdit;
  Label = layout.Label;
  equationLabel = layout.equationLabel;
  bisLabel = layout.bisLabel;
  GroupBox1 = layout.GroupBox1;
  Label1 = layout.Label1;
  Label2 = layout.Label2;
  Loaded();

  // Step 2: the equation state.
  a = 0.0;
  b = 0.0;
  c = 0.0;
  discriminant = 0.0;
  x0 = 0.0;
  x1 = 0.0;
  x2 = 0.0;

  // Step 3: the window works with the full stop, whatever the locale says.
  DecimalSeparator = '.';

  // Step 4: centre on the primary screen, from the outer size the designed
  // frame gives. Integer division truncates toward zero: (399 - 416) / 2 = -8.
  const int SW = GetSystemMetrics(SM_CXSCREEN);
  const int SH = GetSystemMetrics(SM_CYSCREEN);
  const int W = Width();
  const int H = Height();
  SetLeft((SW - W) / 2);
  SetTop((SH - H) / 2);

  // The first field has the focus with its text selected when the window first
  // becomes active, so the first character typed replaces the "0".
  aEdit->setFocus(Qt::OtherFocusReason);
  aEdit->selectAll();
}

TTarvelin::~TTarvelin() = default;

void TTarvelin::abcEditKeyPress(QObject*, char& Key) {
  Dispatch([&] { FilterCoefficientKey(Key); });
}

void TTarvelin::aEditChange(QObject*) { CoefficientChanged(aEdit, a); }
void TTarvelin::bEditChange(QObject*) { CoefficientChanged(bEdit, b); }
void TTarvelin::cEditChange(QObject*) { CoefficientChanged(cEdit, c); }

void TTarvelin::CoefficientChanged(TEdit* Field, double& Coefficient) {
  Dispatch([&] {
    StoreCoefficient(Coefficient, Field->Text());
    Solve(a, b, c);
  });
}

void TTarvelin::Solve(double a, double b, double c) {
  sEdit->SetText(SolveQuadratic(a, b, c, discriminant, x0, x1, x2));
}
