#include "frames/chyperlink.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>

namespace qor::frames {

std::function<bool(const QUrl&)> CHyperLink::s_open = [](const QUrl& url) {
    return QDesktopServices::openUrl(url);
};

namespace {

QColor fromRef(uint32_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

uint32_t toRef(const QColor& c) {
    return uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16);
}

}  // namespace

CHyperLink::CHyperLink(const QString& text, QWidget* parent) : QLabel(text, parent) {
    m_hoverColour = toRef(palette().color(QPalette::Highlight));
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    setCursor(Qt::PointingHandCursor);
    applyColour();
}

void CHyperLink::SetURL(const QString& target) {
    m_target = target;
    if (text().isEmpty()) setText(target);
    fit();
    setToolTip(m_tip.isEmpty() ? (m_target.isEmpty() ? text() : m_target) : m_tip);
}

void CHyperLink::SetTipText(const QString& text) {
    m_tip = text;
    fit();
    setToolTip(m_tip);
}

void CHyperLink::fit() {
    if (!m_bAutoSize) return;
    const QRect old = geometry();
    const QSize want = sizeHint();
    int x = old.x();
    if (alignment() & Qt::AlignRight)
        x = old.right() + 1 - want.width();
    else if (alignment() & Qt::AlignHCenter)
        x = old.x() + (old.width() - want.width()) / 2;
    int y = old.y();
    if (alignment() & Qt::AlignVCenter) y = old.y() + (old.height() - want.height()) / 2;
    setGeometry(x, y, want.width(), want.height());
}

void CHyperLink::applyColour() {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, fromRef(m_bHover ? m_hoverColour : m_linkColour));
    setPalette(pal);
}

bool CHyperLink::Open() {
    if (m_nOpenMode == 1) {
        if (m_fileName.isEmpty()) return false;
        return s_open(QUrl::fromLocalFile(
            QDir(QCoreApplication::applicationDirPath()).filePath(m_fileName)));
    }
    // An unset target opens the text shown.
    const QString target = m_target.isEmpty() ? text() : m_target;
    if (target.trimmed().isEmpty()) return false;
    const QUrl url(target);
    static const QStringList schemes = {QStringLiteral("http"), QStringLiteral("https"),
                                        QStringLiteral("ftp"), QStringLiteral("mailto"),
                                        QStringLiteral("file")};
    const bool web = url.isValid() && schemes.contains(url.scheme().toLower());
    return s_open(web ? url : QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath()));
}

void CHyperLink::enterEvent(QEnterEvent* event) {
    m_bHover = true;
    applyColour();
    QLabel::enterEvent(event);
}

void CHyperLink::leaveEvent(QEvent* event) {
    m_bHover = false;
    applyColour();
    QLabel::leaveEvent(event);
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Open();
        m_bHover = false;
        applyColour();
    }
    QLabel::mouseReleaseEvent(event);
}

}  // namespace qor::frames
