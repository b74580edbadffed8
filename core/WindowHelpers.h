#pragma once
// Small window services the toolkit does not give by itself.
#include <QIcon>
#include <QRect>
#include <QString>

class QWidget;

// 15 twips per pixel; halves go to even.
int TwipsToPixels(double twips);
double PixelsToTwips(int pixels);

QString SetFormOnTop(QWidget* window, bool bOnTop);
// 0 done, 1 alpha out of 0..255 (nothing changed), 2 a step failed.
long SetWindowTransparency(QWidget* window, int alpha);
long RemoveWindowTransparency(QWidget* window);
void SetFormIcon(QWidget* window, const QString& iconName, bool bSetOwner);
QString GetCursorPosition(long& x, long& y);

// r moved (not resized) into area; a larger r keeps its top-left corner
// inside, so its title bar can always be reached.
QRect KeepInside(QRect r, const QRect& area);
// Where a window opened by owner goes: beside owner's window (right, else
// left when only that side has room), inside the screen that holds owner.
void PlaceBesideOwner(QWidget* window, const QWidget* owner);

// The program's icon resources by name (case-insensitive); a null icon for an unknown name.
QIcon ProgramIcon(const QString& name);

// The wait cursor over the whole application while it lives, or until
// restore(); nothing without a GUI application.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    void restore();

private:
    bool m_on = false;
};
