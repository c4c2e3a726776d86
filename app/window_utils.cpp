#include "app/window_utils.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QKeySequence>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintDevice>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QSvgRenderer>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "app/commands.h"
#include "app/profile.h"
#include "support/files.h"

namespace vellum {
namespace {

// The smallest main window a saved placement may ask for; anything smaller (a damaged file,
// or "0" typed by hand) would leave a window the user cannot find or use.
constexpr int kMinWindowWidth = 200;
constexpr int kMinWindowHeight = 150;
// How much of a window must lie on some screen for it to count as reachable.
constexpr int kMinVisibleWidth = 100;
constexpr int kMinVisibleHeight = 50;
// Saved numbers beyond any desktop are cut to this before any arithmetic on them, so that no
// sum of a coordinate and an extent can overflow.
constexpr int kFarthestCoordinate = 1 << 20;

QScreen* screenFor(const QWidget* window) {
  if (window) {
    if (window->isVisible() && window->screen()) return window->screen();
    if (const QWidget* parent = window->parentWidget()) return parent->window()->screen();
    if (window->screen()) return window->screen();
  }
  return QGuiApplication::primaryScreen();
}

// Brings a saved rectangle back onto the screens: at least the minimum size, at most the size
// of the screen it lands on, and moved onto that screen when too little of it would show.
QRect reachablePlacement(QRect wanted) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.isEmpty()) return wanted;
  QScreen* best = nullptr;
  long long bestArea = 0;
  for (QScreen* screen : screens) {
    QRect overlap = screen->geometry().intersected(wanted);
    long long area = overlap.isEmpty() ? 0 : 1LL * overlap.width() * overlap.height();
    if (area > bestArea) {
      bestArea = area;
      best = screen;
    }
  }
  if (!best) best = QGuiApplication::primaryScreen();
  if (!best) return wanted;
  const QRect area = best->geometry();
  int width = std::clamp(wanted.width(), std::min(kMinWindowWidth, area.width()), area.width());
  int height =
      std::clamp(wanted.height(), std::min(kMinWindowHeight, area.height()), area.height());
  QRect placed(wanted.x(), wanted.y(), width, height);
  QRect overlap = area.intersected(placed);
  if (overlap.width() < std::min(kMinVisibleWidth, width) ||
      overlap.height() < std::min(kMinVisibleHeight, height)) {
    placed.moveLeft(std::clamp(placed.x(), area.left(), area.x() + area.width() - width));
    placed.moveTop(std::clamp(placed.y(), area.top(), area.y() + area.height() - height));
  }
  return placed;
}

// The window's top-left corner in screen coordinates. For a window this is the outer corner
// (frame included), the same point QWidget::move() takes, so saving after restoring gives
// back the numbers that were restored.
QPoint screenPosition(const QWidget* window) {
  return window->isWindow() ? window->pos() : window->mapToGlobal(QPoint(0, 0));
}

void moveTo(QWidget* window, QPoint screenPoint) {
  if (window->isWindow() || !window->parentWidget()) {
    window->move(screenPoint);
  } else {
    window->move(window->parentWidget()->mapFromGlobal(screenPoint));
  }
}

void writeUnsigned(const char* key, int value, const char* iniFile) {
  char text[16];
  std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
  writePrivateProfileString("WindowPos", key, text, iniFile);
}

}  // namespace

void move_window(QWidget* window, const char* iniFile) {
  if (!window) return;
  // A placement is saved when all four numbers are there; otherwise (a first start, or keys
  // lost or garbled) the window takes four fifths of the screen's free area, centred on it.
  bool saved = true;
  auto read = [iniFile, &saved](const char* key) {
    char text[16] = {};
    getPrivateProfileString("WindowPos", key, "", text, sizeof text, iniFile);
    const char* digits = text[0] == '-' || text[0] == '+' ? text + 1 : text;
    saved = saved && std::isdigit(static_cast<unsigned char>(*digits));
    // The file holds the unsigned form of the 32-bit value; the cast gives a negative
    // coordinate back its sign.
    return static_cast<int>(getPrivateProfileInt("WindowPos", key, 0, iniFile));
  };
  auto coordinate = [](int value) {
    return std::clamp(value, -kFarthestCoordinate, kFarthestCoordinate);
  };
  auto extent = [](int value) { return std::clamp(value, 0, kFarthestCoordinate); };
  QRect wanted(coordinate(read("Xmin")), coordinate(read("Ymin")), extent(read("Xext")),
               extent(read("Yext")));
  if (!saved) {
    QScreen* screen = screenFor(window);
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    wanted = QRect(QPoint(0, 0), area.size() * 4 / 5);
    wanted.moveCenter(area.center());
  }
  QRect placed = reachablePlacement(wanted);
  moveTo(window, placed.topLeft());
  window->resize(placed.size());
}

void save_window_pos(QWidget* window, const char* iniFile) {
  if (!window) return;
  // The position is the outer corner and the size the window's own (the frame's width varies
  // between window managers and is unknown before the first show); move_window restores the
  // same pair, so a window that is restored and saved again keeps its four numbers.
  QPoint corner = screenPosition(window);
  writeUnsigned("Xmin", corner.x(), iniFile);
  writeUnsigned("Ymin", corner.y(), iniFile);
  writeUnsigned("Xext", window->width(), iniFile);
  writeUnsigned("Yext", window->height(), iniFile);
}

void _CenterWindow(QWidget* window) {
  if (!window) return;
  QScreen* screen = screenFor(window);
  if (!screen) return;
  const QRect area = screen->geometry();
  const QSize size = window->isWindow() ? window->frameGeometry().size() : window->size();
  int x = (area.width() - size.width()) / 2;
  int y = (area.height() - size.height()) / 3;
  // A window larger than the screen keeps its top-left corner (and so its title bar) on the
  // screen instead of being pushed above or left of it.
  x = std::max(x, 0);
  y = std::max(y, 0);
  moveTo(window, QPoint(area.x() + x, area.y() + y));
}

QPoint _GetWindowExt(QPoint* out, const QPaintDevice* device) {
  QPoint extent;
  if (device) {
    extent = QPoint(device->width(), device->height());
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    extent = QPoint(screen->geometry().width(), screen->geometry().height());
  }
  if (out) *out = extent;
  return extent;
}

QPoint _GetCursorPos(QPoint* out, const QWidget* window) {
  QPoint position = QCursor::pos();
  if (window) position = window->mapFromGlobal(position);
  if (out) *out = position;
  return position;
}

QRect _GetClientRect(QRect* out, const QWidget* window) {
  QRect client = window ? window->rect() : QRect();
  if (out) *out = client;
  return client;
}

QColor _GetSysColor(int index) {
  const QPalette palette = QGuiApplication::palette();
  switch (index) {
    case 8:
      return palette.color(QPalette::Active, QPalette::Text);
    case 13:
      return palette.color(QPalette::Active, QPalette::Highlight);
    case 14:
      return palette.color(QPalette::Active, QPalette::HighlightedText);
    case 15:
      return palette.color(QPalette::Active, QPalette::Button);
    case 5:
    default:
      return palette.color(QPalette::Active, QPalette::Base);
  }
}

void showChangeRefused(QWidget* owner, const std::string& fileName, const QString& caption) {
  _MessageBox(owner, QString::fromStdString(changeRefusedMessage(fileName)), caption,
              MB_OK | MB_ICONEXCLAMATION);
}

int _MessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned style) {
  QMessageBox box(owner);
  box.setObjectName(QStringLiteral("MessageBox"));
  box.setWindowTitle(caption);
  // Texts carry user input (references, words typed); they are never markup.
  box.setTextFormat(Qt::PlainText);
  box.setText(text);
  switch (style & 0xF0u) {
    case MB_ICONSTOP:
      box.setIcon(QMessageBox::Critical);
      break;
    case MB_ICONQUESTION:
      box.setIcon(QMessageBox::Question);
      break;
    case MB_ICONEXCLAMATION:
      box.setIcon(QMessageBox::Warning);
      break;
    case MB_ICONINFORMATION:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      break;
  }
  int dismissed = IDOK;  // what closing the box without a button means
  switch (style & 0x0Fu) {
    case MB_OKCANCEL:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Ok);
      dismissed = IDCANCEL;
      break;
    case 3:  // yes, no and cancel
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Yes);
      dismissed = IDCANCEL;
      break;
    case MB_YESNO:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      box.setEscapeButton(QMessageBox::No);
      dismissed = IDNO;
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
      box.setDefaultButton(QMessageBox::Ok);
      break;
  }
  // A box raised during a long operation must not show the wait cursor.
  const bool waiting = QApplication::overrideCursor() != nullptr;
  if (waiting) QApplication::setOverrideCursor(Qt::ArrowCursor);
  box.exec();
  if (waiting) QApplication::restoreOverrideCursor();
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok:
      return IDOK;
    case QMessageBox::Cancel:
      return IDCANCEL;
    case QMessageBox::Yes:
      return IDYES;
    case QMessageBox::No:
      return IDNO;
    default:
      return dismissed;
  }
}

std::unique_ptr<char[]> _GetClipboardData(QWidget* /*owner*/) {
  const QClipboard* clipboard = QGuiApplication::clipboard();
  const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
  if (!data || !data->hasText()) return nullptr;
  const QByteArray text = data->text().toUtf8();
  auto copy = std::make_unique<char[]>(static_cast<std::size_t>(text.size()) + 1);
  std::memcpy(copy.get(), text.constData(), static_cast<std::size_t>(text.size()));
  copy[static_cast<std::size_t>(text.size())] = '\0';
  return copy;
}

void _SetClipboardData(const char* text, QWidget* /*owner*/) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  // No text leaves the clipboard as it was, as a failed allocation always did.
  if (!text || !clipboard) return;
  clipboard->setText(QString::fromUtf8(text));
}

namespace ui {
namespace {

int g_helpContext = 0;

// The help window: a browser over the pages help/<context>.html. Links between pages work,
// Alt+Left and Alt+Right step through the pages seen, Alt+Home shows the contents.
//
// A modal dialog blocks every window but its own children, so while a dialog asks for help
// the viewer becomes the dialog's child window; when that dialog is finished the viewer moves
// up to the dialog's own parent so that it outlives the dialog.
class HelpViewer : public QTextBrowser {
 public:
  explicit HelpViewer(QWidget* owner) : QTextBrowser(owner) {
    if (owner) owner->installEventFilter(this);
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowFlags(Qt::Window);
    setWindowTitle(QStringLiteral("Vellum Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    // An open help window must not keep the program running once the main window is closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    setOpenExternalLinks(true);
    setSearchPaths({helpDirectory()});
    resize(620, 560);

    back_ = addShortcutAction(QStringLiteral("&Back"), QKeySequence::Back);
    forward_ = addShortcutAction(QStringLiteral("&Forward"), QKeySequence::Forward);
    contents_ =
        addShortcutAction(QStringLiteral("&Contents"), QKeySequence(Qt::ALT | Qt::Key_Home));
    QAction* close = addShortcutAction(QStringLiteral("&Close"), QKeySequence(Qt::Key_Escape));
    // Every connection is made whatever became of the one before.
    const auto check = [](const QMetaObject::Connection& connection) {
      Q_ASSERT(connection);
      Q_UNUSED(connection);
    };
    check(connect(back_, &QAction::triggered, this, &QTextBrowser::backward));
    check(connect(forward_, &QAction::triggered, this, &QTextBrowser::forward));
    check(connect(contents_, &QAction::triggered, this, [this] { showTopic(1000); }));
    check(connect(close, &QAction::triggered, this, &QWidget::close));
    check(connect(this, &QTextBrowser::backwardAvailable, back_, &QAction::setEnabled));
    check(connect(this, &QTextBrowser::forwardAvailable, forward_, &QAction::setEnabled));
    // A link followed inside the viewer changes the current topic too.
    check(connect(this, &QTextBrowser::sourceChanged, this, [](const QUrl& url) {
      bool numeric = false;
      int context = QFileInfo(url.path()).completeBaseName().toInt(&numeric);
      if (numeric) g_helpContext = context;
    }));
    back_->setEnabled(false);
    forward_->setEnabled(false);
  }

  void showTopic(int context) {
    g_helpContext = context;
    const QString path = QDir(helpDirectory()).filePath(QStringLiteral("%1.html").arg(context));
    setSource(QUrl::fromLocalFile(path));
  }

  // Makes the viewer a child window of `owner` (see the class comment), keeping its place.
  void adopt(QWidget* owner) {
    if (parentWidget() == owner) return;
    const bool wasVisible = isVisible();
    const QPoint corner = pos();
    const QSize extent = size();
    if (parentWidget()) parentWidget()->removeEventFilter(this);
    setParent(owner, windowFlags() | Qt::Window);
    if (owner) owner->installEventFilter(this);
    move(corner);
    resize(extent);
    if (wasVisible) show();
  }

 protected:
  QVariant loadResource(int type, const QUrl& name) override {
    if (type == QTextDocument::HtmlResource && name.isLocalFile() &&
        !QFileInfo::exists(name.toLocalFile())) {
      const QString topic = QFileInfo(name.toLocalFile()).fileName().toHtmlEscaped();
      return QStringLiteral(
                 "<html><body><h2>Help topic not found</h2>"
                 "<p>The help page <b>%1</b> is not installed in %2.</p>"
                 "<p><a href=\"1000.html\">Help contents</a></p></body></html>")
          .arg(topic, helpDirectory().toHtmlEscaped());
    }
    return QTextBrowser::loadResource(type, name);
  }

  void contextMenuEvent(QContextMenuEvent* event) override {
    std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    QAction* first = menu->actions().isEmpty() ? nullptr : menu->actions().first();
    menu->insertActions(first, {back_, forward_, contents_});
    menu->insertSeparator(first);
    menu->exec(event->globalPos());
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == parentWidget() && event->type() == QEvent::Hide &&
        !parentWidget()->isVisible()) {
      QWidget* owner = parentWidget();
      // The main window hiding takes the viewer along at exit; a dialog finishing does not.
      if (QWidget* above = owner->parentWidget()) adopt(above->window());
    }
    return QTextBrowser::eventFilter(watched, event);
  }

 private:
  QAction* addShortcutAction(const QString& text, const QKeySequence& keys) {
    auto* action = new QAction(text, this);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    return action;
  }

  QAction* back_ = nullptr;
  QAction* forward_ = nullptr;
  QAction* contents_ = nullptr;
};

// The one viewer; it deletes itself when closed, which clears this pointer.
QPointer<HelpViewer> g_helpViewer;

}  // namespace

void openHelp(QWidget* owner, int context) {
  QWidget* ownerWindow = owner ? owner->window() : QApplication::activeWindow();
  // Owned by its parent window; without one it is its own window and deletes itself on close.
  if (!g_helpViewer) g_helpViewer = new HelpViewer(ownerWindow);
  HelpViewer* viewer = g_helpViewer.data();
  if (ownerWindow && ownerWindow != viewer) viewer->adopt(ownerWindow);
  viewer->showTopic(context);
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
}

int currentHelpContext() { return g_helpContext; }

QString helpDirectory() {
  const QString fromEnvironment = qEnvironmentVariable("VELLUM_HELP_DIR");
  if (!fromEnvironment.isEmpty()) return fromEnvironment;
  // An installed program's pages, then the source tree's for a program run from its build.
  const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                            QStringLiteral("/../share/vellum/help"));
#ifdef VELLUM_SOURCE_HELP_DIR
  const QString source = QStringLiteral(VELLUM_SOURCE_HELP_DIR);
  if (!QFileInfo(installed).isDir() && QFileInfo(source).isDir()) return source;
#endif
  return installed;
}

namespace {

class FocusKeeper : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show && event->type() != QEvent::Hide) return false;
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (dialog == nullptr || !dialog->isWindow() || !dialog->isModal()) return false;
    if (event->type() == QEvent::Show) {
      // Shown before the dialog is activated: the focus is still where the user was.
      if (!before_.contains(dialog)) before_.insert(dialog, QApplication::focusWidget());
      return false;
    }
    const QPointer<QWidget> back = before_.take(dialog);
    // After the code that ran the dialog has placed the focus, and after a window manager has
    // had its chance to activate the dialog's parent.
    QTimer::singleShot(0, this, [back, dialog] {
      if (!back || !back->isVisible() || QApplication::activeModalWidget() != nullptr) return;
      QWidget* active = QApplication::activeWindow();
      if (active != nullptr && active->isVisible()) return;
      // Another dialog opened meanwhile and waits for its activation: it keeps the focus.
      for (QWidget* top : QApplication::topLevelWidgets())
        if (top != dialog && top->isVisible() && qobject_cast<QDialog*>(top) != nullptr) return;
      QWidget* window = back->window();
      if (window->focusWidget() == nullptr) back->setFocus(Qt::ActiveWindowFocusReason);
      window->activateWindow();
    });
    return false;
  }

 private:
  QHash<QObject*, QPointer<QWidget>> before_;
};

}  // namespace

void keepFocusAcrossModalDialogs() {
  static QPointer<FocusKeeper> keeper;
  if (keeper || QApplication::instance() == nullptr) return;
  keeper = new FocusKeeper(QApplication::instance());
  QApplication::instance()->installEventFilter(keeper);
}

QIcon programIcon() {
  QIcon icon;
  QSvgRenderer renderer(QStringLiteral(":/icons/vellum.svg"));
  if (!renderer.isValid()) return icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

void TEditWithDoubleClick::mouseDoubleClickEvent(QMouseEvent* event) {
  // The edit selects the word first, so the dialog's handler finds it selected.
  QPlainTextEdit::mouseDoubleClickEvent(event);
  if (event->button() != Qt::LeftButton) return;
  QWidget* target = parentWidget();
  for (QWidget* up = parentWidget(); up; up = up->parentWidget()) {
    if (qobject_cast<QDialog*>(up)) {
      target = up;
      break;
    }
  }
  if (target) postCommand(target, CmDefinitionDoubleClick);
}

}  // namespace ui
}  // namespace vellum
