// The main window: three coefficient fields, the solutions field, and the
// equation state they feed.
#pragma once

#include "ui/controls.h"
#include "ui/forms.h"

class TTarvelin : public TForm {
  Q_OBJECT

 public:
  // The layout's controls, each found by its name once the layout is loaded.
  TEdit* aEdit;
  TEdit* bEdit;
  TEdit* cEdit;
  TLabel* aLabel;
  TLabel* bLabel;
  TLabel* cLabel;
  TLabel* sLabel;
  TEdit* sEdit;
  TLabel* Label;
  TLabel* equationLabel;
  TLabel* bisLabel;
  TGroupBox* GroupBox1;
  TLabel* Label1;
  TLabel* Label2;

 public slots:
  // Bound to the fields' events by the layout.
  void abcEditKeyPress(QObject* Sender, char& Key);
  void aEditChange(QObject* Sender);
  void bEditChange(QObject* Sender);
  void cEditChange(QObject* Sender);

 private:
  double a, b, c, discriminant, x0, x1, x2;

  // Solves with the given coefficients and shows the solutions text.
  void Solve(double a, double b, double c);
  // The three change handlers differ only in the field and its coefficient.
  void CoefficientChanged(TEdit* Field, double& Coefficient);

 public:
  explicit TTarvelin(QObject* Owner);
  ~TTarvelin() override;

  // For the tests: the equation state, read-only.
  struct State {
    double a, b, c, discriminant, x0, x1, x2;
  };
  State EquationState() const { return {a, b, c, discriminant, x0, x1, x2}; }
};

extern TTarvelin* Tarvelin;
