#pragma once
// Small window services the toolkit does not give by itself.
#include <QIcon>
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
