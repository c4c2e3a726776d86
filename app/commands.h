// Commands: every user command is a number shared by the menus, the accelerators, the tool
// bar and the message bar's hints. One table (commandTable) holds each command's owner, menu,
// text, shortcut and hint, and whether it carries a check mark; the menus, the accelerators,
// the tool bar's texts, the verses-found box's forwarding and the windows' own command lists
// are all read from it, so they never disagree.
//
// Routing: a command goes to the window that has the keyboard focus when that window lies in
// the main window (otherwise to the MDI client) and climbs its parent chain up to the frame;
// the first widget that is a CommandHandler and holds the command in its table runs it. When
// none does, the application object is asked. Enabling (grey items, check marks, changed
// texts) is asked along the same route. Posted commands run after the current handler returns.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <span>

namespace vellum::ui {

enum Command : int {
  CmOk = 1,
  CmCancel = 2,
  CmHelp = 3,
  CmOpenDefaultBible = 101,
  CmMemoryReport = 106,
  CmPrinterFont = 108,
  CmWindowFont = 109,
  CmAppend = 202,
  CmSearch = 300,
  CmGoto = 301,
  CmWildCard = 306,
  CmPhonetic = 307,
  CmStrongsLookup = 308,
  CmAllBooks = 309,
  CmSpecificBooks = 310,
  CmOldTestament = 311,
  CmNewTestament = 312,
  CmPentateuch = 313,
  CmOldTestamentHistory = 314,
  CmPoetry = 315,
  CmMajorProphets = 316,
  CmMinorProphets = 317,
  CmNewTestamentHistory = 318,
  CmPaulsLetters = 319,
  CmGeneralEpistles = 320,
  CmCommentary = 321,
  CmAddTopic = 401,
  CmRenameTopic = 402,
  CmDeleteTopic = 403,
  CmInsertVerse = 404,
  CmDeleteVerse = 405,
  CmDictionary = 501,
  CmAddWord = 502,
  CmRenameWord = 503,
  CmDeleteWord = 504,
  CmDefinitionDoubleClick = 515,
  CmAddNote = 601,
  CmEditNote = 602,
  CmDeleteNote = 603,
  CmHilightRed = 701,
  CmHilightGreen = 702,
  CmHilightBlue = 703,
  CmHilightYellow = 704,
  CmUnhilight = 705,
  CmToggleStrongs = 750,
  CmRefresh = 903,  // dialogs: refresh dependent controls; verses-found box: show the entry
  CmPrevChapter = 905,
  CmNextChapter = 906,
  CmNextFound = 907,
  CmPrevFound = 908,
  CmLinkWindows = 920,     // every Bible window follows the active one
  CmParallelWindow = 921,  // translations side by side in one window
  CmHelpContents = 1003,
  CmRestoreDropHeight = 14000,
  CmShowFirstVerse = 14001,
  CmExit = 24310,
  CmEditCopy = 24323,
  CmNewWindow = 24331,
  CmOpenTranslation = 24332,
  CmFilePrint = 24337,
  CmCascade = 24361,
  CmTile = 24362,
  CmArrangeIcons = 24364,
  CmCloseAll = 24365,
};

// Who answers a command. With the focus in the verses-found box, the box passes the commands of
// the Bible window to the active one (dropped when none is active) and the client's to the
// client; the window arrangements it posts to the client instead (boxPosts).
enum class Owner : std::uint8_t { Application, Frame, Client, BibleWindow, VersesFound };

// The menus of the menu bar, left to right; a command of no menu has Menu::None.
enum class Menu : std::uint8_t {
  None,
  File,
  Edit,
  Search,
  Topics,
  Dictionary,
  VerseNotes,
  Hilight,
  Window,
  Help
};

struct CommandInfo {
  int id;
  Owner owner;
  Menu menu;
  const char* text;      // menu or button text with '&' mnemonics; null for internal commands
  const char* shortcut;  // QKeySequence text ("Ctrl+S"), or null
  const char* hint;      // message-bar hint while the item is highlighted, or null
  unsigned flags = 0;    // CommandFlag bits
};

enum CommandFlag : unsigned {
  Checkable = 1,        // its items carry a check mark
  SeparatorBefore = 2,  // a separator above its menu item
  BoxPosts = 4,         // the verses-found box posts it to its owner
  Twin = 8,             // a second menu entry of a command listed before
};

// Every command, the menu entries in menu order. A command shown in a second menu has a second
// row there (its twin); findCommand never gives a twin.
std::span<const CommandInfo> commandTable();
// The entry of a command, or null.
const CommandInfo* findCommand(int id);
// Whether the command is the owner's (false for an unknown command).
bool ownedBy(int id, Owner owner);

// What the menus and buttons show for a command.
struct CommandState {
  bool enabled = false;
  bool checked = false;
  QString text;  // empty: keep the table's menu text
};

// A window (or the application object) that answers commands. Both calls return false when
// the command is not in this handler's table, so the router asks the next one on the route.
class CommandHandler {
 public:
  virtual ~CommandHandler() = default;
  virtual bool handleCommand(int id) = 0;
  virtual bool commandState(int id, CommandState& state) = 0;
};

// The route's end: set once by the application object (may be null in tests).
void setApplicationHandler(CommandHandler* handler);
// The route's default start and top: the main window's client and frame (may be null).
void setRouteAnchors(QWidget* frame, QWidget* client);

// Runs the command from the focus widget (or the client when the focus lies outside the
// frame); returns whether a handler took it. A disabled command is not run.
bool dispatchCommand(int id);
// Runs the command from the given widget up its parents, then the application object.
bool dispatchCommandFrom(QWidget* start, int id);
// The command's state along the same route as dispatchCommand; disabled when nobody holds it.
CommandState queryCommand(int id);
CommandState queryCommandFrom(QWidget* start, int id);
// Queues the command to the widget (dispatchCommandFrom after the current handler returns);
// dropped when the widget is gone by then.
void postCommand(QWidget* target, int id);

}  // namespace vellum::ui
