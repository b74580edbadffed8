#pragma once
// The look every window applies as it loads: the title strip takes the
// application colour, its label the text colour, and the window the edition's
// back colour and pictures.
#include <QString>

class QLabel;
class QWidget;

// The options' "Application Color" and "Text Color" (0x00BBGGRR). The options
// store fills them at start-up and on OK; both are black until then.
extern quint32 g_lAppColor;
extern quint32 g_lTextColor;

// Makes the title strip across the top of a window: "picTitle", holding the
// bold caption "lblTitle". The caller places the strip.
void BuildTitleStrip(QWidget* window, const QString& caption, QWidget*& picTitle, QLabel*& lblTitle);
// Any of the pointers may be null.
void ApplyCommonLook(QWidget* window, QWidget* picTitle, QLabel* lblTitle);
// A colour as the number 0x00BBGGRR, on the widget's background.
void SetBackColor(QWidget* widget, quint32 bgr);
void SetForeColor(QWidget* widget, quint32 bgr);
// A picture of the program's "View" folder as the widget's background; an
// empty name or a picture that cannot be read leaves the widget as it is.
void SetViewPicture(QWidget* widget, const QString& name);
