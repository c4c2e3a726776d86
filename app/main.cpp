// vellum: the reader. Every argument is a data directory added to the data path.
//
// VELLUM_QUIT_AFTER_FIRST_CHAPTER=1 ends the program as soon as a Bible window has painted its
// first chapter, so the start-up benchmark (bench/startup_bench.cpp) can time a whole start.
#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <cstdlib>
#include <vector>

#include "app/main_app.h"
#include "app/windows/passage.h"
#include "engine/bible/bible.h"

namespace {

class QuitAfterFirstChapter : public QObject {
 public:
  using QObject::QObject;

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
          QTimer::singleShot(0, qApp, &QApplication::quit);
        }
        break;
      }
    }
    return false;
  }

 private:
  bool quitting_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  vellum::initBibleModule();
  QApplication application(argc, argv);
  QApplication::setApplicationName("Vellum");
  if (const char* quit = std::getenv("VELLUM_QUIT_AFTER_FIRST_CHAPTER"); quit && *quit == '1')
    application.installEventFilter(new QuitAfterFirstChapter(&application));

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
