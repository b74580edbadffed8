#pragma once
// Colours reach the controls as 32-bit values: 0x00BBGGRR, or, with the top
// bit set, the index of a system colour (0x80000008 is the window text colour).
#include <QColor>
#include <QPalette>
#include <QtGlobal>

namespace components {

inline bool isSystemColour(quint32 ole) { return (ole & 0x80000000u) != 0; }

// The palette role that stands for a system colour index.
inline QPalette::ColorRole systemColourRole(quint32 index)
{
    switch (index) {
    case 1:  return QPalette::Dark;          // desktop
    case 2:  return QPalette::Highlight;     // active caption
    case 4:  return QPalette::Window;        // menu
    case 5:  return QPalette::Base;          // window
    case 6:  return QPalette::Shadow;        // window frame
    case 7:  return QPalette::WindowText;    // menu text
    case 8:  return QPalette::Text;          // window text
    case 9:  return QPalette::HighlightedText; // caption text
    case 13: return QPalette::Highlight;
    case 14: return QPalette::HighlightedText;
    case 15: return QPalette::Button;        // button face
    case 16: return QPalette::Mid;           // button shadow
    case 17: return QPalette::PlaceholderText; // grey text
    case 18: return QPalette::ButtonText;
    case 20: return QPalette::Light;         // button highlight
    case 21: return QPalette::Dark;          // 3D dark shadow
    case 22: return QPalette::Midlight;      // 3D light
    case 23: return QPalette::ToolTipText;
    case 24: return QPalette::ToolTipBase;
    default: return QPalette::Window;
    }
}

// Resolves a colour value against a palette (for the system colours).
inline QColor oleColour(quint32 ole, const QPalette& palette)
{
    if (isSystemColour(ole))
        return palette.color(systemColourRole(ole & 0xFFu));
    return QColor(int(ole & 0xFF), int((ole >> 8) & 0xFF), int((ole >> 16) & 0xFF));
}

} // namespace components
