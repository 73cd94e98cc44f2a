#include "ui/application.h"

#include <QDBusConnection>
#include <QLocale>
#include <QMessageBox>
#include <QWidget>
#include <cstdlib>
#include <exception>

#include "core/number_text.h"
#include "ui/code_page.h"
#include "ui/controls.h"

// Floating-point faults. The arithmetic is designed to run with overflow,
// division by zero and invalid operations trapped, so that no calculation ever
// yields an infinity or a NaN. The x87 control word stays at the platform's
// default (every fault masked) instead: the toolkit's own code runs on the same
// thread, and its drawing and layout arithmetic is written for masked faults, so
// unmasking them would turn harmless infinities inside Qt into crashes. The same
// results come from checks in the core instead: every store of an extended
// intermediate into a double goes through StoreDouble, which throws EOverflow
// where the trapped store would have faulted, before anything is written; no
// division by zero and no square root of a negative number can be reached; and
// the text conversion works under a masked environment of its own and reports
// an overflow as a conversion error. So no infinity or NaN reaches a text.

TApplication* Application = nullptr;

namespace {

int argc = 1;
char* argv[] = {nullptr, nullptr};

char** ToolkitArguments(const char* programName) {
  argv[0] = const_cast<char*>(programName);
  return argv;
}

QString LocaleNameFromEnvironment() {
  for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return QString::fromLocal8Bit(value);
  }
  return QStringLiteral("C");
}

constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kPortalSettings = "org.freedesktop.portal.Settings";

}  // namespace

char UserDecimalSeparator() {
  // Qt's own locale data, so no system locale needs to be generated. Its
  // system locale is read once and cached, so the name is looked up afresh.
  QString name = LocaleNameFromEnvironment();
  name = name.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);  // fr_FR.UTF-8@euro
  const QString point = QLocale(name).decimalPoint();
  if (point.isEmpty()) return '.';
  const auto code = ToCodePage(point.at(0));
  return code && *code != 0 ? *code : '.';
}

TApplication::TApplication(const char* ProgramName)
    : QApplication(argc, ToolkitArguments(ProgramName)) {
  Application = this;
  // The window was designed on a platform whose default font for everything,
  // message boxes included, was its own: the window's font. Making its
  // substitute the default also spares loading a second sans-serif font that
  // nothing shows (0.9 MB of peak memory at start-up).
  setFont(DesignedFont(QStringLiteral("MS Sans Serif"), 11));
  // The desktop matches windows to the program's entry and icon by this name.
  setDesktopFileName(QStringLiteral(TARVELIN_APP_ID));
  // The run-time library reads the user's separator before the program starts.
  DecimalSeparator = UserDecimalSeparator();

  // A desktop that changes its settings says so on the session bus. Without a
  // session bus the program simply goes without that notice.
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (bus.isConnected()) {
    bus.connect(QString(), QString::fromLatin1(kPortalPath), QString::fromLatin1(kPortalSettings),
                QStringLiteral("SettingChanged"), this,
                SLOT(PortalSettingChanged()));
  }
}

TApplication::~TApplication() {
  // The forms go first, while the toolkit is still there.
  MainForm = nullptr;
  forms_.clear();
  Application = nullptr;
}

void TApplication::Initialize() {}

std::string TApplication::Title() const { return title_; }

void TApplication::SetTitle(const std::string& Title) {
  title_ = Title;
  setApplicationDisplayName(FromCodePage(Title));
}

void TApplication::Run() {
  if (!MainForm) return;
  bool minimized = false;
  switch (ShowCommand) {
    case SW_SHOWMAXIMIZED:
      // A form of fixed size (the main window is one) keeps its size: it is
      // shown normally rather than in a maximised state it cannot fill.
      if (MainForm->minimumSize() != MainForm->maximumSize()) {
        MainForm->setWindowState(Qt::WindowMaximized);
      }
      break;
    case SW_SHOWMINNOACTIVE: minimized = true; break;
    default: break;
  }
  if (ShowMainForm) {
    if (minimized) {
      MainForm->showMinimized();
    } else {
      MainForm->show();
    }
  }
  exec();
}

void TApplication::Terminate() { quit(); }

void TApplication::HandleException(QObject* Sender) {
  // A widget that holds the mouse would keep it through the box.
  if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
  auto report = [this, Sender](const Exception& E) {
    if (OnException) {
      OnException(Sender, E);
    } else {
      ShowException(E);
    }
  };
  try {
    throw;
  } catch (const EAbort&) {
  } catch (const Exception& E) {
    report(E);
  } catch (const std::exception& e) {
    report(Exception(e.what()));  // not one of the program's own: reported all the same
  } catch (...) {
    report(Exception(""));
  }
}

void TApplication::ShowException(const Exception& E) {
  std::string text = E.Message;
  // The period rule compares the last byte with '.' as an unsigned byte: a
  // message ending in a letter, a digit or anything above '.' gets one.
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) {
    text += '.';
  }
  std::string caption = Title();
  if (caption.size() > 255) caption.resize(255);

  // The box is modal to the whole program and sits on the active window's
  // screen; afterwards that window is active again with the focus where it was.
  const QPointer<QWidget> active = activeWindow();
  const QPointer<QWidget> focus = focusWidget();
  QMessageBox box(QMessageBox::Critical, FromCodePage(caption), FromCodePage(text),
                  QMessageBox::Ok, active);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
  if (active) {
    active->activateWindow();
    if (focus && focus->window() == active) focus->setFocus(Qt::ActiveWindowFocusReason);
  }
}

bool TApplication::notify(QObject* receiver, QEvent* e) {
  try {
    return QApplication::notify(receiver, e);
  } catch (...) {
    HandleException(this);
    return false;
  }
}

bool TApplication::event(QEvent* e) {
  if (e->type() == QEvent::LocaleChange) SettingsChanged();
  return QApplication::event(e);
}

void TApplication::PortalSettingChanged() {
  // Whatever setting changed, the formats are read again.
  SettingsChanged();
}

// The design's platform also re-read the formats when the shell announced that
// its taskbar had been re-created. Nothing on Linux stands for that message:
// it tells of the shell restarting, not of any setting changing.
void TApplication::SettingsChanged() {
  if (UpdateFormatSettings) DecimalSeparator = UserDecimalSeparator();
}
