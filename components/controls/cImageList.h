#pragma once
// Image list: pictures addressed by a 0-based index. The grid, the tree and
// the tab strip take a whole list and draw its pictures by index; an index
// without a picture draws nothing.
//
// Convention of the controls in this folder: a property X is read with X()
// and written with setX(value); methods and events keep their names.
#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QSize>
#include <QVector>

class cImageList : public QObject {
    Q_OBJECT
public:
    explicit cImageList(QObject* parent = nullptr);

    // Size the controls draw the pictures at (16 x 16 unless set).
    QSize ImageSize() const { return m_size; }
    void setImageSize(const QSize& size);

    void setImage(int index, const QIcon& icon);
    // A null icon when the index holds no picture.
    QIcon Image(int index) const;
    // The picture at ImageSize; a null pixmap when the index holds none.
    QPixmap ImagePixmap(int index) const;
    // Highest index holding a picture, plus one.
    int ImageCount() const { return int(m_icons.size()); }
    void Clear();

signals:
    // Pictures or their size changed; the controls using the list repaint.
    void Changed();

private:
    QVector<QIcon> m_icons;
    QSize m_size{16, 16};
};

// Pictures drawn in code for the indexes the lists and the tree rely on.
namespace stockimages {
QIcon Unmarked();   // empty check box
QIcon Marked();     // ticked check box
QIcon AudioItem();  // a note
QIcon DataTrack();  // a data disc
QIcon ItemsRoot();  // a stack of lists
QIcon ListNode(bool bOpen);
QIcon CDRoot();     // two discs
QIcon CDDrive();    // a drive with a disc

// The item grid's pictures: 0 not marked, 1 marked, 3 audio item, 4 CD data track.
void FillGridImages(cImageList* list);
// The tree's pictures: 17 items root, 42 list, 43 selected list, 71 CD root, 25 CD drive.
void FillTreeImages(cImageList* list);
} // namespace stockimages
