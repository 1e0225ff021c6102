#pragma once
// A docking bar that docks on any side, floats, and is resized by its
// edge: while docked its title shows a gripper and two small buttons,
// close (1000) and dock/float (1001); floating, the buttons hide. A double
// click on the title floats or docks it again. The command window and the
// file-manager bar are built on it.

#include <QDockWidget>
#include <QToolButton>

namespace qor::frames {

inline constexpr int kBarCloseButton = 1000;
inline constexpr int kBarDockButton = 1001;
inline constexpr int kBarMinimum = 32;

class CCJControlBar : public QDockWidget {
    Q_OBJECT

public:
    CCJControlBar(int id, const QString& title, QSize size, QWidget* parent = nullptr);

    int BarId() const { return m_id; }
    QToolButton* CloseButton() const { return m_close; }
    QToolButton* DockButton() const { return m_dock; }
    bool IsHorzDocked() const;
    // The default size the bar asks for when docked.
    QSize sizeHint() const override { return m_size; }

    // The sizing edge dragged by `moved` pixels towards the frame's client
    // area (up for a bar at the bottom): the bar's depth grows by as much,
    // never below 32 pixels nor beyond the frame. Answers the new depth.
    int TrackSizingEdge(int moved);

private:
    void placeButtons();

    int m_id;
    QSize m_size;
    QToolButton* m_close = nullptr;
    QToolButton* m_dock = nullptr;
};

}  // namespace qor::frames
