#include "app/frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <cstring>
#include <vector>

#include "app/config.h"
#include "app/window_utils.h"
#include "app/windows/parallel.h"
#include "app/windows/passage.h"
#include "app/windows/search_record.h"
#include "app/windows/window_commands.h"
#include "engine/bible/parallel.h"

namespace vellum::ui {
namespace {

constexpr int kToolBarId = 123;
constexpr int kMessageFieldId = 2;
constexpr int kVersesFoundBoxId = 10015;

// How the verses-found box passes a command on, as the command table says.
enum class Forward { None, ToPassage, ToClient, PostToClient };

Forward forwarding(int id) {
  const CommandInfo* command = findCommand(id);
  if (!command) return Forward::None;
  switch (command->owner) {
    case Owner::BibleWindow:
      return Forward::ToPassage;
    case Owner::Client:
      return command->flags & BoxPosts ? Forward::PostToClient : Forward::ToClient;
    default:
      return Forward::None;
  }
}

// A reference text of the box, at most 40 characters, as the box's readers take it.
QByteArray referenceText(const QString& text) { return text.toUtf8().left(40); }

// The tool bar's message field: it takes the width the tool bar has left, so it never moves
// into the overflow menu, and shows as much of its text as fits, cut with "..."; the whole
// text is its tool tip.
class MessageField : public QLabel {
 public:
  explicit MessageField(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
  }
  // Small, so the tool bar keeps it at any width it has room for the buttons and the box.
  QSize sizeHint() const override { return minimumSizeHint(); }
  QSize minimumSizeHint() const override {
    return QSize(fontMetrics().averageCharWidth() * 12, QLabel::minimumSizeHint().height());
  }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(area, static_cast<int>(alignment()),
                     fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// TVersesFound

TVersesFound::TVersesFound(TMyMDIFrame* frame) : QComboBox(frame), frame_(frame) {
  setObjectName(QString::number(kVersesFoundBoxId));
  setEditable(false);
  setInsertPolicy(QComboBox::InsertAtBottom);
  setFixedWidth(200);
  setMaxVisibleItems(300 / std::max(1, fontMetrics().height() + 2));
  setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  setMinimumContentsLength(30);
  setFocusPolicy(Qt::StrongFocus);
  // A selection by the user shows that verse; programmatic selections post 903 themselves.
  connect(this, &QComboBox::activated, this, [this] { postCommand(this, CmRefresh); });
}

void TVersesFound::showSelected() {
  TMyMDIClient* client = frame_->client();
  TPassage* passage = client->activePassage();
  TParallelView* parallel = client->activeParallel();
  if (!passage && !parallel) return;
  QWidget* view = passage ? static_cast<QWidget*>(passage) : parallel;
  BibleHandle* module = passage ? passage->module() : parallel->module(0);
  if (count() == 0) {
    client->showLinked(view, passage ? passage->currentReference() : parallel->currentReference(),
                       module);
    return;
  }
  Reference reference;
  parseReference(&reference, referenceText(currentText()).constData(), module);
  client->showLinked(view, reference, module);
}

bool TVersesFound::handleCommand(int id) {
  if (id == CmRefresh) {
    showSelected();
    return true;
  }
  if (id == CmRestoreDropHeight) return true;  // the pop-up's height is fixed by its item count
  switch (forwarding(id)) {
    case Forward::ToPassage:
      if (TPassage* passage = frame_->client()->activePassage()) passage->handleCommand(id);
      return true;
    case Forward::ToClient:
      return frame_->client()->handleCommand(id);
    case Forward::PostToClient:
      postCommand(frame_->client(), id);
      return true;
    case Forward::None:
      return false;
  }
  return false;
}

bool TVersesFound::commandState(int id, CommandState& state) {
  if (ownedBy(id, Owner::VersesFound)) {
    state.enabled = true;
    return true;
  }
  switch (forwarding(id)) {
    case Forward::ToPassage: {
      TPassage* passage = frame_->client()->activePassage();
      const bool storeOpen = id != CmStrongsLookup || frame_->lexicon() != nullptr;
      state.enabled = storeOpen && passage && passage->commandState(id, state) && state.enabled;
      return true;
    }
    case Forward::ToClient:
    case Forward::PostToClient:
      return frame_->client()->commandState(id, state);
    case Forward::None:
      return false;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// TMyMDIClient

TMyMDIClient::TMyMDIClient(TMyMDIFrame* frame) : QMdiArea(frame), frame_(frame) {
  setObjectName("TMyMDIClient");
  bookFlags_.fill(1);
  // The default translation opens once the main window stands.
  postCommand(this, CmOpenDefaultBible);
  loadBookSet();
}

Workbench& TMyMDIClient::workbench() const { return *frame_; }

TPassage* TMyMDIClient::activePassage() const {
  QMdiSubWindow* sub = activeSubWindow();
  if (!sub) sub = currentSubWindow();
  return sub ? qobject_cast<TPassage*>(sub->widget()) : nullptr;
}

TParallelView* TMyMDIClient::activeParallel() const {
  QMdiSubWindow* sub = activeSubWindow();
  if (!sub) sub = currentSubWindow();
  return sub ? qobject_cast<TParallelView*>(sub->widget()) : nullptr;
}

QList<TParallelView*> TMyMDIClient::parallelViews() const {
  QList<TParallelView*> result;
  for (QMdiSubWindow* sub : subWindowList())
    if (auto* view = qobject_cast<TParallelView*>(sub->widget())) result.append(view);
  return result;
}

QList<TPassage*> TMyMDIClient::passages() const {
  QList<TPassage*> result;
  for (QMdiSubWindow* sub : subWindowList())
    if (auto* passage = qobject_cast<TPassage*>(sub->widget())) result.append(passage);
  return result;
}

TPassage* TMyMDIClient::openBibleWindow(const bibleName& bible) {
  std::string why;
  auto* passage = new TPassage(bible, workbench(), &why);
  if (!passage->module()) {
    delete passage;
    _MessageBox(this,
                QString("The translation %1 (%2) could not be opened: %3")
                    .arg(QString::fromUtf8(bible.name), QString::fromUtf8(bible.path),
                         QString::fromStdString(why)),
                "Open Translation", MB_OK | MB_ICONEXCLAMATION);
    return nullptr;
  }
  return showBibleWindow(passage);
}

TPassage* TMyMDIClient::showBibleWindow(TPassage* passage, const QRect* geometry,
                                        Qt::WindowStates states) {
  connect(passage, &TPassage::verseClicked, this, [this, passage](Reference reference) {
    followLinked(passage, reference, passage->module());
  });
  addDocument(passage, geometry, states);
  passage->setFocus();
  return passage;
}

TParallelView* TMyMDIClient::openParallelWindow(const std::vector<bibleName>& bibles) {
  std::string why;
  auto* view = new TParallelView(bibles, &why);
  if (!view->isOpen()) {
    delete view;
    _MessageBox(
        this, QString("The parallel view could not be opened: %1").arg(QString::fromStdString(why)),
        "Parallel Translations", MB_OK | MB_ICONEXCLAMATION);
    return nullptr;
  }
  // It starts where the active window stands.
  TParallelView::Place place;
  if (TPassage* passage = activePassage()) {
    const Reference reference = passage->currentReference();
    const int book = mapBook(reference.book, passage->module(), view->module(0));
    if (book >= 0)
      place.reference =
          Reference{static_cast<std::uint8_t>(book), reference.chapter, reference.verse};
  } else if (TParallelView* parallel = activeParallel()) {
    const Reference reference = parallel->currentReference();
    const int book = mapBook(reference.book, parallel->module(0), view->module(0));
    if (book >= 0)
      place.reference =
          Reference{static_cast<std::uint8_t>(book), reference.chapter, reference.verse};
  }
  view->startAt(place);
  return showParallelWindow(view);
}

TParallelView* TMyMDIClient::showParallelWindow(TParallelView* view, const QRect* geometry,
                                                Qt::WindowStates states) {
  connect(view, &TParallelView::verseClicked, this,
          [this, view](Reference reference) { followLinked(view, reference, view->module(0)); });
  addDocument(view, geometry, states);
  view->setFocus();
  return view;
}

QMdiSubWindow* TMyMDIClient::addDocument(QWidget* document, const QRect* geometry,
                                         Qt::WindowStates states) {
  QWidget* below = activeSubWindow() ? activeSubWindow() : currentSubWindow();
  const bool maximised = states.testFlag(Qt::WindowMaximized) ||
                         (geometry == nullptr && below != nullptr && below->isMaximized());
  QMdiSubWindow* sub = addSubWindow(document);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  sub->setWindowIcon(frame_->windowIcon());
  QRect place;
  if (geometry != nullptr) {
    place = insideClient(*geometry);
  } else {
    // A chapter reads without scrolling sideways, and the window is all there to be seen.
    place = QRect(QPoint(0, 0), documentSize());
    if (below != nullptr && below->isVisible() && !below->isMinimized() && !below->isMaximized())
      place.moveTopLeft(below->pos() + QPoint(cascadeStep(), cascadeStep()));
    if (!viewport()->rect().contains(place)) place.moveTopLeft(QPoint(0, 0));
  }
  sub->setGeometry(place);
  if (maximised)
    sub->showMaximized();
  else if (states.testFlag(Qt::WindowMinimized))
    sub->showMinimized();
  else
    sub->show();
  setActiveSubWindow(sub);
  return sub;
}

void TMyMDIClient::setLinked(bool linked) {
  linked_ = linked;
  Q_EMIT linkedChanged(linked);
}

void TMyMDIClient::showLinked(QWidget* view, Reference reference, BibleHandle* module) {
  if (auto* passage = qobject_cast<TPassage*>(view)) {
    passage->showPassage(reference);
    // What the window shows: a verse past the chapter's end shows its last verse.
    reference = passage->currentReference();
  } else if (auto* parallel = qobject_cast<TParallelView*>(view)) {
    if (!parallel->showReference(reference)) return;
  }
  followLinked(view, reference, module);
}

void TMyMDIClient::followLinked(QWidget* source, Reference reference, BibleHandle* module) {
  if (!linked_ || following_ || module == nullptr) return;
  following_ = true;
  QStringList missing;
  for (QMdiSubWindow* sub : subWindowList()) {
    QWidget* document = sub->widget();
    if (document == source) continue;
    if (auto* passage = qobject_cast<TPassage*>(document)) {
      Reference mapped;
      if (mapReference(&mapped, reference, module, passage->module())) {
        passage->showPassage(mapped);
        continue;
      }
      char text[64] = {};
      unparseReference(text, reference, module);
      passage->showMissing(QString::fromUtf8(text));
      bibleName name;
      getBibleName(&name, passage->module());
      missing.append(QString::fromUtf8(name.name, qsizetype(strnlen(name.name, sizeof name.name))));
    } else if (auto* parallel = qobject_cast<TParallelView*>(document)) {
      parallel->followReference(reference, module);
    }
  }
  following_ = false;
  // The message bar tells of the windows that stayed, until the next passage is followed.
  char text[64] = {};
  unparseReference(text, reference, module);
  frame_->setStatusText(
      missing.isEmpty()
          ? QString()
          : QString("%1 is not in %2").arg(QString::fromUtf8(text), missing.join(", ")));
}

void TMyMDIClient::runParallelCommand() {
  bibleName activeName;
  const bibleName* first = nullptr;
  if (TPassage* passage = activePassage()) first = getBibleName(&activeName, passage->module());
  const std::string dataPath = frame_->dataPath();
  const std::vector<bibleName> chosen = runParallelDlg(this, dataPath.c_str(), first);
  if (chosen.empty()) {
    if (QMdiSubWindow* sub = activeSubWindow(); sub && sub->widget()) sub->widget()->setFocus();
    return;
  }
  openParallelWindow(chosen);
}

QSize TMyMDIClient::documentSize() const {
  const QSize area = viewport()->size();
  const QSize least = area.boundedTo(QSize(300, 200));
  return (area * 2 / 3).expandedTo(least);
}

int TMyMDIClient::cascadeStep() const {
  return std::max(16, style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this) + 4);
}

QRect TMyMDIClient::insideClient(QRect wanted) const {
  const QRect area = viewport()->rect();
  const QSize least = area.size().boundedTo(QSize(200, 150));
  wanted.setSize(wanted.size().expandedTo(least).boundedTo(area.size()));
  wanted.moveLeft(std::clamp(wanted.left(), 0, area.width() - wanted.width()));
  wanted.moveTop(std::clamp(wanted.top(), 0, area.height() - wanted.height()));
  return wanted;
}

void TMyMDIClient::cascade() {
  QList<QMdiSubWindow*> windows;
  for (QMdiSubWindow* sub : subWindowList(QMdiArea::StackingOrder))
    if (sub->isVisible() && !sub->isMinimized()) windows.append(sub);
  const QSize size = documentSize();
  const QSize room = viewport()->size() - size;
  const int step = cascadeStep();
  const int places = std::max(1, std::min(room.width(), room.height()) / step + 1);
  for (int i = 0; i < windows.size(); ++i) {
    if (windows[i]->isMaximized()) windows[i]->showNormal();
    const int offset = (i % places) * step;
    windows[i]->setGeometry(QRect(QPoint(offset, offset), size));
  }
}

void TMyMDIClient::setBookSet(int command, const std::array<std::uint32_t, 2000>& flags) {
  bookSetCommand_ = command;
  bookFlags_ = flags;
}

void TMyMDIClient::selectBookSet(int command, const std::array<std::uint32_t, 2000>& flags) {
  setBookSet(command, flags);
  storeBookSet(frame_->options(), command, flags);
}

void TMyMDIClient::loadBookSet() {
  if (std::optional<StoredBookSet> stored = loadStoredBookSet(frame_->options())) {
    setBookSet(stored->command, stored->flags);
    return;
  }
  // Absent or damaged: All Books, stored at once so the next start reads a sound pair.
  selectBookSet(CmAllBooks, bookSetFlags(CmAllBooks));
}

bool TMyMDIClient::handleCommand(int id) {
  TPassage* passage = activePassage();
  TParallelView* parallel = activeParallel();
  switch (id) {
    case CmLinkWindows:
      setLinked(!linked_);
      return true;
    case CmParallelWindow:
      runParallelCommand();
      return true;
    case CmToggleStrongs:
      if (parallel && parallel->hasStrongsNumbers()) parallel->toggleStrongs();
      if (passage && hasStrongs(passage->module())) {
        Reference current = passage->currentReference();
        setStrongs(passage->module(), !getStrongs(passage->module()));
        passage->showPassage(current);
      }
      return true;
    case CmHelpContents:
      openHelp(this, 1000);
      return true;
    case CmPrevChapter:
    case CmNextChapter: {
      if (parallel) {
        Reference reference = parallel->currentReference();
        const int moved = id == CmNextChapter ? nextChapter(&reference, parallel->module(0))
                                              : prevChapter(&reference, parallel->module(0));
        if (moved) showLinked(parallel, reference, parallel->module(0));
        return true;
      }
      if (!passage) return true;
      Reference reference = passage->currentReference();
      const int moved = id == CmNextChapter ? nextChapter(&reference, passage->module())
                                            : prevChapter(&reference, passage->module());
      if (moved) {
        char text[64] = {};
        unparseReference(text, reference, passage->module());
        frame_->showReferencesFound(&reference, 1, false, text, passage->module());
      }
      return true;
    }
    case CmNextFound:
    case CmPrevFound: {
      TVersesFound* box = frame_->versesFound();
      const int target = box->currentIndex() + (id == CmNextFound ? 1 : -1);
      if (target >= 0 && target < box->count()) {
        box->setCurrentIndex(target);
        postCommand(box, CmRefresh);
      }
      return true;
    }
    case CmCascade:
      cascade();
      return true;
    case CmTile:
      tileSubWindows();
      return true;
    case CmArrangeIcons: {
      // Minimised windows in a row along the bottom edge.
      int x = 0;
      for (QMdiSubWindow* sub : subWindowList()) {
        if (!sub->isMinimized()) continue;
        sub->move(x, viewport()->height() - sub->height());
        x += sub->width();
      }
      return true;
    }
    case CmCloseAll:
      closeAllSubWindows();
      return true;
    case CmCommentary:
      if (passage) runCommentary(*passage);
      return true;
    default:
      break;
  }
  if (id < CmAllBooks || id > CmGeneralEpistles) return false;
  if (id != CmSpecificBooks) {
    selectBookSet(id, bookSetFlags(id));
    return true;
  }
  BookFlags flags = bookFlags_;
  if (chooseSpecificBooks(passage ? static_cast<QWidget*>(passage) : this, flags,
                          passage ? passage->module() : nullptr))
    selectBookSet(CmSpecificBooks, flags);
  return true;
}

bool TMyMDIClient::commandState(int id, CommandState& state) {
  TPassage* passage = activePassage();
  TParallelView* parallel = activeParallel();
  const bool hasWindows = !subWindowList().isEmpty();
  switch (id) {
    case CmLinkWindows:
      state.enabled = true;
      state.checked = linked_;
      return true;
    case CmParallelWindow:
      state.enabled = true;
      return true;
    case CmToggleStrongs:
      if (parallel) {
        state.enabled = parallel->hasStrongsNumbers();
        if (state.enabled)
          state.text =
              parallel->strongsShown() ? "Hide Strongs Numbers" : "Display Strongs Numbers";
        return true;
      }
      state.enabled = passage && hasStrongs(passage->module());
      if (passage && hasStrongs(passage->module()))
        state.text =
            getStrongs(passage->module()) ? "Hide Strongs Numbers" : "Display Strongs Numbers";
      return true;
    case CmHelpContents:
      state.enabled = true;
      return true;
    case CmPrevChapter:
    case CmNextChapter: {
      state.enabled = false;
      if (parallel) {
        Reference reference = parallel->currentReference();
        state.enabled = (id == CmNextChapter ? nextChapter(&reference, parallel->module(0))
                                             : prevChapter(&reference, parallel->module(0))) != 0;
      } else if (passage && hasWindows) {
        Reference reference = passage->currentReference();
        state.enabled = (id == CmNextChapter ? nextChapter(&reference, passage->module())
                                             : prevChapter(&reference, passage->module())) != 0;
      }
      return true;
    }
    case CmNextFound:
      state.enabled =
          hasWindows && frame_->versesFound()->currentIndex() < frame_->versesFound()->count() - 1;
      return true;
    case CmPrevFound:
      state.enabled = hasWindows && frame_->versesFound()->currentIndex() > 0;
      return true;
    case CmCascade:
    case CmTile:
    case CmArrangeIcons:
    case CmCloseAll:
      state.enabled = hasWindows;
      return true;
    case CmCommentary:
      state.enabled = frame_->commentary() != nullptr && hasWindows;
      return true;
    default:
      break;
  }
  if (id < CmAllBooks || id > CmGeneralEpistles) return false;
  state.enabled = passage != nullptr;
  state.checked = id == bookSetCommand_;
  return true;
}

// ---------------------------------------------------------------------------------------------
// TMyMDIFrame

TMyMDIFrame::TMyMDIFrame(Workbench& stores) : stores_(stores) {
  setObjectName("TMyMDIFrame");
  setWindowTitle("Vellum For Windows");
  setWindowIcon(programIcon());
  setAttribute(Qt::WA_DeleteOnClose, false);
  client_ = new TMyMDIClient(this);
  setCentralWidget(client_);
  setRouteAnchors(this, client_);
  buildActions();
  buildMenus();
  buildToolBar();

  QFont barFont = font();
  barFont.setPointSize(10);
  statusBar()->setFont(barFont);
  statusBar()->setObjectName("TMessageBar");
  statusBar()->setSizeGripEnabled(true);

  connect(client_, &QMdiArea::subWindowActivated, this, [this] { updateCommandStates(); });
  connect(qApp, &QApplication::focusChanged, this, [this] { updateCommandStates(); });
  // Buttons follow their enablers while the program is idle.
  auto* idle = new QTimer(this);
  connect(idle, &QTimer::timeout, this, [this] { updateCommandStates(); });
  idle->start(250);

  move_window(this, kIniFile);
  updateCommandStates();
}

TMyMDIFrame::~TMyMDIFrame() {
  // The focus moves while the windows go; the frame's enablers must not answer it then.
  disconnect(qApp, nullptr, this, nullptr);
  disconnect(client_, nullptr, this, nullptr);
  setRouteAnchors(nullptr, nullptr);
  // The Bible windows close their stores while the application's stores are still open.
  client_->closeAllSubWindows();
  for (QMdiSubWindow* sub : client_->subWindowList()) delete sub;
}

void TMyMDIFrame::buildActions() {
  for (const CommandInfo& command : commandTable()) {
    if (!command.text || (command.flags & Twin)) continue;  // internal, or a second menu entry
    auto* action = new QAction(QString::fromUtf8(command.text), this);
    action->setData(command.id);
    action->setObjectName(QString::number(command.id));
    if (command.shortcut) {
      action->setShortcut(QKeySequence(command.shortcut));
      action->setShortcutContext(Qt::WindowShortcut);
    }
    if (command.hint) {
      action->setStatusTip(command.hint);
      action->setToolTip(command.hint);
    }
    action->setCheckable(command.flags & Checkable);
    connect(action, &QAction::triggered, this, [id = command.id] { dispatchCommand(id); });
    connect(action, &QAction::hovered, this, [this, id = command.id] { showHint(id); });
    addAction(action);  // shortcuts work while the menus are hidden
    actions_[command.id] = action;
  }
}

QAction* TMyMDIFrame::action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void TMyMDIFrame::buildMenus() {
  // Left to right, as the command table's Menu lists them.
  static constexpr std::pair<Menu, const char*> kMenus[] = {{Menu::File, "&File"},
                                                            {Menu::Edit, "&Edit"},
                                                            {Menu::Search, "&Search"},
                                                            {Menu::Topics, "&Topics"},
                                                            {Menu::Dictionary, "&Dictionary"},
                                                            {Menu::VerseNotes, "&Verse Notes"},
                                                            {Menu::Hilight, "Hi&light"},
                                                            {Menu::Window, "&Window"},
                                                            {Menu::Help, "&Help"}};
  QMenuBar* bar = menuBar();
  for (const auto& [which, title] : kMenus) {
    QMenu* menu = bar->addMenu(title);
    menu->setObjectName(menu->title().remove('&') + "Menu");
    for (const CommandInfo& command : commandTable()) {
      if (command.menu != which) continue;
      if (command.flags & SeparatorBefore) menu->addSeparator();
      if (!(command.flags & Twin)) {
        menu->addAction(action(command.id));
        continue;
      }
      // A second entry of a command: the same command under another text; the shortcut is the
      // first entry's, shown here too.
      auto* twin = new QAction(
          QString("%1\t%2").arg(QString::fromUtf8(command.text), command.shortcut), this);
      if (command.hint) twin->setStatusTip(command.hint);
      connect(twin, &QAction::triggered, this, [id = command.id] { dispatchCommand(id); });
      menu->addAction(twin);
      twinActions_.append({command.id, twin});
    }
    connect(menu, &QMenu::aboutToShow, this, [this] { updateCommandStates(); });
    // File and Help stand without a Bible window; the others come with it.
    if (which != Menu::File && which != Menu::Help) bibleMenus_.append(menu);
  }
}

void TMyMDIFrame::buildToolBar() {
  toolBar_ = addToolBar("Tools");
  toolBar_->setObjectName(QString::number(kToolBarId));
  toolBar_->setMovable(false);
  QFont barFont = toolBar_->font();
  barFont.setPointSize(10);
  toolBar_->setFont(barFont);
  QStyle* style = this->style();
  action(CmSearch)->setIcon(style->standardIcon(QStyle::SP_FileDialogContentsView));
  action(CmGoto)->setIcon(style->standardIcon(QStyle::SP_FileDialogDetailedView));
  action(CmPrevChapter)->setIcon(style->standardIcon(QStyle::SP_MediaSeekBackward));
  action(CmNextChapter)->setIcon(style->standardIcon(QStyle::SP_MediaSeekForward));
  action(CmPrevFound)->setIcon(style->standardIcon(QStyle::SP_ArrowLeft));
  action(CmNextFound)->setIcon(style->standardIcon(QStyle::SP_ArrowRight));
  toolBar_->addAction(action(CmSearch));
  toolBar_->addAction(action(CmGoto));
  toolBar_->addSeparator();
  toolBar_->addAction(action(CmPrevChapter));
  toolBar_->addSeparator();
  toolBar_->addAction(action(CmNextChapter));
  toolBar_->addSeparator();
  toolBar_->addAction(action(CmPrevFound));
  versesFound_ = new TVersesFound(this);
  toolBar_->addWidget(versesFound_);
  toolBar_->addAction(action(CmNextFound));
  toolBar_->addSeparator();
  messageField_ = new MessageField(this);
  messageField_->setObjectName(QString::number(kMessageFieldId));
  toolBar_->addWidget(messageField_);
  // The tool bar's buttons are named after their commands so they can be found.
  for (int id : {CmSearch, CmGoto, CmPrevChapter, CmNextChapter, CmPrevFound, CmNextFound})
    if (QWidget* button = toolBar_->widgetForAction(action(id)))
      button->setObjectName(QString("button%1").arg(id));
}

void TMyMDIFrame::showHint(int id) {
  const CommandInfo* command = findCommand(id);
  setStatusText(command && command->hint ? command->hint : "");
}

void TMyMDIFrame::setStatusText(const QString& text) {
  if (text.isEmpty())
    statusBar()->clearMessage();
  else
    statusBar()->showMessage(text);
}

QString TMyMDIFrame::statusText() const { return statusBar()->currentMessage(); }

void TMyMDIFrame::updateCommandStates() {
  const bool bibleActive =
      client_->activePassage() != nullptr || client_->activeParallel() != nullptr;
  for (QMenu* menu : bibleMenus_) menu->menuAction()->setVisible(bibleActive);
  for (auto& [id, action] : actions_) {
    CommandState state = queryCommand(id);
    action->setEnabled(state.enabled);
    if (action->isCheckable()) action->setChecked(state.checked);
    if (!state.text.isEmpty())
      action->setText(state.text);
    else if (const CommandInfo* command = findCommand(id))
      action->setText(QString::fromUtf8(command->text));
  }
  for (auto& [id, twin] : twinActions_) twin->setEnabled(action(id)->isEnabled());
}

void TMyMDIFrame::showVersesFound(const std::uint16_t* verses, std::uint16_t count, bool restrict,
                                  const char* searchText, BibleHandle* module) {
  TPassage* passage = client_->activePassage();
  Reference parsed;
  if (count == 1 && parseReference(&parsed, searchText, module)) {
    if (passage) {
      client_->showLinked(passage, verseToReference(verses[0], module), module);
      passage->setFocus();
    }
    return;
  }

  // The kept set: the box's references, in box order (ascending, as a search produced them).
  std::vector<Reference> kept;
  const bool useKept = restrict && versesFound_->count() > 0;
  if (useKept) {
    for (int i = 0; i < versesFound_->count(); ++i) {
      Reference reference;
      parseReference(&reference, referenceText(versesFound_->itemText(i)).constData(), module);
      kept.push_back(reference);
    }
  }
  auto byteOrder = [](const Reference& a, const Reference& b) {
    return std::tie(a.book, a.chapter, a.verse) < std::tie(b.book, b.chapter, b.verse);
  };
  versesFound_->clear();
  int found = 0;
  QStringList entries;
  for (std::uint16_t i = 0; i < count; ++i) {
    const Reference reference = verseToReference(verses[i], module);
    const bool take = useKept ? std::binary_search(kept.begin(), kept.end(), reference, byteOrder)
                              : client_->bookFlags()[reference.book] != 0;
    if (!take) continue;
    char text[64] = {};
    unparseReference(text, reference, module);
    entries.append(QString::fromUtf8(text));
    ++found;
  }
  versesFound_->addItems(entries);
  versesFound_->setCurrentIndex(entries.isEmpty() ? -1 : 0);

  const QString search = QString::fromUtf8(searchText);
  QString message;
  if (found == 1)
    message = QString("1 verse found containing \"%1\"").arg(search);
  else if (found > 1)
    message = QString("%1 verses found containing \"%2\"").arg(found).arg(search);
  else
    message = QString(
                  "I'm sorry but no verses were found containing \"%1\". Try a different "
                  "expression or try setting the search menu to \"All Books\" or the search radio "
                  "button on the \"Search\" dialog box from \"Verses Found\" to \"All Books\"")
                  .arg(search);
  messageField_->setText(message);
  messageField_->setToolTip(message);
  if (found == 0) _MessageBox(passage, message, "No verses found", MB_OK);
  postCommand(versesFound_, CmRefresh);
  if (passage) passage->setFocus();
}

QStringList TMyMDIFrame::versesFoundEntries() const {
  QStringList entries;
  for (int i = 0; i < versesFound_->count(); ++i) entries.append(versesFound_->itemText(i));
  return entries;
}

QString TMyMDIFrame::selectedVerseFound() const { return versesFound_->currentText(); }

void TMyMDIFrame::showReferencesFound(const Reference* references, std::uint16_t count,
                                      bool restrict, const char* searchText, BibleHandle* module) {
  std::vector<std::uint16_t> verses(count + 1u, kVerseListEnd);
  for (std::uint16_t i = 0; i < count; ++i) verses[i] = referenceToVerse(references[i], module);
  showVersesFound(verses.data(), count, restrict, searchText, module);
}

bool TMyMDIFrame::handleCommand(int id) {
  if (id != CmExit) return false;
  close();
  return true;
}

bool TMyMDIFrame::commandState(int id, CommandState& state) {
  if (id != CmExit) return false;
  state.enabled = true;
  return true;
}

void TMyMDIFrame::closeEvent(QCloseEvent* event) {
  // A minimised window keeps the placement saved before.
  if (!isMinimized()) save_window_pos(this, kIniFile);
  Q_EMIT closing();
  client_->closeAllSubWindows();
  event->accept();
}

}  // namespace vellum::ui
