// Where the program's windows open, and how the program names itself to the toolkit.
#ifndef ROTACONF_WINDOWPLACEMENT_H
#define ROTACONF_WINDOWPLACEMENT_H

class QWidget;

// Places a window of fixed size in the middle of the desktop's free area, whatever its owner. A dialog
// placed so stays there when shown instead of opening over its owner.
void CentreOnDesktop(QWidget *Window);

// The application's name for settings and the toolkit. No display name is set: the toolkit would
// append it to every caption ("Register - Rotaconf"), and the captions are the windows' own texts.
void SetUpApplication();

#endif
