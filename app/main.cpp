// vellum: the reader. Every argument is a data directory added to the data path; --help and
// --version answer on standard output without starting the reader.
//
// VELLUM_QUIT_AFTER_FIRST_CHAPTER=1 ends the program as soon as a Bible window has painted its
// first chapter, so the start-up benchmark (bench/startup_bench.cpp) can time a whole start.
// With the value "report" it first opens Help > "How to..." and prints the active window's
// caption and the help page's title and length, so a test can see what an installed program
// found.
#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QTextBrowser>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/commands.h"
#include "app/main_app.h"
#include "app/windows/passage.h"
#include "engine/bible/bible.h"

namespace {

constexpr const char* kUsage =
    "usage: vellum [DIRECTORY]...\n"
    "       vellum --help | --version\n"
    "Vellum, the Bible-study reader. It reads its data files along a data path: its own\n"
    "directory, $XDG_DATA_HOME/vellum (default ~/.local/share/vellum), vellum under each of\n"
    "$XDG_DATA_DIRS (default /usr/local/share:/usr/share), the installation's\n"
    "share/vellum/data, each DIRECTORY given, then version2 on a mounted disc. Notes,\n"
    "highlights, options and changed stores are kept in $XDG_DATA_HOME/vellum.\n";

// Prints what the start found: the active window's caption and the "How to..." help page.
void reportStart(vellum::ui::TPassage& passage) {
  vellum::ui::dispatchCommand(vellum::ui::CmHelpContents);
  std::printf("window: %s\n", passage.windowTitle().toUtf8().constData());
  for (QWidget* window : QApplication::topLevelWidgets()) {
    auto* help = window->objectName() == QLatin1String("HelpViewer")
                     ? qobject_cast<QTextBrowser*>(window)
                     : window->findChild<QTextBrowser*>(QStringLiteral("HelpViewer"));
    if (!help) continue;
    std::printf("help: %s (%lld characters)\n", help->documentTitle().toUtf8().constData(),
                static_cast<long long>(help->toPlainText().size()));
    break;
  }
  std::fflush(stdout);
}

class QuitAfterFirstChapter : public QObject {
 public:
  QuitAfterFirstChapter(QObject* parent, bool report) : QObject(parent), report_(report) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !quitting_) {
      // The paint event reaches the text's viewport, a child of the Bible window.
      for (QObject* o = watched; o; o = o->parent()) {
        auto* passage = qobject_cast<vellum::ui::TPassage*>(o);
        if (!passage) continue;
        if (passage->hasText()) {
          quitting_ = true;
          // Queued: runs once this paint has finished.
          QPointer<vellum::ui::TPassage> shown(passage);
          QTimer::singleShot(0, qApp, [shown, report = report_] {
            if (report && shown) reportStart(*shown);
            QApplication::quit();
          });
        }
        break;
      }
    }
    return false;
  }

 private:
  bool report_ = false;
  bool quitting_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("vellum " VELLUM_VERSION);
      return 0;
    }
  }
  vellum::initBibleModule();
  QApplication application(argc, argv);
  QApplication::setApplicationName("Vellum");
  QApplication::setApplicationVersion(VELLUM_VERSION);
  // The desktop entry's name, so that a desktop matches the windows with the menu entry.
  QGuiApplication::setDesktopFileName(VELLUM_APP_ID);
  if (const char* quit = std::getenv("VELLUM_QUIT_AFTER_FIRST_CHAPTER"); quit && *quit) {
    const bool report = std::strcmp(quit, "report") == 0;
    if (report || *quit == '1')
      application.installEventFilter(new QuitAfterFirstChapter(&application, report));
  }

  // Qt has taken its own options (-platform and the like) out of the arguments; the rest are
  // data directories. argv[0] stays as given: the program's directory is where it was started.
  const QStringList arguments = QApplication::arguments();
  std::vector<QByteArray> copies;
  std::vector<char*> pointers;
  copies.reserve(static_cast<std::size_t>(arguments.size()));
  for (const QString& argument : arguments) copies.push_back(argument.toLocal8Bit());
  for (QByteArray& copy : copies) pointers.push_back(copy.data());
  if (!pointers.empty()) pointers[0] = argv[0];

  vellum::ui::TMainApp app(static_cast<int>(pointers.size()), pointers.data());
  app.run();
  // The shell's entry point reports 1 whatever happened; to the system a normal end is 0.
  return 0;
}
