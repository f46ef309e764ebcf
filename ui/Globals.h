// State shared by the windows for the whole run (the unit-level variables).
#ifndef MARVESK_UI_GLOBALS_H_
#define MARVESK_UI_GLOBALS_H_

#include <QString>
#include <cstdint>

class TfrMarvesk;
class TfrAbout;
class TfrEX;

namespace ui {

extern QString ProgramDir;  // ends with the directory separator
extern QString LastDir;     // the dialogs start here
extern bool HideBanner;
extern bool AllowRowColMove;
extern int32_t BannerIndex;
extern QString SavedSeparatorChoice;
extern bool SavedAutoDetect;
extern char SavedOtherSeparator;
extern int32_t SearchCol;
extern int32_t SearchRow;
extern bool SearchHit;
extern int32_t ColFrom;
extern int32_t ColTo;
extern int32_t RowFrom;
extern int32_t RowTo;
extern bool PanelDragging;
extern int32_t DragOffsetX;
extern int32_t DragOffsetY;
extern bool SaveWithTab;
extern bool CtrlDown;
extern bool ShiftDown;

// Back to the values of a fresh start (tests).
void ResetGlobals();

}  // namespace ui

// The three window instances.
extern TfrMarvesk* frMarvesk;
extern TfrAbout* frAbout;
extern TfrEX* frEX;

#endif  // MARVESK_UI_GLOBALS_H_
