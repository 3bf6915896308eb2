// The editor's colours, as packed colour integers.
#pragma once

extern int colBk;
extern int colPanel;
extern int colDark;
extern int colLow;
extern int colLeds;
extern int colText;
