#include "app/commands.h"

#include <QApplication>
#include <QMetaObject>
#include <algorithm>

namespace vellum::ui {
namespace {

using enum Owner;
using M = Menu;

constexpr CommandInfo kCommands[] = {
    {CmOpenTranslation, Application, M::File, "&Open Another Translation...", "Ctrl+O",
     "Opens a new window referencing a Bible of your choice"},
    {CmFilePrint, BibleWindow, M::File, "&Print...", "Ctrl+P",
     "Print the selection, chapter, or list of verses found"},
    {CmWindowFont, BibleWindow, M::File, "Select &Window Font...", nullptr, nullptr,
     SeparatorBefore},
    {CmPrinterFont, BibleWindow, M::File, "&Select Printer Font...", nullptr, nullptr},
    {CmToggleStrongs, Client, M::File, "&Toggle Strong's Numbers", nullptr,
     "Toggles the display of Strong's numbers on and off", SeparatorBefore},
    {CmExit, Frame, M::File, "E&xit...", nullptr, nullptr, SeparatorBefore},
    {CmEditCopy, BibleWindow, M::Edit, "&Copy...", "Ctrl+C",
     "Copy the selection, chapter, or list of verses found to the clipboard"},
    {CmAppend, BibleWindow, M::Edit, "&Append...", "Ctrl+A",
     "Append the selection, chapter, or list of verses found to the clipboard"},
    {CmSearch, BibleWindow, M::Search, "&Search...", "Ctrl+S",
     "Search the bible by verse, topic, word, phrase, expression, phonetically or using wild "
     "cards"},
    {CmGoto, BibleWindow, M::Search, "&Go to...", "Ctrl+G",
     "Jump to a specific reference in the bible"},
    // The Search menu names the dictionary look-up after its dictionary: the twin of 501.
    {CmDictionary, BibleWindow, M::Search, "Search &Easton's Dictionary...", "Ctrl+D",
     "Find a word in the dictionary", Twin},
    {CmStrongsLookup, BibleWindow, M::Search, "Search S&trong's Numbers...", "Ctrl+L",
     "Look up a Strong's number in the Lexicon"},
    {CmCommentary, Client, M::Search, "Search &Matthew Henry's Commentary..", "Ctrl+Y",
     "Look up a passage in the Commentary"},
    {CmAllBooks, Client, M::Search, "&All Books", nullptr,
     "Include all books of the Bible in a search", Checkable | SeparatorBefore},
    {CmSpecificBooks, Client, M::Search, "S&pecific Books...", nullptr,
     "Include selected books of the Bible in a search", Checkable},
    {CmOldTestament, Client, M::Search, "Old Testament", nullptr,
     "Include only the Old Testament in a search", Checkable},
    {CmNewTestament, Client, M::Search, "New Testament", nullptr,
     "Include only the New Testament in a search", Checkable},
    {CmPentateuch, Client, M::Search, "Pentateuch", nullptr,
     "Include only the Pentateuch in a search", Checkable},
    {CmOldTestamentHistory, Client, M::Search, "Old Testament History", nullptr,
     "Include only books of Old Testament History in a search", Checkable},
    {CmPoetry, Client, M::Search, "Poetry", nullptr, "Include only books of poetry in a search",
     Checkable},
    {CmMajorProphets, Client, M::Search, "Major Prophets", nullptr,
     "Include only the Major Prophets in a search", Checkable},
    {CmMinorProphets, Client, M::Search, "Minor Prophets", nullptr,
     "Include only the Minor Prophets in a search", Checkable},
    {CmNewTestamentHistory, Client, M::Search, "New Testament History", nullptr,
     "Include only books of New Testament History in a search", Checkable},
    {CmPaulsLetters, Client, M::Search, "Paul's Letters", nullptr,
     "Include only Paul's Letters in a search", Checkable},
    {CmGeneralEpistles, Client, M::Search, "General Epistles", nullptr,
     "Include only the General Epistles in a search", Checkable},
    {CmAddTopic, BibleWindow, M::Topics, "&Add Topic...", nullptr,
     "Add a topic to the topical index"},
    {CmRenameTopic, BibleWindow, M::Topics, "&Rename Topic...", nullptr,
     "Rename a topic in the topical index"},
    {CmDeleteTopic, BibleWindow, M::Topics, "&Delete Topic...", nullptr,
     "Delete a topic from the topical index"},
    {CmInsertVerse, BibleWindow, M::Topics, "In&sert Verse...", "Ctrl+V",
     "Add a verse to a topic in the topical index", SeparatorBefore},
    {CmDeleteVerse, BibleWindow, M::Topics, "De&lete Verse...", nullptr,
     "Delete a verse from a topic in the topical index"},
    {CmDictionary, BibleWindow, M::Dictionary, "&Search Dictionary...", "Ctrl+D",
     "Find a word in the dictionary"},
    {CmAddWord, BibleWindow, M::Dictionary, "&Add Word...", nullptr,
     "Add a word to the dictionary"},
    {CmRenameWord, BibleWindow, M::Dictionary, "&Rename Word...", nullptr,
     "Rename a word in the dictionary"},
    {CmDeleteWord, BibleWindow, M::Dictionary, "&Delete Word...", nullptr,
     "Delete a word from the dictionary"},
    {CmAddNote, BibleWindow, M::VerseNotes, "&Add Note...", "Ctrl+T", "Attach a note to a verse"},
    {CmEditNote, BibleWindow, M::VerseNotes, "&Edit Note...", nullptr,
     "Change a note already attached to a verse"},
    {CmDeleteNote, BibleWindow, M::VerseNotes, "&Delete Note...", nullptr,
     "Delete a note already attached to a verse"},
    {CmHilightRed, BibleWindow, M::Hilight, "Hilight &Red", nullptr,
     "Hilight the selected text red"},
    {CmHilightBlue, BibleWindow, M::Hilight, "Hilight &Blue", nullptr,
     "Hilight the selected text blue"},
    {CmHilightGreen, BibleWindow, M::Hilight, "Hilight &Green", nullptr,
     "Hilight the selected text green"},
    {CmHilightYellow, BibleWindow, M::Hilight, "Hilight &Yellow", nullptr,
     "Hilight the selected text yellow"},
    {CmUnhilight, BibleWindow, M::Hilight, "&Unhilight", nullptr, "Unhilight the selected text"},
    {CmCascade, Client, M::Window, "&Cascade", nullptr, nullptr, BoxPosts},
    {CmTile, Client, M::Window, "&Tile", nullptr, nullptr, BoxPosts},
    {CmArrangeIcons, Client, M::Window, "Arrange &Icons", nullptr, nullptr, BoxPosts},
    {CmCloseAll, Client, M::Window, "C&lose All", nullptr, nullptr, BoxPosts},
    {CmNewWindow, Application, M::Window, "&New Window", "Ctrl+N",
     "Opens a new window referencing the Bible opened in the active window", SeparatorBefore},
    {CmLinkWindows, Client, M::Window, "Lin&k Windows", "Ctrl+K",
     "Makes every Bible window follow the passage of the active one", Checkable | SeparatorBefore},
    {CmParallelWindow, Client, M::Window, "&Parallel Translations...", "Ctrl+R",
     "Opens a window that shows two to four translations side by side, verse by verse"},
    {CmHelpContents, Client, M::Help, "&How to...", nullptr, nullptr},
    // Opened from a search dialog's buttons only.
    {CmWildCard, BibleWindow, M::None, "Wil&dCard...", nullptr, nullptr},
    {CmPhonetic, BibleWindow, M::None, "Pho&netic...", nullptr, nullptr},
    // The tool bar's buttons.
    {CmPrevChapter, Client, M::None, "Previous Chapter", nullptr,
     "Click this button to go to the previous chapter"},
    {CmNextChapter, Client, M::None, "Next Chapter", nullptr,
     "Click this button to go to the next chaper"},
    {CmPrevFound, Client, M::None, "Previous Verse Found", nullptr,
     "Click this button to go to the previous verse in the verses found list"},
    {CmNextFound, Client, M::None, "Next Verse Found", nullptr,
     "Click this button to go to the next verse in the verses found list"},
    // Posted by the program itself.
    {CmOpenDefaultBible, Application, M::None, nullptr, nullptr, nullptr},
    {CmMemoryReport, Application, M::None, nullptr, nullptr, nullptr},
    {CmShowFirstVerse, Application, M::None, nullptr, nullptr, nullptr},
    {CmRefresh, VersesFound, M::None, nullptr, nullptr, nullptr},
    {CmRestoreDropHeight, VersesFound, M::None, nullptr, nullptr, nullptr},
};

CommandHandler* applicationHandler = nullptr;
QPointer<QWidget> routeFrame;
QPointer<QWidget> routeClient;

// Calls visit on every handler along the route from start: start and its parents up to the
// frame, then the application object; stops at the first visit that returns true.
template <class Visit>
bool walkRoute(QWidget* start, Visit&& visit) {
  for (QWidget* w = start; w; w = w->parentWidget()) {
    if (auto* handler = dynamic_cast<CommandHandler*>(w); handler && visit(*handler)) return true;
    if (w == routeFrame) break;
  }
  return applicationHandler && visit(*applicationHandler);
}

// The menu bar takes the keyboard focus while it is worked from the keyboard; commands then
// still belong to the window that had the focus before it.
QPointer<QWidget> documentFocus;

bool isMenuWidget(const QWidget* w) {
  return w && (w->inherits("QMenuBar") || w->inherits("QMenu"));
}

QWidget* routeStart() {
  QWidget* focus = QApplication::focusWidget();
  if (isMenuWidget(focus)) focus = documentFocus;
  if (focus && routeFrame && (focus == routeFrame || routeFrame->isAncestorOf(focus))) return focus;
  return routeClient;
}

// A user's command runs only when its handler enables it; posted internal commands always run.
bool route(QWidget* start, int id, bool checkEnabled) {
  return walkRoute(start, [id, checkEnabled](CommandHandler& handler) {
    if (checkEnabled) {
      CommandState state;
      if (!handler.commandState(id, state)) return false;
      if (!state.enabled) return true;  // held here but disabled: nobody else may take it
    }
    return handler.handleCommand(id);
  });
}

CommandState query(QWidget* start, int id) {
  CommandState result;
  walkRoute(start, [id, &result](CommandHandler& handler) {
    CommandState state;
    if (!handler.commandState(id, state)) return false;
    result = state;
    return true;
  });
  return result;
}

}  // namespace

std::span<const CommandInfo> commandTable() { return kCommands; }

const CommandInfo* findCommand(int id) {
  auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                         [id](const CommandInfo& c) { return c.id == id && !(c.flags & Twin); });
  return it == std::end(kCommands) ? nullptr : &*it;
}

bool ownedBy(int id, Owner owner) {
  const CommandInfo* command = findCommand(id);
  return command && command->owner == owner;
}

void setApplicationHandler(CommandHandler* handler) { applicationHandler = handler; }

void setRouteAnchors(QWidget* frame, QWidget* client) {
  routeFrame = frame;
  routeClient = client;
  static bool watching = false;
  if (!watching && qApp) {
    watching = true;
    QObject::connect(qApp, &QApplication::focusChanged, qApp, [](QWidget*, QWidget* now) {
      if (now && !isMenuWidget(now)) documentFocus = now;
    });
  }
}

bool dispatchCommand(int id) { return route(routeStart(), id, true); }
bool dispatchCommandFrom(QWidget* start, int id) { return route(start, id, true); }
CommandState queryCommand(int id) { return query(routeStart(), id); }
CommandState queryCommandFrom(QWidget* start, int id) { return query(start, id); }

void postCommand(QWidget* target, int id) {
  if (!target) return;
  // Queued on the target: it runs after the current handler and never on a destroyed window.
  QMetaObject::invokeMethod(
      target, [target, id] { route(target, id, false); }, Qt::QueuedConnection);
}

}  // namespace vellum::ui
