#include "ui/Globals.h"

namespace ui {

QString ProgramDir;
QString LastDir;
bool HideBanner = false;
bool AllowRowColMove = true;
int32_t BannerIndex = 0;
QString SavedSeparatorChoice;
bool SavedAutoDetect = false;
char SavedOtherSeparator = '\0';
int32_t SearchCol = 0;
int32_t SearchRow = 0;
bool SearchHit = false;
int32_t ColFrom = 0;
int32_t ColTo = 0;
int32_t RowFrom = 0;
int32_t RowTo = 0;
bool PanelDragging = false;
int32_t DragOffsetX = 0;
int32_t DragOffsetY = 0;
bool SaveWithTab = false;
bool CtrlDown = false;
bool ShiftDown = false;

void ResetGlobals() {
  ProgramDir.clear();
  LastDir.clear();
  HideBanner = false;
  AllowRowColMove = true;
  BannerIndex = 0;
  SavedSeparatorChoice.clear();
  SavedAutoDetect = false;
  SavedOtherSeparator = '\0';
  SearchCol = SearchRow = 0;
  SearchHit = false;
  ColFrom = ColTo = RowFrom = RowTo = 0;
  PanelDragging = false;
  DragOffsetX = DragOffsetY = 0;
  SaveWithTab = false;
  CtrlDown = ShiftDown = false;
}

}  // namespace ui

TfrMarvesk* frMarvesk = nullptr;
TfrAbout* frAbout = nullptr;
TfrEX* frEX = nullptr;
