#include "app/commands.h"

#include <QApplication>
#include <QMetaObject>
#include <algorithm>

namespace vellum::ui {
namespace {

constexpr CommandInfo kCommands[] = {
    {CmOpenTranslation, "&Open Another Translation...", "Ctrl+O",
     "Opens a new window referencing a Bible of your choice"},
    {CmFilePrint, "&Print...", "Ctrl+P", "Print the selection, chapter, or list of verses found"},
    {CmWindowFont, "Select &Window Font...", nullptr, nullptr},
    {CmPrinterFont, "&Select Printer Font...", nullptr, nullptr},
    {CmToggleStrongs, "&Toggle Strong's Numbers", nullptr,
     "Toggles the display of Strong's numbers on and off"},
    {CmExit, "E&xit...", nullptr, nullptr},
    {CmHelpContents, "&How to...", nullptr, nullptr},
    {CmEditCopy, "&Copy...", "Ctrl+C",
     "Copy the selection, chapter, or list of verses found to the clipboard"},
    {CmAppend, "&Append...", "Ctrl+A",
     "Append the selection, chapter, or list of verses found to the clipboard"},
    {CmSearch, "&Search...", "Ctrl+S",
     "Search the bible by verse, topic, word, phrase, expression, phonetically or using wild "
     "cards"},
    {CmGoto, "&Go to...", "Ctrl+G", "Jump to a specific reference in the bible"},
    {CmWildCard, "Wil&dCard...", nullptr, nullptr},
    {CmPhonetic, "Pho&netic...", nullptr, nullptr},
    {CmStrongsLookup, "Search S&trong's Numbers...", "Ctrl+L",
     "Look up a Strong's number in the Lexicon"},
    {CmCommentary, "Search &Matthew Henry's Commentary..", "Ctrl+Y",
     "Look up a passage in the Commentary"},
    {309, "&All Books", nullptr, "Include all books of the Bible in a search"},
    {310, "S&pecific Books...", nullptr, "Include selected books of the Bible in a search"},
    {311, "Old Testament", nullptr, "Include only the Old Testament in a search"},
    {312, "New Testament", nullptr, "Include only the New Testament in a search"},
    {313, "Pentateuch", nullptr, "Include only the Pentateuch in a search"},
    {314, "Old Testament History", nullptr,
     "Include only books of Old Testament History in a search"},
    {315, "Poetry", nullptr, "Include only books of poetry in a search"},
    {316, "Major Prophets", nullptr, "Include only the Major Prophets in a search"},
    {317, "Minor Prophets", nullptr, "Include only the Minor Prophets in a search"},
    {318, "New Testament History", nullptr,
     "Include only books of New Testament History in a search"},
    {319, "Paul's Letters", nullptr, "Include only Paul's Letters in a search"},
    {320, "General Epistles", nullptr, "Include only the General Epistles in a search"},
    {CmAddTopic, "&Add Topic...", nullptr, "Add a topic to the topical index"},
    {CmRenameTopic, "&Rename Topic...", nullptr, "Rename a topic in the topical index"},
    {CmDeleteTopic, "&Delete Topic...", nullptr, "Delete a topic from the topical index"},
    {CmInsertVerse, "In&sert Verse...", "Ctrl+V", "Add a verse to a topic in the topical index"},
    {CmDeleteVerse, "De&lete Verse...", nullptr,
     "Delete a verse from a topic in the topical index"},
    {CmDictionary, "&Search Dictionary...", "Ctrl+D", "Find a word in the dictionary"},
    {CmAddWord, "&Add Word...", nullptr, "Add a word to the dictionary"},
    {CmRenameWord, "&Rename Word...", nullptr, "Rename a word in the dictionary"},
    {CmDeleteWord, "&Delete Word...", nullptr, "Delete a word from the dictionary"},
    {CmAddNote, "&Add Note...", "Ctrl+T", "Attach a note to a verse"},
    {CmEditNote, "&Edit Note...", nullptr, "Change a note already attached to a verse"},
    {CmDeleteNote, "&Delete Note...", nullptr, "Delete a note already attached to a verse"},
    {CmHilightRed, "Hilight &Red", nullptr, "Hilight the selected text red"},
    {CmHilightBlue, "Hilight &Blue", nullptr, "Hilight the selected text blue"},
    {CmHilightGreen, "Hilight &Green", nullptr, "Hilight the selected text green"},
    {CmHilightYellow, "Hilight &Yellow", nullptr, "Hilight the selected text yellow"},
    {CmUnhilight, "&Unhilight", nullptr, "Unhilight the selected text"},
    {CmCascade, "&Cascade", nullptr, nullptr},
    {CmTile, "&Tile", nullptr, nullptr},
    {CmArrangeIcons, "Arrange &Icons", nullptr, nullptr},
    {CmCloseAll, "C&lose All", nullptr, nullptr},
    {CmNewWindow, "&New Window", "Ctrl+N",
     "Opens a new window referencing the Bible opened in the active window"},
    {CmLinkWindows, "Lin&k Windows", "Ctrl+K",
     "Makes every Bible window follow the passage of the active one"},
    {CmParallelWindow, "&Parallel Translations...", "Ctrl+R",
     "Opens a window that shows two to four translations side by side, verse by verse"},
    {CmPrevChapter, nullptr, nullptr, "Click this button to go to the previous chapter"},
    {CmNextChapter, nullptr, nullptr, "Click this button to go to the next chaper"},
    {CmPrevFound, nullptr, nullptr,
     "Click this button to go to the previous verse in the verses found list"},
    {CmNextFound, nullptr, nullptr,
     "Click this button to go to the next verse in the verses found list"},
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
                         [id](const CommandInfo& c) { return c.id == id; });
  return it == std::end(kCommands) ? nullptr : &*it;
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
