#pragma once
// A label that is a link: underlined text in the link colour (the hover
// colour under the mouse), a hand cursor and a tool tip; a click opens the
// target with the desktop's default application, or a file of the
// application's folder in mode 1. No command line is ever built from the
// target.

#include <QLabel>
#include <QUrl>
#include <functional>

namespace qor::frames {

class CHyperLink : public QLabel {
    Q_OBJECT

public:
    explicit CHyperLink(const QString& text = QString(), QWidget* parent = nullptr);

    void SetURL(const QString& target);
    void SetTipText(const QString& text);
    // 0: open the target; 1: open m_fileName in the application's folder.
    int m_nOpenMode = 0;
    QString m_fileName;
    uint32_t m_linkColour = 0xEE0000;  // 0x00BBGGRR: blue
    uint32_t m_hoverColour;            // the palette's highlight
    bool m_bAutoSize = true;

    // Opens what a click opens; false when there is nothing to open or the
    // desktop refused.
    bool Open();

    // The desktop's opener; tests replace it.
    static std::function<bool(const QUrl&)> s_open;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void fit();
    void applyColour();

    QString m_target;
    QString m_tip;
    bool m_bHover = false;
};

}  // namespace qor::frames
