#include "frames/toolbars.h"

#include <QAbstractItemView>

#include "engine/cellformat.h"
#include "view/cqorsview.h"
#include "view/formulabar.h"

namespace qor::frames {

CFlatToolBar::CFlatToolBar(int id, const QString& caption, QWidget* parent)
    : QToolBar(caption, parent), m_id(id) {
    setObjectName(QStringLiteral("bar%1").arg(id));
    setIconSize(QSize(16, 16));
    // A picture where there is one, else the short text.
    setToolButtonStyle(Qt::ToolButtonIconOnly);
}

CFontToolBar::CFontToolBar(QWidget* parent) : CFlatToolBar(59399, QString(), parent) {
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

CFormulaToolBar::CFormulaToolBar(QWidget* parent) : CFlatToolBar(59397, QString(), parent) {
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

}  // namespace qor::frames
