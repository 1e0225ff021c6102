#include "frames/toolbars.h"

#include <QAbstractItemView>
#include <QActionEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QStatusTipEvent>
#include <QToolButton>
#include <algorithm>
#include <array>

#include "document/cqorsdoc.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "frames/commandicons.h"
#include "frames/commandrouter.h"
#include "frames/menutable.h"
#include "frames/toolbarxp.h"
#include "view/cqorsview.h"
#include "view/formulabar.h"

namespace qor::frames {

CFlatToolBar::CFlatToolBar(int id, const QString& caption, QWidget* parent)
    : QToolBar(caption, parent), m_id(id) {
    setObjectName(QStringLiteral("bar%1").arg(id));
    setIconSize(QSize(16, 16));
    // A picture where there is one, else the short text.
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setStyle(CToolBarXPStyle::Instance());
    // The overflow button too.
    for (QToolButton* b : findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
        b->setStyle(CToolBarXPStyle::Instance());
}

void CFlatToolBar::actionEvent(QActionEvent* event) {
    QToolBar::actionEvent(event);
    if (event->type() != QEvent::ActionAdded) return;
    if (auto* button = qobject_cast<QToolButton*>(widgetForAction(event->action())))
        button->setStyle(CToolBarXPStyle::Instance());
}

CFontToolBar::CFontToolBar(QWidget* parent) : CFlatToolBar(kCmdBarFormat, QString(), parent) {
    m_name = new QComboBox(this);
    m_name->setObjectName(QStringLiteral("c%1").arg(kFontNameBox));
    for (const char* face : kCellFontFaces) m_name->addItem(QString::fromUtf8(face));
    m_name->setMinimumWidth(110);
    m_name->view()->setMinimumWidth(200);
    m_size = new QComboBox(this);
    m_size->setObjectName(QStringLiteral("c%1").arg(kFontSizeBox));
    for (int points : kFontSizePoints) m_size->addItem(QString::number(points));
    m_size->setMinimumWidth(60);
    EnableBoxes(false);
}

QWidget* CFontToolBar::ControlWidget(int id) const {
    return id == kFontNameBox ? m_name : id == kFontSizeBox ? m_size : nullptr;
}

void CFontToolBar::EnableBoxes(bool on) {
    m_name->setEnabled(on);
    m_size->setEnabled(on);
}

namespace {

CellArea oneBased(const CellArea& a) {
    return CellArea::area(a.first.row + 1, a.first.col + 1, a.last.row + 1, a.last.col + 1);
}

}  // namespace

void CFontToolBar::ShowFor(const CQorsDoc* doc) {
    const bool format = doc && doc->IsOpen() && !doc->IsDataState();
    EnableBoxes(format);
    if (!format) return;
    const CellArea cell =
        oneBased(CellArea::cell(doc->Selection().CurrentRow(), doc->Selection().CurrentColumn()));
    int32_t face = 0, size = 0;
    if (doc->GetReport()->AccessAreaFormat(0, kFmtFont, &face, &cell) == 0 &&
        m_name->currentIndex() != face)
        m_name->setCurrentIndex(face);
    if (doc->GetReport()->AccessAreaFormat(0, kFmtFontSize, &size, &cell) == 0 &&
        m_size->currentIndex() != size)
        m_size->setCurrentIndex(size);
}

QString CFontToolBar::ApplyPick(CQorsDoc* doc, int code, int index) {
    if (index < 0 || !doc || !doc->IsOpen()) return {};
    if (doc->IsDataState()) return LoadErrorText(str::kFontOnlyInFormatState);
    const CellArea area = oneBased(doc->Selection().Area());
    int32_t value = index;
    const uint16_t status = doc->GetReport()->AccessAreaFormat(1, code, &value, &area);
    if (status != 0) return LoadErrorText(str::kFontNotChanged) + StatusText(status);
    doc->SetModifiedFlag();
    doc->UpdateAllViews(CQorsDoc::kHintCells);
    doc->UpdateServerItems();
    return {};
}

CFormulaToolBar::CFormulaToolBar(QWidget* parent) : CFlatToolBar(kCmdBarEdit, QString(), parent) {
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(11);
    m_nameBox = new QLineEdit(this);
    m_nameBox->setObjectName(QStringLiteral("c%1").arg(kNameBox));
    m_nameBox->setReadOnly(true);
    m_nameBox->setFixedWidth(120);
    m_nameBox->setFont(font);
    m_bar = new CFormulaBar(this);
    m_bar->setObjectName(QStringLiteral("c%1").arg(kFormulaEdit));
    m_bar->setFont(font);
    m_bar->setMinimumWidth(300);
    m_bar->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QWidget* CFormulaToolBar::ControlWidget(int id) const {
    return id == kNameBox ? static_cast<QWidget*>(m_nameBox)
           : id == kFormulaEdit ? static_cast<QWidget*>(m_bar)
                                : nullptr;
}

void FillToolBar(CFlatToolBar* bar, CommandRouter& router, const QStyle* style) {
    for (const MenuEntry& e : BuiltinMenuTable().bars.value(bar->BarId())) {
        if (e.kind == MenuEntry::Separator) {
            bar->addSeparator();
        } else if (e.kind == MenuEntry::Widget) {
            if (QWidget* w = bar->ControlWidget(e.id)) bar->addWidget(w);
        } else if (e.kind == MenuEntry::Command) {
            QAction* a = router.Action(e.id, e.text);
            if (a->icon().isNull()) a->setIcon(CommandIcon(e.id, style));
            bar->addAction(a);
        }
    }
}

QMenu* BuildMenu(const QList<MenuEntry>& entries, const QString& title, CommandRouter& router,
                 QWidget* parent, QStyle* style, const MenuHooks& hooks) {
    auto* menu = new QMenu(title, parent);
    if (style) menu->setStyle(style);
    for (const MenuEntry& e : entries) {
        switch (e.kind) {
            case MenuEntry::Separator:
                menu->addSeparator();
                break;
            case MenuEntry::Popup:
                menu->addMenu(BuildMenu(e.children, e.text, router, parent, style, hooks));
                break;
            case MenuEntry::Command: {
                QAction* a = router.Action(e.id, e.text);
                if (!e.keys.isEmpty()) router.SetKeys(e.id, e.keys, e.keysShownOnly);
                menu->addAction(a);
                if (hooks.placed) hooks.placed(a);
                break;
            }
            case MenuEntry::WindowList:
                if (hooks.windowList) hooks.windowList(menu);
                break;
            case MenuEntry::Widget:
                break;
        }
    }
    // Qt sends an item's status text up from the menu bar that opened the
    // menu; a menu popped up at the pointer has none, so the window it
    // belongs to is told directly, enabled item or greyed.
    if (parent)
        QObject::connect(menu, &QMenu::hovered, parent, [parent](QAction* a) {
            QStatusTipEvent tip(a->statusTip());
            QCoreApplication::sendEvent(parent, &tip);
        });
    QObject::connect(menu, &QMenu::aboutToShow, menu, [&router, menu, shown = hooks.shown] {
        router.UpdateActions(menu->actions());
        if (shown) shown(menu);
    });
    return menu;
}

namespace {

constexpr const char* kVarLineItem = "varLineItem";
constexpr std::array<int, 3> kRowLineCommands = {cmd_ids::kCmdInsertRows, cmd_ids::kCmdAppendRows,
                                                    cmd_ids::kCmdDeleteRows};
constexpr std::array<int, 3> kColumnLineCommands = {cmd_ids::kCmdInsertCols, cmd_ids::kCmdAppendCols,
                                                       cmd_ids::kCmdDeleteCols};

bool isVarLineItem(const QAction* a) {
    if (a->property(kVarLineItem).toBool()) return true;
    const int id = CommandRouter::CommandId(a);
    for (const auto& ids : {kRowLineCommands, kColumnLineCommands})
        if (std::find(ids.begin(), ids.end(), id) != ids.end()) return true;
    return false;
}

}  // namespace

void PlaceVarLineItems(QMenu* cells, CommandRouter& router, const CQorsDoc* doc) {
    // The actions are the 编辑 menu's too: they leave this menu, never
    // hide, so that menu keeps them whatever this one shows.
    for (QAction* a : cells->actions())
        if (isVarLineItem(a)) cells->removeAction(a);
    VarAreaInfo area;
    if (doc && doc->IsDataState()) doc->GetVarAreaInfo(&area);
    if (area.kind != 1 && area.kind != 2) return;
    // After the clipboard group, with a separator of their own.
    const QList<QAction*> items = cells->actions();
    qsizetype at = 0;
    while (at < items.size() && CommandRouter::CommandId(items[at]) != cmd_ids::kCmdClear) ++at;
    while (at < items.size() && !items[at]->isSeparator()) ++at;
    QAction* before = at + 1 < items.size() ? items[at + 1] : nullptr;
    for (int id : area.kind == 1 ? kRowLineCommands : kColumnLineCommands)
        cells->insertAction(before, router.Action(id));
    auto* separator = cells->findChild<QAction*>(QLatin1String(kVarLineItem));
    if (!separator) {
        separator = new QAction(cells);
        separator->setObjectName(QLatin1String(kVarLineItem));
        separator->setSeparator(true);
        separator->setProperty(kVarLineItem, true);
    }
    cells->insertAction(before, separator);
}

}  // namespace qor::frames
