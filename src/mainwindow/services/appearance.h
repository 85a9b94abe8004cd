#pragma once

// Services the windows share for their look: fonts, colours, the skin stand-in, the hand cursor
// and the icon.

#include "appfiles.h"

#include <QCursor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QString>
#include <QVariant>
#include <optional>

class QPainter;
class QPalette;
class QRect;
class QWidget;

namespace pq {

// The windows' font (Arial 9 pt bold) and their push buttons' (Arial 11.25 pt bold). Qt fonts
// are Unicode, so the designer's character set 204 needs no counterpart.
QFont windowFont();
QFont buttonFont();

// The button-face colour of the desktop scheme (system colour 15).
QColor buttonFaceColor();

// Gives the window and its frames, labels, option buttons, check boxes (and, when asked,
// picture boxes) the button-face background; text boxes, push buttons and the viewport keep
// their own colours.
void SetFormColors(QWidget* form, bool includePictureBoxes = false);

// Stand-in for the skinning control: driven through the same dispatch identifiers. It treats
// the skin file as a Qt style sheet and applies it to the window handed to identifier 3.
class SkinFramework {
public:
    // Identifier 2: load the skin from a file (second argument unused). Throws on an
    // unreadable file.
    void invoke(int dispatchId, const QVariantList& arguments);
    QVariant property(int dispatchId) const;
    void setProperty(int dispatchId, const QVariant& value);

    const QString& styleSheet() const { return mStyleSheet; }
    QWidget* appliedTo() const { return mWindow; }

private:
    QString mStyleSheet;
    QString mSkinPath;
    int mOptions = 0;
    bool mProperty5 = false;
    bool mProperty10 = false;
    QWidget* mWindow = nullptr;
};

// The skin file's relative name and its path in the application folder.
QString skinFilePath();
// True when the skin file is an ordinary file (not hidden, not a folder or device).
bool skinFileFound();

// Recolours the main window and hands it to the skin control when the skin file is present.
void ApplySkin(QWidget* form1, SkinFramework& skin);

// The hand cursor from "HAND-M.CUR" in the application folder, or nothing when the file is
// missing. A file that is not a readable cursor throws Failure.
QString handCursorPath();
QCursor loadCursorFile(const QString& path);

// One image of an icon or cursor file's data, with its transparency mask applied; a null
// image when the data holds no such image.
QImage readIcoImage(const QByteArray& data, int index);

// The cursor a window shows for its pointer value: the hourglass for 11, the custom pointer
// for 99 when the window has one, else the arrow.
QCursor cursorForPointer(int pointer, const std::optional<QCursor>& custom);

// Whether a control shows that it has the keyboard focus: it has the focus and its window has
// been driven from the keyboard, the rule the style's own focus marks follow.
bool showsKeyboardFocus(const QWidget* control);

// The focus mark of the windows' controls: a line two pixels wide in the highlight colour,
// just inside `rect`. A dotted line tells a second mark inside the same area from the first.
void drawFocusMark(QPainter& painter, const QRect& rect, const QPalette& palette,
                   bool dotted = false);

// The application icon (four images: 32x32 24-bit; 256, 128 and 48 pixels 32-bit).
QIcon appIcon();

} // namespace pq
