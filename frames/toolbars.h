#pragma once
// The frame's tool bars that hold controls: the format bar with the font
// and size boxes, and the edit bar with the cell-name box and the formula
// bar.

#include <QComboBox>
#include <QLineEdit>
#include <QToolBar>
#include <functional>

#include "frames/menutable.h"

class CFormulaBar;
class CQorsDoc;
class QMenu;
class QStyle;

namespace qor::frames {

class CommandRouter;

inline constexpr int kFontNameBox = 122;
inline constexpr int kFontSizeBox = 123;
inline constexpr int kNameBox = 61446;
inline constexpr int kFormulaEdit = 61447;

// A tool bar with the flat look (toolbarxp.h): gripper, thin borders,
// buttons painted flat and highlighted.
class CFlatToolBar : public QToolBar {
    Q_OBJECT

public:
    CFlatToolBar(int id, const QString& caption, QWidget* parent = nullptr);
    int BarId() const { return m_id; }
    // The control a bar places by its id (the menu table's widget rows).
    virtual QWidget* ControlWidget(int) const { return nullptr; }

protected:
    // Each button the bar makes for an action takes the bar's look.
    void actionEvent(QActionEvent* event) override;

private:
    int m_id;
};

// The format bar: the font-name box, filled with the report's 16 faces in
// table order so that an index is the cell's font attribute, and the size
// box with the 16 sizes. Both stay disabled until the frame enables them
// (format state only).
class CFontToolBar : public CFlatToolBar {
    Q_OBJECT

public:
    explicit CFontToolBar(QWidget* parent = nullptr);
    QComboBox* FontNameBox() const { return m_name; }
    QComboBox* FontSizeBox() const { return m_size; }
    QWidget* ControlWidget(int id) const override;
    void EnableBoxes(bool on);
    // Enabled in format state only, showing the current cell's face and
    // size.
    void ShowFor(const CQorsDoc* doc);
    // Puts a box's pick (code: the face or size attribute) on the
    // selection. Empty when it was stored or there was nothing to do, else
    // what the user is told.
    static QString ApplyPick(CQorsDoc* doc, int code, int index);

private:
    QComboBox* m_name;
    QComboBox* m_size;
};

// The edit bar: the name box (the current cell's reference) and the
// formula bar, in 宋体 11 points. The formula bar is not length-limited:
// a long formula is shown whole (the limit is on what a cell takes).
class CFormulaToolBar : public CFlatToolBar {
    Q_OBJECT

public:
    explicit CFormulaToolBar(QWidget* parent = nullptr);
    QLineEdit* NameBox() const { return m_nameBox; }
    CFormulaBar* FormulaBar() const { return m_bar; }
    QWidget* ControlWidget(int id) const override;

private:
    QLineEdit* m_nameBox;
    CFormulaBar* m_bar;
};

// Fills a bar from the menu table's row for its id: the router's actions
// (with the command's picture), the bar's own controls and separators.
class CFlatToolBar;
void FillToolBar(CFlatToolBar* bar, CommandRouter& router, const QStyle* style);

// What a menu's owner adds while a menu of the table is built.
struct MenuHooks {
    std::function<void(QAction*)> placed;    // each command's action, once placed
    std::function<void(QMenu*)> windowList;  // a menu that ends with the window list
    std::function<void(QMenu*)> shown;       // a menu opening, after its update pass
};
// A menu (with its popups) of the table's entries over a router: commands
// are the router's actions with their keys, and each menu runs its update
// pass as it opens.
QMenu* BuildMenu(const QList<MenuEntry>& entries, const QString& title, CommandRouter& router,
                 QWidget* parent, QStyle* style, const MenuHooks& hooks = {});

// The sheet's cell menu as it opens over doc: in data state on a report
// with a variable area it holds the line commands of the 编辑 menu (insert,
// append and delete rows for a row area, columns for a column area), the
// router's own actions, greyed with their reason off the area; otherwise
// none of them.
void PlaceVarLineItems(QMenu* cells, CommandRouter& router, const CQorsDoc* doc);

}  // namespace qor::frames
