// vellum: the reader. Every argument is a data directory added to the data path.
#include <QApplication>

#include "app/main_app.h"
#include "engine/bible/bible.h"

int main(int argc, char** argv) {
  vellum::initBibleModule();
  QApplication application(argc, argv);
  QApplication::setApplicationName("Vellum");
  QApplication::setOrganizationName("vellum");
  // Qt has taken its own options (-platform and the like) out of argv; the rest are data
  // directories.
  const QStringList arguments = QApplication::arguments();
  std::vector<QByteArray> copies;
  std::vector<char*> pointers;
  copies.reserve(arguments.size());
  for (const QString& argument : arguments) copies.push_back(argument.toLocal8Bit());
  for (QByteArray& copy : copies) pointers.push_back(copy.data());
  // argv[0] as given, not as Qt resolved it: the program's directory is where it was started from.
  if (!pointers.empty()) pointers[0] = argv[0];
  vellum::ui::TMainApp app(static_cast<int>(pointers.size()), pointers.data());
  app.run();
  // The shell's entry point reports 1 whatever happened; to the system a normal end is 0.
  return 0;
}
