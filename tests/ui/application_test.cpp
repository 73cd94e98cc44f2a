// The application object: error reporting, form creation, the show request and
// the decimal separator over the program's life.
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>
#include <stdexcept>

#include "core/number_text.h"
#include "tests/ui/ui_test_support.h"
#include "ui/application.h"
#include "ui/tarvelin.h"

namespace {

// The separator read when the application object was built, before any form.
char separatorAtStart = 0;

// A form that checks, while it is being built, where the application stores it.
class ProbeForm : public TForm {
 public:
  static ProbeForm* reference;
  static bool referenceWasSet;
  explicit ProbeForm(QObject* Owner) : TForm(Owner) { referenceWasSet = reference == this; }
};
ProbeForm* ProbeForm::reference = nullptr;
bool ProbeForm::referenceWasSet = false;

class FailingForm : public TForm {
 public:
  explicit FailingForm(QObject* Owner) : TForm(Owner) { throw Exception("Construction failed"); }
};

// An object whose handling of an event throws, outside any handler of ours.
class Thrower : public QObject {
 public:
  int handled = 0;
  bool event(QEvent* e) override {
    if (e->type() != QEvent::User) return QObject::event(e);
    ++handled;
    throw EOverflow();
  }
};

SeenBox Report(const std::function<void()>& thrower) {
  return CloseBoxesDuring([&] {
    try {
      thrower();
    } catch (...) {
      Application->HandleException(nullptr);
    }
  });
}

}  // namespace

class ApplicationTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    Application->MainForm = nullptr;
    Application->ShowCommand = SW_SHOWNORMAL;
    Application->UpdateFormatSettings = true;
    qputenv("LC_ALL", "fr_FR.UTF-8");
    DecimalSeparator = '.';
  }

  void periodRule_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("ends in a letter") << QByteArray("Floating point overflow")
                                      << QStringLiteral("Floating point overflow.");
    QTest::newRow("ends in a digit") << QByteArray("code 12") << QStringLiteral("code 12.");
    QTest::newRow("ends in a slash, just above the stop") << QByteArray("a/") << QStringLiteral("a/.");
    QTest::newRow("ends in an accented letter") << QByteArray("r\xE9" "el")
                                                << QStringLiteral("r\u00E9el.");
    QTest::newRow("ends in a high byte") << QByteArray("caf\xE9") << QStringLiteral("caf\u00E9.");
    QTest::newRow("ends in a stop") << QByteArray("Done.") << QStringLiteral("Done.");
    QTest::newRow("ends in a bang") << QByteArray("Stop !") << QStringLiteral("Stop !");
    QTest::newRow("ends in a parenthesis") << QByteArray("(x)") << QStringLiteral("(x)");
    QTest::newRow("ends in a comma") << QByteArray("a,") << QStringLiteral("a,");
    QTest::newRow("ends in a minus") << QByteArray("a-") << QStringLiteral("a-");
    QTest::newRow("ends in a space") << QByteArray("trailing ") << QStringLiteral("trailing ");
    QTest::newRow("empty") << QByteArray() << QString();
  }

  void periodRule() {
    QFETCH(QByteArray, message);
    QFETCH(QString, shown);
    const SeenBox box = Report([&] { throw Exception(message.toStdString()); });
    QCOMPARE(box.count, 1);
    QCOMPARE(box.text, shown);
    QCOMPARE(box.title, QStringLiteral("Tarvelin"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  }

  void abortIsSilent() {
    QCOMPARE(Report([] { throw EAbort(); }).count, 0);
    struct Quiet : EAbort {};
    QCOMPARE(Report([] { throw Quiet(); }).count, 0);
  }

  void otherExceptionsAreReportedToo() {
    QCOMPARE(Report([] { throw std::runtime_error("boom"); }).text, QStringLiteral("boom."));
    const SeenBox box = Report([] { throw 42; });
    QCOMPARE(box.count, 1);
    QCOMPARE(box.text, QString());
  }

  void onExceptionTakesOverWhenAssigned() {
    QString seen;
    Application->OnException = [&seen](QObject*, const Exception& E) {
      seen = QString::fromStdString(E.Message);
    };
    const SeenBox box = Report([] { throw EZeroDivide(); });
    Application->OnException = nullptr;
    QCOMPARE(box.count, 0);
    QCOMPARE(seen, QStringLiteral("Floating point division by zero"));
  }

  void captionIsTheTitleCutAt255() {
    Application->SetTitle(std::string(300, 'T'));
    const SeenBox box = Report([] { throw EInvalidOp(); });
    Application->SetTitle("Tarvelin");
    QCOMPARE(box.title, QString(255, QLatin1Char('T')));
    QCOMPARE(box.text, QStringLiteral("Invalid floating point operation."));
  }

  void anEventThatThrowsIsReportedAndTheLoopGoesOn() {
    Thrower thrower;
    const SeenBox box = CloseBoxesDuring([&] {
      QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
      QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
      QTRY_COMPARE(thrower.handled, 2);
    });
    QCOMPARE(box.count, 2);
    QCOMPARE(box.text, QStringLiteral("Floating point overflow."));
  }

  void createFormFillsTheReferenceFirstAndClearsItOnFailure() {
    Application->CreateForm(ProbeForm::reference);
    QVERIFY(ProbeForm::referenceWasSet);
    QVERIFY(ProbeForm::reference);
    QCOMPARE(Application->MainForm, ProbeForm::reference);
    QVERIFY(!ProbeForm::reference->isVisible());

    FailingForm* failing = reinterpret_cast<FailingForm*>(&separatorAtStart);  // any non-null
    try {
      Application->CreateForm(failing);
      QFAIL("no exception");
    } catch (const Exception& E) {
      QCOMPARE(QString::fromStdString(E.Message), QStringLiteral("Construction failed"));
    }
    QVERIFY(!failing);
    QCOMPARE(Application->MainForm, ProbeForm::reference);  // the first form stays the main one
  }

  void runShowsTheMainFormAsRequested_data() {
    QTest::addColumn<int>("request");
    QTest::addColumn<bool>("fixedSize");
    QTest::addColumn<int>("state");
    QTest::newRow("normal") << int(SW_SHOWNORMAL) << true << int(Qt::WindowNoState);
    QTest::newRow("minimised without activating")
        << int(SW_SHOWMINNOACTIVE) << true << int(Qt::WindowMinimized);
    QTest::newRow("maximised, fixed size: shown normally")
        << int(SW_SHOWMAXIMIZED) << true << int(Qt::WindowNoState);
    QTest::newRow("maximised, sizeable") << int(SW_SHOWMAXIMIZED) << false << int(Qt::WindowMaximized);
  }

  void runShowsTheMainFormAsRequested() {
    QFETCH(int, request);
    QFETCH(bool, fixedSize);
    QFETCH(int, state);
    ProbeForm form(Application);
    if (fixedSize) {
      form.setFixedSize(408, 335);
    } else {
      form.resize(408, 335);
    }
    Application->MainForm = &form;
    Application->ShowCommand = request;
    Qt::WindowStates seen;
    bool visible = false;
    QTimer::singleShot(100, [&] {
      seen = form.windowState();
      visible = form.isVisible();
      form.close();  // closing the main form ends the loop
    });
    QTimer::singleShot(5000, Application, &TApplication::Terminate);  // a safety net only
    Application->Run();
    QCOMPARE(int(seen & (Qt::WindowMinimized | Qt::WindowMaximized)), state);
    if (fixedSize) QCOMPARE(form.size(), QSize(408, 335));
    if (state != Qt::WindowMinimized) QVERIFY(visible);
  }

  void runReturnsAtOnceWithoutAMainForm() {
    Application->MainForm = nullptr;
    QElapsedTimer timer;
    timer.start();
    Application->Run();
    QVERIFY(timer.elapsed() < 1000);
  }

  void separatorFollowsTheLocaleThenTheWindow() {
    QCOMPARE(separatorAtStart, ',');  // LC_ALL=fr_FR.UTF-8 when the process started
    DecimalSeparator = ',';
    TTarvelin form(Application);
    QCOMPARE(DecimalSeparator, '.');
  }

  void userSeparatorFromTheEnvironment_data() {
    QTest::addColumn<QByteArray>("all");
    QTest::addColumn<QByteArray>("numeric");
    QTest::addColumn<QByteArray>("lang");
    QTest::addColumn<char>("separator");
    QTest::newRow("LC_ALL first") << QByteArray("de_DE.UTF-8") << QByteArray("en_US.UTF-8")
                                  << QByteArray("en_US.UTF-8") << ',';
    QTest::newRow("then LC_NUMERIC") << QByteArray() << QByteArray("fr_FR.UTF-8")
                                     << QByteArray("en_US.UTF-8") << ',';
    QTest::newRow("then LANG") << QByteArray() << QByteArray() << QByteArray("fr_CA.UTF-8") << ',';
    QTest::newRow("English") << QByteArray("en_GB.UTF-8") << QByteArray() << QByteArray() << '.';
    QTest::newRow("modifier") << QByteArray("fr_FR@euro") << QByteArray() << QByteArray() << ',';
    QTest::newRow("none at all") << QByteArray() << QByteArray() << QByteArray() << '.';
    QTest::newRow("C") << QByteArray("C") << QByteArray() << QByteArray() << '.';
    QTest::newRow("beyond the code page") << QByteArray("ar_EG.UTF-8") << QByteArray()
                                          << QByteArray() << '.';
  }

  void userSeparatorFromTheEnvironment() {
    QFETCH(QByteArray, all);
    QFETCH(QByteArray, numeric);
    QFETCH(QByteArray, lang);
    QFETCH(char, separator);
    const QByteArray saved[] = {qgetenv("LC_NUMERIC"), qgetenv("LANG")};
    auto set = [](const char* name, const QByteArray& value) {
      if (value.isEmpty()) {
        qunsetenv(name);
      } else {
        qputenv(name, value);
      }
    };
    set("LC_ALL", all);
    set("LC_NUMERIC", numeric);
    set("LANG", lang);
    const char got = UserDecimalSeparator();
    set("LC_NUMERIC", saved[0]);
    set("LANG", saved[1]);
    QCOMPARE(got, separator);
  }

  void localeChangeEventRereadsTheSeparator() {
    DecimalSeparator = '.';
    QEvent change(QEvent::LocaleChange);
    QCoreApplication::sendEvent(Application, &change);
    QCOMPARE(DecimalSeparator, ',');
    qputenv("LC_ALL", "en_US.UTF-8");  // read afresh each time
    QCoreApplication::sendEvent(Application, &change);
    QCOMPARE(DecimalSeparator, '.');

    Application->UpdateFormatSettings = false;
    qputenv("LC_ALL", "fr_FR.UTF-8");
    QCoreApplication::sendEvent(Application, &change);
    QCOMPARE(DecimalSeparator, '.');
  }

  void desktopSettingsBroadcastRereadsTheSeparator() {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
      QSKIP("no session bus: run under dbus-run-session");
    }
    TTarvelin form(Application);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTest::keyClicks(form.aEdit, "2.5");
    QCOMPARE(form.sEdit->text(), QStringLiteral("0.00"));
    QCOMPARE(DecimalSeparator, '.');

    // Any setting at all, from another process, as a desktop would send it.
    const int sent = QProcess::execute(QStringLiteral("dbus-send"),
                                       {QStringLiteral("--session"), QStringLiteral("--type=signal"),
                                        QStringLiteral("/org/freedesktop/portal/desktop"),
                                        QStringLiteral("org.freedesktop.portal.Settings.SettingChanged"),
                                        QStringLiteral("string:org.gnome.desktop.interface"),
                                        QStringLiteral("string:clock-format"),
                                        QStringLiteral("variant:string:24h")});
    QCOMPARE(sent, 0);
    QTRY_COMPARE(DecimalSeparator, ',');
    QCOMPARE(form.sEdit->text(), QStringLiteral("0.00"));  // nothing is solved again

    // From now on "," and "." can be typed, only "," converts, and roots print with it.
    form.aEdit->selectAll();
    QTest::keyClicks(form.aEdit, "2,5");
    QCOMPARE(form.aEdit->text(), QStringLiteral("2,5"));
    QCOMPARE(form.EquationState().a, 2.5);
    QTest::keyClick(form.aEdit, Qt::Key_Tab);
    QTest::keyClicks(form.bEdit, "1");
    QCOMPARE(form.sEdit->text(), QStringLiteral("0,00 et -0,40"));
    form.bEdit->selectAll();
    QTest::keyClicks(form.bEdit, "2.5");
    QCOMPARE(form.bEdit->text(), QStringLiteral("2.5"));
    QCOMPARE(form.EquationState().b, 2.0);  // "2" converted; "2." and "2.5" do not
  }
};

int main(int argc, char** argv) {
  TApplication application(argv[0]);
  separatorAtStart = DecimalSeparator;
  application.SetTitle("Tarvelin");
  ApplicationTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "application_test.moc"
